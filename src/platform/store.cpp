#include "platform/store.h"

#include <sqlite3.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>
#include <utility>

#include "util/text.h"

namespace dp {

namespace fs = std::filesystem;

const char* RegTypeName(int type) {
  switch (type) {
    case kRegSz:
      return "REG_SZ";
    case kRegDword:
      return "REG_DWORD";
    case kRegBinary:
      return "REG_BINARY";
    default:
      return "REG_UNKNOWN";
  }
}

namespace {

// A prepared statement that is finalised when it goes out of scope.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  explicit operator bool() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }
  void Text(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

std::string TimeTag() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
  return buf;
}

// The name a damaged file is kept under: never one that already exists.
fs::path AsideName(const fs::path& file) {
  const std::string base = file.string() + ".damaged-" + TimeTag();
  fs::path candidate = base;
  for (int n = 2; fs::exists(candidate); ++n) candidate = base + "-" + std::to_string(n);
  return candidate;
}

// A path as the file name of an SQLite URI.
std::string UriPath(const fs::path& file) {
  std::string out;
  for (const unsigned char c : file.string()) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~')
      out += static_cast<char>(c);
    else
      out += Format("%%%02X", c);
  }
  return out;
}

// What a failed opening means for the file.
enum class Trouble { kDamaged, kBusy, kReadOnly, kUnusable };

Trouble Classify(int rc, bool exists) {
  switch (rc & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return Trouble::kDamaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return Trouble::kBusy;
    case SQLITE_READONLY:
    case SQLITE_PERM:
      return Trouble::kReadOnly;
    case SQLITE_CANTOPEN:
      // A file that cannot be opened for writing may still be read.
      return exists ? Trouble::kReadOnly : Trouble::kUnusable;
    default:  // I/O errors, a full disk, ...
      return Trouble::kUnusable;
  }
}

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS reg_values("
    " key TEXT NOT NULL COLLATE NOCASE,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY(key, name)) WITHOUT ROWID";

}  // namespace

fs::path Store::DefaultFile() {
  fs::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = fs::path(home) / ".config";
  } else {
    base = "/tmp";
  }
  return base / "DiscPress" / "store.db";
}

int Store::OpenFile(const fs::path& file, std::chrono::milliseconds busy_wait) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  const int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    Close();
    return rc;
  }
  sqlite3_busy_timeout(db_, static_cast<int>(busy_wait.count()));
  return SQLITE_OK;
}

// A read-only store: plainly first, then as an immutable file, which reads a
// WAL database whose folder cannot take the shared-memory file.
bool Store::OpenReadOnly(std::chrono::milliseconds busy_wait) {
  for (const char* query : {"?mode=ro", "?immutable=1"}) {
    const std::string uri = "file:" + UriPath(file_) + query;
    if (sqlite3_open_v2(uri.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX,
                        nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(db_, static_cast<int>(busy_wait.count()));
      if (Check() == SQLITE_OK) return true;
    }
    Close();
  }
  return false;
}

void Store::Close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

// The file reads as a database and passes a quick check: SQLITE_OK, or the
// SQLite result that says why not (SQLITE_CORRUPT for a check that finds
// damage).
int Store::Check() {
  sqlite3_stmt* check = nullptr;
  int rc = sqlite3_prepare_v2(db_, "PRAGMA quick_check", -1, &check, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(check);
    if (rc == SQLITE_ROW) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
      rc = text && std::strcmp(text, "ok") == 0 ? SQLITE_OK : SQLITE_CORRUPT;
    }
  }
  sqlite3_finalize(check);
  return rc & 0xff;
}

// Sets the file up for use and makes sure it holds our table.
int Store::Prepare() {
  // WAL lets the desktop program and discpress-cli use the store at once.
  // A commit is atomic and survives a crash or kill of the program; like the
  // registry it stands for, the last changes may wait a moment for the disk.
  for (const char* sql : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", kSchema}) {
    const int rc = Exec(sql);
    if (rc != SQLITE_OK) return rc & 0xff;
  }
  return SQLITE_OK;
}

int Store::OpenChecked(const fs::path& file, std::chrono::milliseconds busy_wait) {
  int rc = OpenFile(file, busy_wait);
  if (rc == SQLITE_OK) rc = Check();
  if (rc == SQLITE_OK) rc = Prepare();
  return rc;
}

std::unique_ptr<Store> Store::Open(const fs::path& file, std::chrono::milliseconds busy_wait) {
  std::unique_ptr<Store> store(new Store());
  store->file_ = file;
  std::error_code ec;
  if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);

  int rc = store->OpenChecked(file, busy_wait);
  const bool read_only_file = rc == SQLITE_OK && sqlite3_db_readonly(store->db_, "main") == 1;
  if (rc == SQLITE_OK && !read_only_file) return store;
  const bool exists = fs::exists(file, ec);
  const Trouble trouble = read_only_file ? Trouble::kReadOnly : Classify(rc, exists);

  if (trouble == Trouble::kReadOnly) {
    // What is stored can still be shown; nothing new can be kept.
    bool readable = read_only_file;
    if (!readable) {
      store->Close();
      readable = store->OpenReadOnly(busy_wait);
    }
    if (readable) {
      store->writable_ = false;
      store->failure_told_ = true;
      store->notice_ = Format(
          "The settings and queue store '%s' cannot be written (%s).\n\n"
          "DiscPress shows the stored settings and queue, but changes will not be kept.",
          file.c_str(), read_only_file ? "the file is read-only" : sqlite3_errstr(rc));
      return store;
    }
  }
  store->Close();

  if (trouble == Trouble::kDamaged) {
    const fs::path aside = AsideName(file);
    fs::rename(file, aside, ec);
    if (!ec) {
      // The journal files belong to the damaged database: keep them with it.
      for (const char* suffix : {"-wal", "-shm"}) {
        const fs::path side = file.string() + suffix;
        std::error_code ignored;
        if (fs::exists(side, ignored)) fs::rename(side, aside.string() + suffix, ignored);
      }
      store->notice_ = Format(
          "The settings and queue store '%s' was damaged and has been kept aside as '%s'.\n\n"
          "DiscPress starts with default settings and an empty queue.",
          file.c_str(), aside.c_str());
      rc = store->OpenChecked(file, busy_wait);
      if (rc == SQLITE_OK) return store;
      store->Close();
    }
  }
  // A store that is busy, cannot be read or has no place on disk is left as
  // it is: run on one in memory so nothing crashes, and say that nothing will
  // be kept.
  if (sqlite3_open_v2(":memory:", &store->db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
          SQLITE_OK ||
      store->Exec(kSchema) != SQLITE_OK) {
    return nullptr;
  }
  store->writable_ = false;
  store->on_disk_ = false;
  store->failure_told_ = true;
  const std::string why =
      trouble == Trouble::kBusy ? "another program keeps it locked" : std::string(sqlite3_errstr(rc));
  store->notice_ += Format(
      "%sThe settings and queue store '%s' cannot be used (%s).\n\n"
      "DiscPress runs with default settings, and nothing will be kept after it ends.",
      store->notice_.empty() ? "" : "\n\n", file.c_str(), why.c_str());
  return store;
}

Store::~Store() { Close(); }

int Store::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

Status Store::Wrote(int rc) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE) return {};
  if (!write_failed_) {
    write_failed_ = true;
    failure_text_ = Format(
        "The settings and queue store '%s' cannot be written (%s).\n\n"
        "Changes made from now on will not be kept.",
        file_.c_str(), sqlite3_errstr(rc));
    TellWriteFailure();
  }
  // The statement's own words say more than the result code's.
  const char* detail = db_ ? sqlite3_errmsg(db_) : nullptr;
  return Failure{detail && *detail ? detail : sqlite3_errstr(rc)};
}

void Store::TellWriteFailure() {
  if (!write_failed_ || failure_told_ || !on_write_failure_) return;
  failure_told_ = true;
  on_write_failure_(failure_text_);
}

void Store::SetWriteFailureHandler(std::function<void(const std::string&)> handler) {
  std::lock_guard lock(mutex_);
  on_write_failure_ = std::move(handler);
  TellWriteFailure();
}

bool Store::write_failed() {
  std::lock_guard lock(mutex_);
  return write_failed_;
}

Status Store::Begin() {
  if (depth_ == 0) {
    if (Status begun = Wrote(Exec("BEGIN IMMEDIATE")); !begun) return begun;
  }
  ++depth_;
  return {};
}

Status Store::Commit() {
  if (depth_ == 0) return Failure{"the changes were rolled back"};
  if (--depth_ > 0) return {};
  Status committed = Wrote(Exec("COMMIT"));
  if (!committed) Exec("ROLLBACK");
  return committed;
}

void Store::Rollback() {
  if (depth_ == 0) return;
  depth_ = 0;
  Exec("ROLLBACK");
}

std::optional<RegValue> Store::Get(std::string_view name, std::string_view key) {
  std::lock_guard lock(mutex_);
  Statement st(db_, "SELECT type, data FROM reg_values WHERE key = ?1 AND name = ?2");
  if (!st) return std::nullopt;
  st.Text(1, key);
  st.Text(2, name);
  if (sqlite3_step(st.get()) != SQLITE_ROW) return std::nullopt;
  RegValue v;
  v.type = sqlite3_column_int(st.get(), 0);
  const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(st.get(), 1));
  const int n = sqlite3_column_bytes(st.get(), 1);
  if (bytes && n > 0) v.data.assign(bytes, bytes + n);
  return v;
}

ReadResult Store::Read(std::string_view name, std::size_t buf_size, RegValue& out, std::string_view key) {
  auto v = Get(name, key);
  if (!v) return ReadResult::kMissing;
  if (v->data.size() > buf_size) return ReadResult::kTooLarge;
  out = std::move(*v);
  return ReadResult::kOk;
}

Status Store::Set(std::string_view name, const RegValue& value, std::string_view key) {
  std::lock_guard lock(mutex_);
  // A value written again unchanged touches no page: rewriting the whole
  // queue then costs only the records that did change.
  Statement st(db_,
               "INSERT INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4)"
               " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data"
               " WHERE type IS NOT excluded.type OR data IS NOT excluded.data");
  if (!st) return Wrote(sqlite3_errcode(db_));
  st.Text(1, key);
  st.Text(2, name);
  sqlite3_bind_int(st.get(), 3, value.type);
  static const std::uint8_t kNone = 0;
  sqlite3_bind_blob(st.get(), 4, value.data.empty() ? &kNone : value.data.data(),
                    static_cast<int>(value.data.size()), SQLITE_TRANSIENT);
  return Wrote(sqlite3_step(st.get()));
}

Status Store::SetSz(std::string_view name, std::string_view text, std::string_view key) {
  RegValue v{kRegSz, std::vector<std::uint8_t>(text.begin(), text.end())};
  v.data.push_back(0);
  return Set(name, v, key);
}

Status Store::SetDword(std::string_view name, std::uint32_t value, std::string_view key) {
  RegValue v{kRegDword, std::vector<std::uint8_t>(4)};
  std::memcpy(v.data.data(), &value, 4);
  return Set(name, v, key);
}

Status Store::SetBinary(std::string_view name, const void* data, std::size_t size, std::string_view key) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  return Set(name, RegValue{kRegBinary, std::vector<std::uint8_t>(p, p + size)}, key);
}

Status Store::Delete(std::string_view name, std::string_view key) {
  std::lock_guard lock(mutex_);
  Statement st(db_, "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
  if (!st) return Wrote(sqlite3_errcode(db_));
  st.Text(1, key);
  st.Text(2, name);
  return Wrote(sqlite3_step(st.get()));
}

bool Store::KeyExists(std::string_view key) {
  std::lock_guard lock(mutex_);
  Statement st(db_, "SELECT 1 FROM reg_values WHERE key = ?1 LIMIT 1");
  if (!st) return false;
  st.Text(1, key);
  return sqlite3_step(st.get()) == SQLITE_ROW;
}

std::vector<RegEntry> Store::List(std::string_view key) {
  std::lock_guard lock(mutex_);
  std::vector<RegEntry> out;
  Statement ordered(db_, "SELECT name, type, data FROM reg_values WHERE key = ?1 ORDER BY name");
  if (!ordered) return out;
  ordered.Text(1, key);
  while (sqlite3_step(ordered.get()) == SQLITE_ROW) {
    RegEntry e;
    const auto* n = sqlite3_column_text(ordered.get(), 0);
    e.name = n ? reinterpret_cast<const char*>(n) : "";
    e.value.type = sqlite3_column_int(ordered.get(), 1);
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(ordered.get(), 2));
    const int len = sqlite3_column_bytes(ordered.get(), 2);
    if (bytes && len > 0) e.value.data.assign(bytes, bytes + len);
    out.push_back(std::move(e));
  }
  return out;
}

std::string Store::TakeNotice() {
  std::lock_guard lock(mutex_);
  return std::exchange(notice_, {});
}

}  // namespace dp
