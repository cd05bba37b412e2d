#include "pipeline/failure_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/files.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

std::tm March5() {
  std::tm t{};
  t.tm_year = 2026 - 1900, t.tm_mon = 2, t.tm_mday = 5, t.tm_hour = 9, t.tm_min = 7, t.tm_sec = 3;
  t.tm_isdst = -1;
  return t;
}

TEST(FailureLog, RecordBytes) {
  const std::string cmd = R"("/opt/dp/x264/x264" --pass 2 -o "/tmp/Le film d'été.job_3.264")";
  const std::string expected = "-[05/03/2026 - 09:07:03]" + std::string(80, '-') + "\n  LAST CMD LINE => " +
                               cmd + "\n  EXIT CODE     => -1 (0xFFFFFFFF)\n" + std::string(104, '-') +
                               "\n\n";
  EXPECT_EQ(FailureRecord(March5(), cmd, -1), expected);
}

TEST(FailureLog, AppendsOneRecordPerFailureOrDropsIt) {
  test::TempDir dir;
  const std::filesystem::path log = dir / "error_log.txt";
  std::ofstream(log, std::ios::binary) << "earlier\n";

  std::tm when = March5();
  const std::time_t stamp = std::mktime(&when);
  ASSERT_TRUE(LogToolFailure(dir.path().string(), "\"mkvmerge\" -o out.mkv", 2, stamp));
  ASSERT_TRUE(LogToolFailure(dir.path().string(), "\"tsMuxeR\" x.meta", 1, stamp));
  EXPECT_EQ(test::ReadText(log), "earlier\n" + FailureRecord(March5(), "\"mkvmerge\" -o out.mkv", 2) +
                                     FailureRecord(March5(), "\"tsMuxeR\" x.meta", 1));

  // When the log cannot be opened, the record is dropped.
  EXPECT_FALSE(AppendFailureRecord((dir / "missing").string(), "record"));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

}  // namespace
}  // namespace dp
