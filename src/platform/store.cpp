#include "platform/store.h"

#include <sqlite3.h>

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

bool Store::OpenFile(const fs::path& file) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    Close();
    return false;
  }
  sqlite3_busy_timeout(db_, 10000);
  return true;
}

void Store::Close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

// A store we can use: the file reads as a database, passes a quick check and
// holds (or now holds) our table.
bool Store::Healthy() {
  {
    Statement check(db_, "PRAGMA quick_check");
    if (!check || sqlite3_step(check.get()) != SQLITE_ROW) return false;
    const auto* text = sqlite3_column_text(check.get(), 0);
    if (!text || std::strcmp(reinterpret_cast<const char*>(text), "ok") != 0) return false;
  }
  // WAL lets the desktop program and discpress-cli use the store at once.
  // A commit is atomic and survives a crash or kill of the program; like the
  // registry it stands for, the last changes may wait a moment for the disk.
  return Exec("PRAGMA journal_mode=WAL") && Exec("PRAGMA synchronous=NORMAL") && Exec(kSchema);
}

std::unique_ptr<Store> Store::Open(const fs::path& file) {
  std::unique_ptr<Store> store(new Store());
  store->file_ = file;
  std::error_code ec;
  if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);

  if (store->OpenFile(file) && store->Healthy()) return store;
  store->Close();

  if (fs::exists(file, ec)) {
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
      if (store->OpenFile(file) && store->Healthy()) return store;
      store->Close();
    }
  }
  // Nowhere to keep a store on disk: run on one in memory so nothing crashes,
  // and say that nothing will be kept.
  if (sqlite3_open_v2(":memory:", &store->db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
          SQLITE_OK ||
      !store->Exec(kSchema)) {
    return nullptr;
  }
  store->notice_ = Format(
      "The settings and queue store '%s' cannot be opened.\n\n"
      "DiscPress runs with default settings, and nothing will be kept after it ends.",
      file.c_str());
  return store;
}

Store::~Store() { Close(); }

bool Store::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

bool Store::Begin() {
  if (depth_ == 0 && !Exec("BEGIN IMMEDIATE")) return false;
  ++depth_;
  return true;
}

bool Store::Commit() {
  if (depth_ == 0) return false;
  if (--depth_ > 0) return true;
  if (Exec("COMMIT")) return true;
  Exec("ROLLBACK");
  return false;
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

bool Store::Set(std::string_view name, const RegValue& value, std::string_view key) {
  std::lock_guard lock(mutex_);
  // A value written again unchanged touches no page: rewriting the whole
  // queue then costs only the records that did change.
  Statement st(db_,
               "INSERT INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4)"
               " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data"
               " WHERE type IS NOT excluded.type OR data IS NOT excluded.data");
  if (!st) return false;
  st.Text(1, key);
  st.Text(2, name);
  sqlite3_bind_int(st.get(), 3, value.type);
  static const std::uint8_t kNone = 0;
  sqlite3_bind_blob(st.get(), 4, value.data.empty() ? &kNone : value.data.data(),
                    static_cast<int>(value.data.size()), SQLITE_TRANSIENT);
  return sqlite3_step(st.get()) == SQLITE_DONE;
}

bool Store::SetSz(std::string_view name, std::string_view text, std::string_view key) {
  RegValue v{kRegSz, std::vector<std::uint8_t>(text.begin(), text.end())};
  v.data.push_back(0);
  return Set(name, v, key);
}

bool Store::SetDword(std::string_view name, std::uint32_t value, std::string_view key) {
  RegValue v{kRegDword, std::vector<std::uint8_t>(4)};
  std::memcpy(v.data.data(), &value, 4);
  return Set(name, v, key);
}

bool Store::SetBinary(std::string_view name, const void* data, std::size_t size, std::string_view key) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  return Set(name, RegValue{kRegBinary, std::vector<std::uint8_t>(p, p + size)}, key);
}

bool Store::Delete(std::string_view name, std::string_view key) {
  std::lock_guard lock(mutex_);
  Statement st(db_, "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
  if (!st) return false;
  st.Text(1, key);
  st.Text(2, name);
  return sqlite3_step(st.get()) == SQLITE_DONE;
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
