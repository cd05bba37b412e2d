#include "platform/store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "support/temp_dir.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

std::uint8_t FirstByte(Store& store, const char* name) {
  const auto v = store.Get(name);
  return v && !v->data.empty() ? v->data[0] : 0;
}

// The sizes of the files set aside as damaged in `dir`.
std::vector<std::uintmax_t> SetAside(const fs::path& dir) {
  std::vector<std::uintmax_t> sizes;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().starts_with("store.db.damaged-")) sizes.push_back(e.file_size());
  return sizes;
}

TEST(Store, KeepsTypedValuesByteForByte) {
  test::TempDir dir;
  auto store = Store::Open(dir / "store.db");
  ASSERT_TRUE(store);
  EXPECT_TRUE(store->TakeNotice().empty());
  ASSERT_TRUE(store->SetSz("TempPath", "/tmp/Dísc"));
  ASSERT_TRUE(store->SetDword("CRF", 0x01020314));
  const unsigned char blob[] = {0, 1, 2, 0, 255};
  ASSERT_TRUE(store->SetBinary("Job_0", blob, sizeof blob));

  const std::string sz = "/tmp/Dísc";
  const struct {
    const char* name;  // names ignore case, as registry names do
    int type;
    std::vector<std::uint8_t> data;
  } cases[] = {
      {"temppath", kRegSz,
       std::vector<std::uint8_t>(sz.c_str(), sz.c_str() + sz.size() + 1)},  // with its NUL
      {"CRF", kRegDword, {0x14, 0x03, 0x02, 0x01}},
      {"Job_0", kRegBinary, std::vector<std::uint8_t>(blob, blob + sizeof blob)},
  };
  for (const auto& c : cases) {
    const auto v = store->Get(c.name);
    ASSERT_TRUE(v) << c.name;
    EXPECT_EQ(v->type, c.type) << c.name;
    EXPECT_EQ(v->data, c.data) << c.name;
  }
  RegValue out;
  EXPECT_EQ(store->Read("Job_0", 4, out), ReadResult::kTooLarge);
  EXPECT_EQ(store->Read("Job_0", 5, out), ReadResult::kOk);
  EXPECT_EQ(store->Read("Job_1", 5, out), ReadResult::kMissing);
  EXPECT_TRUE(store->Delete("Job_0"));
  EXPECT_TRUE(store->Delete("Job_0"));  // deleting what is not there is no error
  EXPECT_EQ(store->List().size(), 2u);
}

TEST(Store, TransactionThatFailsLeavesNothingBehind) {
  test::TempDir dir;
  auto store = Store::Open(dir / "store.db");
  ASSERT_TRUE(store->SetDword("A", 1));
  const Status failed = store->Transaction([&] {
    store->SetDword("A", 2);
    store->SetDword("B", 3);
    return Status(Failure{"the body's own reason"});
  });
  EXPECT_EQ(failed.error(), "the body's own reason");
  EXPECT_EQ(FirstByte(*store, "A"), 1);
  EXPECT_FALSE(store->Get("B"));
}

TEST(Store, DamagedFileIsKeptAsideAndAFreshStoreStarts) {
  test::TempDir dir;
  const auto file = dir / "store.db";
  std::ofstream(file, std::ios::binary) << std::string(8192, 'x');
  auto store = Store::Open(file);
  ASSERT_TRUE(store);
  EXPECT_NE(store->TakeNotice().find("damaged"), std::string::npos);
  EXPECT_TRUE(store->TakeNotice().empty());  // said once
  EXPECT_TRUE(store->SetDword("CRF", 18));
  EXPECT_EQ(SetAside(dir.path()), std::vector<std::uintmax_t>{8192u});  // kept whole, not deleted

  // A folder that cannot hold a store: one in memory, with a notice.
  auto memory = Store::Open("/proc/discpress-no-such-dir/store.db");
  ASSERT_TRUE(memory);
  EXPECT_FALSE(memory->TakeNotice().empty());
  EXPECT_TRUE(memory->SetDword("CRF", 18));
}

// Another program's connection to the store file, holding it as set up.
using OtherProgram = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
OtherProgram Hold(const fs::path& file, const std::vector<const char*>& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  for (const char* s : sql) EXPECT_EQ(sqlite3_exec(db, s, nullptr, nullptr, nullptr), SQLITE_OK) << s;
  return {db, &sqlite3_close};
}

// Only a file that is not a database, or is damaged, is set aside. One that
// another program holds locked, or that cannot be written, stays where it is
// with everything in it.
TEST(Store, OnlyADamagedFileIsSetAside) {
  constexpr auto kWait = std::chrono::milliseconds(200);
  enum Kind { kHeldExclusive, kHeldInWal, kReadOnly };
  for (const Kind kind : {kHeldExclusive, kHeldInWal, kReadOnly}) {
    SCOPED_TRACE(kind);
    test::TempDir dir;
    const auto file = dir / "store.db";
    ASSERT_TRUE(Store::Open(file)->SetDword("CRF", 18));
    OtherProgram other(nullptr, &sqlite3_close);
    if (kind == kHeldExclusive)  // a rollback-journal database mid-write
      other = Hold(file, {"PRAGMA journal_mode=DELETE", "BEGIN EXCLUSIVE"});
    if (kind == kHeldInWal) other = Hold(file, {"PRAGMA locking_mode=EXCLUSIVE", "BEGIN EXCLUSIVE"});
    ASSERT_TRUE(kind != kReadOnly || ::chmod(file.c_str(), 0444) == 0);
    // Root writes a read-only file anyway: look at it as another user.
    const bool as_other_user = kind == kReadOnly && ::geteuid() == 0;
    if (as_other_user) {
      ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
      ASSERT_EQ(::seteuid(65534), 0);
    }

    const auto started = std::chrono::steady_clock::now();
    auto store = Store::Open(file, kWait);
    const auto waited = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(store);
    const std::string notice = store->TakeNotice();
    const std::uint8_t crf = FirstByte(*store, "CRF");
    const bool wrote = store->SetDword("CRF", 20).ok();
    store.reset();
    ASSERT_TRUE(!as_other_user || ::seteuid(0) == 0);

    EXPECT_EQ(notice.find("damaged"), std::string::npos) << notice;
    EXPECT_TRUE(SetAside(dir.path()).empty());
    if (kind == kReadOnly) {
      EXPECT_EQ(crf, 18) << "a read-only store is still read";
      EXPECT_NE(notice.find("cannot be written"), std::string::npos) << notice;
      EXPECT_FALSE(wrote);
    } else {
      EXPECT_GE(waited, kWait) << "a busy store is waited for";
      EXPECT_NE(notice.find("locked"), std::string::npos) << notice;
    }
    other.reset();
    ::chmod(file.c_str(), 0644);
    EXPECT_EQ(FirstByte(*Store::Open(file), "CRF"), 18);
  }
}

// A write the store refuses fails with SQLite's reason, and is told once
// through the handler, even when it happened before the handler was set.
TEST(Store, ARefusedWriteIsToldOnce) {
  test::TempDir dir;
  auto store = Store::Open(dir / "store.db", std::chrono::milliseconds(50));
  ASSERT_TRUE(store->SetDword("A", 1));
  const OtherProgram other = Hold(dir / "store.db", {"BEGIN EXCLUSIVE"});
  EXPECT_EQ(store->SetDword("A", 2).error(), "database is locked");
  EXPECT_TRUE(store->write_failed());
  std::vector<std::string> told;
  store->SetWriteFailureHandler([&](const std::string& text) { told.push_back(text); });
  EXPECT_EQ(store->Transaction([&] { return store->SetDword("B", 3); }).error(), "database is locked");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("cannot be written (database is locked)"), std::string::npos) << told[0];
}

TEST(Store, TwoThreadsWriteAtOnce) {
  test::TempDir dir;
  auto store = Store::Open(dir / "store.db");
  auto writer = [&](const char* prefix) {
    for (int i = 0; i < 50; ++i)
      store->Transaction([&] { store->SetDword(std::string(prefix) + std::to_string(i), i); });
  };
  std::thread a(writer, "A"), b(writer, "B");
  a.join();
  b.join();
  EXPECT_EQ(store->List().size(), 100u);
}

}  // namespace
}  // namespace dp
