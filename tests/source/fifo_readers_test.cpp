// Every reader given a named pipe returns at once with its failure result and
// a message naming the path, instead of waiting for a writer that never comes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "pipeline/pgs_forced.h"
#include "scanner/scan_files.h"
#include "source/file_prefix.h"
#include "support/cli.h"
#include "support/temp_dir.h"
#include "util/file_io.h"

namespace dp {
namespace {

using namespace std::chrono_literals;

// Runs read on a thread. When it has not returned in time it is stuck in
// open(): a writer opening the pipe lets it go (it then reads end of file),
// so a regression fails the test instead of hanging it.
bool ReturnsPromptly(const std::function<void()>& read, const std::string& fifo) {
  std::packaged_task<void()> task(read);
  std::future<void> done = task.get_future();
  std::thread reader(std::move(task));
  const bool prompt = done.wait_for(5s) == std::future_status::ready;
  while (done.wait_for(10ms) != std::future_status::ready) {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
  }
  reader.join();
  return prompt;
}

TEST(NamedPipe, EveryReaderRefusesIt) {
  test::TempDir dir;
  const std::string fifo = (dir / "00001.mpls").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  const std::string why = fifo + ": is a named pipe (FIFO), not a regular file";
  const std::string out = (dir / "out.sup").string();

  struct Reader {
    const char* name;
    // True when the reader gave its failure result.
    std::function<bool(std::string& error)> run;
  };
  // clang-format off
  const Reader readers[] = {
      {"FilePrefix", [&](std::string& e) { return !FilePrefix().Read(fifo, 16, &e); }},
      {"ReadWholeFile", [&](std::string& e) { return !ReadWholeFile(fifo, &e); }},
      {"SubtitleExportForced",
       [&](std::string& e) { const PgsCopyResult r = SubtitleExportForced(fifo, out); e = r.error; return r.result == 0 && !std::filesystem::exists(out); }},
      {"OpenScanSource",
       [&](std::string& e) { PreparedScan scan; return !OpenScanSource(ScanSource{{{fifo, "00001.m2ts"}}, false}, scan, &e); }},
  };
  // clang-format on
  for (const Reader& r : readers) {
    bool refused = false;
    std::string error;
    ASSERT_TRUE(ReturnsPromptly([&] { refused = r.run(error); }, fifo)) << r.name << " waits on the pipe";
    EXPECT_TRUE(refused) << r.name;
    EXPECT_EQ(error, why) << r.name;
  }
}

TEST(NamedPipe, CliSaysWhy) {
  if (!std::filesystem::exists(DP_CLI_PATH)) GTEST_SKIP() << "discpress-cli is not built";
  test::TempDir dir;
  const std::string fifo = (dir / "in.sup").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  const std::string line =
      "discpress-cli: cannot read " + fifo + ": is a named pipe (FIFO), not a regular file\n";
  for (const char* command : {"info", "similar", "start-time"}) {
    const test::CliResult r = test::Cli({"mpls", command, fifo});
    EXPECT_EQ(r.code, 1) << command;
    EXPECT_EQ(r.err, line) << command;
  }
}

TEST(OpenRegularFile, SaysWhyAPathIsRefused) {
  test::TempDir dir;
  const std::string missing = (dir / "missing").string();
  // clang-format off
  const struct { std::string path, error; } cases[] = {
      {dir.path().string(), dir.path().string() + ": is a folder"}, {"/dev/null", "/dev/null: is a device, not a regular file"},
      {missing, missing + ": " + std::strerror(ENOENT)}};
  // clang-format on
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(OpenRegularFile(c.path, &error).valid()) << c.path;
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
}  // namespace dp
