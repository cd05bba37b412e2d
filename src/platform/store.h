// The per-user store: typed named values under a key path, kept in a SQLite
// database in $XDG_CONFIG_HOME/DiscPress/. It stands for the registry key
// "Software\DiscPress" and keeps its value types and byte images.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/result.h"

struct sqlite3;

namespace dp {

inline constexpr const char* kStoreKey = "Software\\DiscPress";

enum RegType : int { kRegSz = 1, kRegBinary = 3, kRegDword = 4 };
const char* RegTypeName(int type);  // "REG_SZ", "REG_DWORD", "REG_BINARY", else "REG_UNKNOWN"

struct RegValue {
  int type = 0;
  std::vector<std::uint8_t> data;  // REG_SZ data includes its terminating NUL
};

struct RegEntry {
  std::string name;
  RegValue value;
};

// What a registry read with a buffer of a given size gives.
enum class ReadResult { kOk, kMissing, kTooLarge };

// How long a store locked by another program is waited for, at opening and
// at each write.
inline constexpr std::chrono::milliseconds kStoreBusyWait{10000};

class Store {
 public:
  // Opens (creating when needed) the database file. Only a file that is not
  // a database or is damaged is renamed aside (never deleted) for a fresh
  // store. A store another program keeps locked past busy_wait, or one that
  // fails with an I/O error or a full disk, is left as it is and replaced by
  // one in memory; a read-only store is opened for reading. TakeNotice()
  // then says what happened, once.
  static std::unique_ptr<Store> Open(const std::filesystem::path& file,
                                     std::chrono::milliseconds busy_wait = kStoreBusyWait);
  // $XDG_CONFIG_HOME/DiscPress/store.db, or ~/.config/DiscPress/store.db.
  static std::filesystem::path DefaultFile();

  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  std::optional<RegValue> Get(std::string_view name, std::string_view key = kStoreKey);
  // Reads like RegQueryValueEx with a buffer of buf_size bytes.
  ReadResult Read(std::string_view name, std::size_t buf_size, RegValue& out,
                  std::string_view key = kStoreKey);
  // The changes fail with SQLite's reason when the store refuses them.
  Status Set(std::string_view name, const RegValue& value, std::string_view key = kStoreKey);
  Status SetSz(std::string_view name, std::string_view text, std::string_view key = kStoreKey);
  Status SetDword(std::string_view name, std::uint32_t value, std::string_view key = kStoreKey);
  Status SetBinary(std::string_view name, const void* data, std::size_t size,
                   std::string_view key = kStoreKey);
  Status Delete(std::string_view name, std::string_view key = kStoreKey);
  bool KeyExists(std::string_view key = kStoreKey);
  std::vector<RegEntry> List(std::string_view key = kStoreKey);

  // Runs body inside one transaction: every change it makes lands together
  // or not at all. A body that returns a failed Status rolls everything back
  // and its failure is the result. Nested calls join the outer transaction.
  template <typename F>
  Status Transaction(F&& body) {
    std::lock_guard lock(mutex_);
    if (Status begun = Begin(); !begun) return begun;
    try {
      static_assert(!std::is_same_v<decltype(body()), bool>, "a body that can fail returns a Status");
      if constexpr (std::is_same_v<decltype(body()), Status>) {
        if (Status done = body(); !done) {
          Rollback();
          return done;
        }
      } else {
        body();
      }
    } catch (...) {
      Rollback();
      throw;
    }
    return Commit();
  }

  // A message for the user about what happened when the store was opened
  // (a damaged file set aside, a store that cannot be written); empty when
  // nothing happened. Cleared on read.
  std::string TakeNotice();
  const std::filesystem::path& file() const { return file_; }
  // False when changes cannot be kept: the file is read-only, or the store
  // runs in memory.
  bool writable() const { return writable_; }
  // False when the file could not be read and the store runs in memory: its
  // empty queue and default settings are not the user's.
  bool on_disk() const { return on_disk_; }

  // handler is called once, with a message for the user, at the first write
  // the store refuses (at once when one was refused before it was set). Not
  // called when the opening notice already said that changes are not kept.
  // It runs on the writing thread with the store locked: post or print only.
  void SetWriteFailureHandler(std::function<void(const std::string&)> handler);
  bool write_failed();

 private:
  Store() = default;
  Status Begin();
  Status Commit();
  void Rollback();
  int Exec(const char* sql);  // the SQLite result
  int OpenFile(const std::filesystem::path& file, std::chrono::milliseconds busy_wait);
  bool OpenReadOnly(std::chrono::milliseconds busy_wait);
  void Close();
  int Check();
  int Prepare();
  // OpenFile, Check and Prepare: the SQLite result of the first that failed.
  int OpenChecked(const std::filesystem::path& file, std::chrono::milliseconds busy_wait);
  // Called with every write's SQLite result; latches the first failure.
  Status Wrote(int rc);
  void TellWriteFailure();

  std::recursive_mutex mutex_;
  sqlite3* db_ = nullptr;
  int depth_ = 0;
  std::filesystem::path file_;
  std::string notice_;
  bool writable_ = true;
  bool on_disk_ = true;
  bool write_failed_ = false;
  bool failure_told_ = false;
  std::string failure_text_;
  std::function<void(const std::string&)> on_write_failure_;
};

}  // namespace dp
