#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/run_state.h"
#include "platform/instance_lock.h"
#include "support/files.h"
#include "support/local_http_server.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "update/installer_download.h"
#include "update/update_check.h"
#include "update/version_query.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
constexpr char kQuery[] = "/DiscPress/versio.cgi";

MachineId SampleId() {
  MachineId id{};
  for (std::size_t i = 0; i < id.size(); ++i) id[i] = static_cast<std::uint8_t>(i * 17 + 1);
  return id;
}

class UpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("DISCPRESS_UPDATE_URL", (server.base() + "/").c_str(), 1);
    setenv("TMPDIR", dir.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("HOME", dir.path().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  test::TempDir dir;
  test::LocalHttpServer server;
};

TEST(UpdateQuery, Path) {
  const MachineId id = SampleId();
  const std::string head = "/DiscPress/versio.cgi?ver=3.3.0&modo=";
  const std::string hex = "&id=45566778899AABBCCDDEEF0011223344";
  EXPECT_EQ(VersionQueryPath(true, id, std::nullopt), head + "64" + hex);
  EXPECT_EQ(VersionQueryPath(false, id, std::string("ab-9_.~")), head + "32" + hex + "&ref=ab-9_.~");
  EXPECT_EQ(VersionQueryPath(false, id, std::string("a b&c=/\xc3\xbc")),
            head + "32" + hex + "&ref=a%20b%26c%3D%2F%C3%BC");
}

TEST_F(UpdateTest, Replies) {
  const std::string fields = "3.4.0|https://h.example/x/setup.exe|12345678";
  // clang-format off
  struct { int status; std::string body; std::optional<std::string> ref; int result; VersionReply out; } rows[] = {
    {200, "OK", std::nullopt, 1, {}},
    {200, "OK", "r", 1, {}},
    {200, "NG", "r", -1, {}},
    {200, "NG", std::nullopt, 0, {"NG", "", ""}},
    {200, fields, std::nullopt, 0, {"3.4.0", "https://h.example/x/setup.exe", "12345678"}},
    {200, fields, "r", 0, {}},
    {200, "3.4.0|addr", std::nullopt, 0, {"3.4.0", "addr", ""}},
    {200, "1234567890123456789|a|1|extra", std::nullopt, 0, {"123456789012345", "a", "1"}},
    {200, "K", std::nullopt, 0, {}},
    {200, "NG" + std::string(258, ' '), std::nullopt, 0, {"NG" + std::string(13, ' '), "", ""}},
    {200, "NG" + std::string(259, ' '), std::nullopt, 0, {}},
    {404, "OK", std::nullopt, 0, {}},
  };
  // clang-format on
  for (const auto& r : rows) {
    server.Reply(kQuery, r.status, r.body);
    server.ClearTargets();
    VersionReply out;
    EXPECT_EQ(HTTP_Versio(false, SampleId(), r.ref, out), r.result) << r.body;
    EXPECT_EQ(out.new_version, r.out.new_version) << r.body;
    EXPECT_EQ(out.download_address, r.out.download_address) << r.body;
    EXPECT_EQ(out.size_text, r.out.size_text) << r.body;
    EXPECT_EQ(server.targets(), std::vector<std::string>{VersionQueryPath(false, SampleId(), r.ref)});
  }

  std::atomic<bool> abort{true};
  VersionReply out;
  EXPECT_EQ(HTTP_Versio(false, SampleId(), "r", out, &abort), 0);

  setenv("DISCPRESS_UPDATE_URL", "", 1);
  server.ClearTargets();
  EXPECT_EQ(HTTP_Versio(false, SampleId(), "r", out), 0);
  EXPECT_TRUE(server.targets().empty());
}

TEST_F(UpdateTest, Download) {
  const std::string body(1000, 'x');
  server.Reply("/dl/setup.run", 200, body);
  const std::string address = server.base() + "/dl/setup.run";
  const fs::path local = dir / "setup.run";
  std::string name;

  ASSERT_EQ(HTTP_Download(address, "1000 bytes", name), 0);
  EXPECT_EQ(name, "setup.run");
  EXPECT_EQ(test::ReadText(local), body);
  EXPECT_FALSE(fs::exists(dir / "setup.run.part"));

  server.ClearTargets();
  name.clear();
  EXPECT_EQ(HTTP_Download(address, "1000", name), 0);  // the file is there already
  EXPECT_EQ(name, "setup.run");
  EXPECT_TRUE(server.targets().empty());

  // One that others could have written is fetched again, and a link at the
  // partial file's name is replaced, not followed.
  fs::permissions(local, fs::perms::others_write, fs::perm_options::add);
  const fs::path elsewhere = dir / "elsewhere";
  std::ofstream(elsewhere) << "keep";
  fs::create_symlink(elsewhere, dir / "setup.run.part");
  EXPECT_EQ(HTTP_Download(address, "1000", name), 0);
  EXPECT_EQ(server.targets().size(), 1u);
  EXPECT_EQ(fs::status(local).permissions() & fs::perms::others_write, fs::perms::none);
  EXPECT_EQ(test::ReadText(elsewhere), "keep");

  // A size that is not the announced one: nothing is kept.
  for (const char* size : {"999", "1001", "0", "junk"}) {
    fs::remove(local);
    name.clear();
    EXPECT_EQ(HTTP_Download(address, size, name), -1) << size;
    EXPECT_TRUE(name.empty());
    EXPECT_FALSE(fs::exists(local)) << size;
    EXPECT_FALSE(fs::exists(dir / "setup.run.part")) << size;
  }

  server.ClearTargets();
  for (const std::string& refused :
       std::vector<std::string>{"setup.run", "http:/x/setup.run", "http://127.0.0.1", server.base() + "/",
                                server.base() + "/dl/..", "http://127.0.0.2/setup.run",
                                "http://127.0.0.1:1@127.0.0.1/setup.run", "ftp://127.0.0.1/setup.run"}) {
    EXPECT_EQ(HTTP_Download(refused, "1000", name), -1) << refused;
  }
  EXPECT_TRUE(server.targets().empty());
  EXPECT_TRUE(name.empty());
}

TEST_F(UpdateTest, CheckThenNotice) {
  server.Reply("/dl/setup.run", 200, std::string(64, 'y'));
  server.Reply(kQuery, 200, "3.4.0|" + server.base() + "/dl/setup.run|64");
  UpdateState state;
  std::string shown;
  ComprovaVersioProc(false, SampleId(), state, [&](const std::string& v) { shown = v; });
  EXPECT_EQ(shown, "3.4.0");
  EXPECT_EQ(state.update_installer_name, "setup.run");
  EXPECT_EQ(server.targets().size(), 2u);

  server.Reply(kQuery, 200, "OK");
  server.ClearTargets();
  UpdateState none;
  shown.clear();
  ComprovaVersioProc(false, SampleId(), none, [&](const std::string& v) { shown = v; });
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(none.update_installer_name.empty());
  EXPECT_EQ(server.targets().size(), 1u);  // no download

  EXPECT_EQ(UpdateTipText(),
            "DiscPress\nA new version of DiscPress is available!!!\nClick here to install now.");
  EXPECT_EQ(UpdateBalloonText("3.4.0"),
            "A new version of DiscPress is available!!!\nYou have: 3.3.0  =>  New: 3.4.0\nClick here to "
            "install now.");

  // A click stops only a running job, and asks for the installer at exit.
  for (const int job : {-1, 4}) {
    RunState run;
    run.current_job = job;
    int stops = 0, quits = 0;
    EXPECT_TRUE(InstallerToLaunch(state).empty());
    OnUpdateNoticeClicked(
        run, state, [&] { ++stops; }, [&] { ++quits; });
    EXPECT_EQ(stops, job == -1 ? 0 : 1);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(InstallerToLaunch(state), dir / "setup.run");
    state.launch_update_on_exit = false;
  }
}

TEST_F(UpdateTest, QueryModeOfTheProgram) {
  const fs::path program = fs::path(DP_CLI_PATH).parent_path() / "discpress";
  if (!fs::exists(program)) GTEST_SKIP() << "built without the desktop program";
  const std::string id_path = "?ver=3.3.0&modo=";
  // clang-format off
  struct { std::vector<std::string> args; std::string reply; bool other; int code; std::string ref; } rows[] = {
    {{"/che"}, "NG", false, 99, ""},
    {{"/check"}, "NG", false, 99, ""},
    {{"/check", "ref 1"}, "OK", false, 99, "&ref=ref%201"},
    {{"/chexyz", "1"}, "NG", false, 255, "&ref=%201"},
    {{"/checkit"}, "OK", false, 99, "&ref=t"},
    {{"/chequered", "x"}, "KO", false, 99, "&ref=red%20x"},
    {{"/check"}, "OK", true, 69, ""},
    {{"/check", "r"}, "NG", true, 69, "&ref=r"},
  };
  // clang-format on
  for (const auto& r : rows) {
    server.Reply(kQuery, 200, r.reply);
    server.ClearTargets();
    InstanceLock other(InstanceLockFile(dir / "config" / "DiscPress"));
    fs::create_directories(dir / "config" / "DiscPress");
    if (r.other) {
      ASSERT_EQ(other.TryAcquire(kWindowHolder), LockState::kHeld);
    }
    std::vector<std::string> argv = {program.string()};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    EXPECT_EQ(test::RunProgram(argv).code, r.code) << r.args[0];
    const auto targets = server.targets();
    if (r.ref.empty()) {
      EXPECT_TRUE(targets.empty()) << r.args[0];
    } else {
      ASSERT_EQ(targets.size(), 1u) << r.args[0];
      EXPECT_TRUE(targets[0].ends_with(r.ref)) << targets[0];
    }
  }
}

TEST_F(UpdateTest, CliCheck) {
  server.Reply(kQuery, 200, "3.4.0|https://h.example/setup.run|64");
  const test::ProgramResult r = test::RunProgram({DP_CLI_PATH, "update", "check"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out,
            "result\t0\nnew_version\t3.4.0\ndownload_address\thttps://h.example/setup.run\nsize_text\t64\n");
  server.Reply(kQuery, 200, "NG");
  EXPECT_EQ(test::RunProgram({DP_CLI_PATH, "update", "check", "--ref", "a b"}).out,
            "result\t-1\nnew_version\t\ndownload_address\t\nsize_text\t\n");
  ASSERT_EQ(server.targets().size(), 2u);
  EXPECT_TRUE(server.targets()[1].ends_with("&ref=a%20b"));
}

}  // namespace
}  // namespace dp
