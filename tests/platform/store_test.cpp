#include "platform/store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "support/temp_dir.h"

namespace dp {
namespace {

TEST(Store, KeepsTypedValuesByteForByte) {
  test::TempDir dir;
  auto store = Store::Open(dir / "store.db");
  ASSERT_TRUE(store);
  EXPECT_TRUE(store->TakeNotice().empty());
  EXPECT_FALSE(store->KeyExists());

  ASSERT_TRUE(store->SetSz("TempPath", "/tmp/Dísc"));
  ASSERT_TRUE(store->SetDword("CRF", 20));
  const unsigned char blob[] = {0, 1, 2, 0, 255};
  ASSERT_TRUE(store->SetBinary("Job_0", blob, sizeof blob));
  EXPECT_TRUE(store->KeyExists());

  auto sz = store->Get("temppath");  // names ignore case, as registry names do
  ASSERT_TRUE(sz);
  EXPECT_EQ(sz->type, kRegSz);
  EXPECT_EQ(sz->data.size(), std::strlen("/tmp/Dísc") + 1);  // the NUL is stored
  EXPECT_EQ(sz->data.back(), 0);

  auto dw = store->Get("CRF");
  ASSERT_TRUE(dw);
  EXPECT_EQ(dw->type, kRegDword);
  std::uint32_t crf = 0;
  std::memcpy(&crf, dw->data.data(), 4);
  EXPECT_EQ(crf, 20u);

  auto bin = store->Get("Job_0");
  ASSERT_TRUE(bin);
  EXPECT_EQ(bin->data, std::vector<std::uint8_t>(blob, blob + sizeof blob));

  RegValue out;
  EXPECT_EQ(store->Read("Job_0", 4, out), ReadResult::kTooLarge);
  EXPECT_EQ(store->Read("Job_0", 5, out), ReadResult::kOk);
  EXPECT_EQ(store->Read("Job_1", 5, out), ReadResult::kMissing);
  EXPECT_TRUE(store->Delete("Job_0"));
  EXPECT_TRUE(store->Delete("Job_0"));  // deleting what is not there is no error
  EXPECT_FALSE(store->Get("Job_0"));
  EXPECT_EQ(store->List().size(), 2u);
  EXPECT_TRUE(store->List("Software\\Other").empty());

  // Values survive closing and reopening.
  store.reset();
  store = Store::Open(dir / "store.db");
  ASSERT_TRUE(store->Get("CRF"));
}

TEST(Store, TransactionThatFailsLeavesNothingBehind) {
  test::TempDir dir;
  auto store = Store::Open(dir / "store.db");
  store->SetDword("A", 1);
  EXPECT_FALSE(store->Transaction([&] {
    store->SetDword("A", 2);
    store->SetDword("B", 3);
    return false;
  }));
  auto a = store->Get("A");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->data[0], 1);
  EXPECT_FALSE(store->Get("B"));
  EXPECT_TRUE(store->Transaction([&] { store->SetDword("B", 3); }));
  EXPECT_TRUE(store->Get("B"));
}

TEST(Store, DamagedFileIsKeptAsideAndAFreshStoreStarts) {
  test::TempDir dir;
  const auto file = dir / "store.db";
  {
    std::ofstream junk(file, std::ios::binary);
    junk << std::string(8192, 'x');
  }
  auto store = Store::Open(file);
  ASSERT_TRUE(store);
  const std::string notice = store->TakeNotice();
  EXPECT_NE(notice.find("damaged"), std::string::npos);
  EXPECT_TRUE(store->TakeNotice().empty());  // said once
  EXPECT_TRUE(store->SetDword("CRF", 18));

  int aside = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    if (e.path().filename().string().rfind("store.db.damaged-", 0) == 0) {
      ++aside;
      EXPECT_EQ(std::filesystem::file_size(e.path()), 8192u);  // kept, not deleted
    }
  EXPECT_EQ(aside, 1);
}

TEST(Store, UnusableFolderFallsBackToMemoryWithANotice) {
  auto store = Store::Open("/proc/discpress-no-such-dir/store.db");
  ASSERT_TRUE(store);
  EXPECT_FALSE(store->TakeNotice().empty());
  EXPECT_TRUE(store->SetDword("CRF", 18));
  EXPECT_TRUE(store->Get("CRF"));
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
