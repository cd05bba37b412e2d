#include "pipeline/subtitle_tasks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/command_line.h"
#include "step_fixture.h"
#include "support/files.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// A PGS epoch: its starting composition, whose one object is flagged
// `flags`, a window segment and the end segment.
std::string Epoch(char flags) {
  std::string pcs(19, '\0');
  pcs[7] = '\x80', pcs[10] = 1, pcs[14] = flags;
  std::string epoch;
  for (const auto& [type, payload] :
       {std::pair<char, std::string>{'\x16', pcs}, {'\x17', std::string(10, '\x11')}, {'\x80', ""}})
    epoch += "PG" + std::string(8, '\0') + type + static_cast<char>(payload.size() >> 8) +
             static_cast<char>(payload.size() & 0xff) + payload;
  return epoch;
}

class SubtitleTasks : public test::StepFixture {
 protected:
  // MKV CRF with forced PGS captions, cropped to 800 lines and resized.
  static JobRecord RescaleJob() {
    JobRecord job = EmptyJob();
    job.target_media = kMediaMkvCrf;
    job.subtitle_mode = kSubtitleForcedOnly;
    job.crop_height = 800;
    job.resize_720p = kResize720;
    CopyText(job.output_name, "Movie");
    CopyText(job.subtitle_codec_id, "S_HDMV/PGS");
    return job;
  }

  JavaRuntime java_{true, "/usr/bin/java"};
};

TEST_F(SubtitleTasks, ForcedCaptionTasksWriteOnlyWhenAbsent) {
  const std::string in = T(".sup"), out = T(".forced.sup"), lock = out + ".lock";
  Touch(in, Epoch('\x40') + Epoch('\0'));
  Strings shown;
  const StatusDisplay show = [&](std::string_view text) { shown.emplace_back(text); };
  EXPECT_EQ(RunForcedCaptionTask(ForcedCaptionTask::kExportForced, in, out, lock, show), 1);
  EXPECT_EQ(shown, (Strings{"Extracting forced captions...", ""}));
  EXPECT_EQ(test::ReadText(out), Epoch('\x40'));
  EXPECT_FALSE(fs::exists(lock));

  // An existing output is a finished piece of an earlier run.
  Touch(out, "done");
  shown.clear();
  EXPECT_EQ(RunForcedCaptionTask(ForcedCaptionTask::kFlagAllForced, in, out, lock, show), 0);
  EXPECT_EQ(shown, (Strings{"Flagging all subs as forced...", ""}));
  EXPECT_EQ(test::ReadText(out), "done");
}

TEST_F(SubtitleTasks, RescaleCommandLines) {
  const std::string cropped_resized =
      " -T keep -c 140 -r 720p -f lanczos3 -o \"{T}.resized.sup\" \"{T}.forced.sup\"";
  // clang-format off
  const struct {
    void (*edit)(JobRecord&);
    bool jar;
    std::string command;
  } cases[] = {
      {[](JobRecord&) {}, false, "\"{TOOLS}/BDSup2Sub/BDSup2Sub\"" + cropped_resized},
      // The demuxed stream without forced captions, the flagged stream when
      // every caption was forced.
      {[](JobRecord& j) { j.resize_720p = kResizeNone, j.subtitle_mode = kSubtitleKept; }, false,
       "\"{TOOLS}/BDSup2Sub/BDSup2Sub\" -T keep -c 140 -o \"{T}.resized.sup\" \"{T}.sup\""},
      {[](JobRecord& j) { j.crop_height = 0, j.subtitle_mode = kSubtitleKeptForced; }, false,
       "\"{TOOLS}/BDSup2Sub/BDSup2Sub\" -T keep -r 720p -f lanczos3 -o \"{T}.resized.sup\" \"{T}.forced.sup\""},
      // Last: a jar runs with Java, and stays for the runtime below.
      {[](JobRecord&) {}, true, "/usr/bin/java -jar \"{TOOLS}/BDSup2Sub/BDSup2Sub.jar\"" + cropped_resized},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    if (c.jar) Touch(Tools() + "/BDSup2Sub/BDSup2Sub.jar", "jar");
    JobRecord job = RescaleJob();
    c.edit(job);
    const PreparedStep step = PrepareSubtitleRescale(job, ctx_, java_);
    EXPECT_EQ(step.command_line, Expand(c.command));
    EXPECT_EQ(step.console_title, "[RESIZING/CROPING SUBTITLES] Do not close this window!!!");
    EXPECT_EQ(step.outputs_on_failure, Strings{T(".resized.sup")});
    EXPECT_EQ(step.lock_file, T(".resized.sup.lock"));
  }
  // A runtime in a folder with a blank still reaches the tool whole.
  const Strings argv = SplitCommandLine(
      PrepareSubtitleRescale(RescaleJob(), ctx_, JavaRuntime{true, "/opt/java 17/bin/java"}).command_line);
  ASSERT_GE(argv.size(), 3u);
  EXPECT_EQ(Strings(argv.begin(), argv.begin() + 3),
            (Strings{"/opt/java 17/bin/java", "-jar", Tools() + "/BDSup2Sub/BDSup2Sub.jar"}));
}

TEST_F(SubtitleTasks, RescaleIsSkippedWhenNotDueDoneOrWithoutJava) {
  JobRecord job = RescaleJob();
  EXPECT_TRUE(PrepareSubtitleRescale(job, ctx_, JavaRuntime{}).skip);
  Touch(T(".resized.sup"), "done");
  EXPECT_TRUE(PrepareSubtitleRescale(job, ctx_, java_).skip);
  // Cut short by a run that died: never muxed, made again when it can be.
  Touch(T(".resized.sup.lock"), "");
  EXPECT_TRUE(PrepareSubtitleRescale(job, ctx_, JavaRuntime{}).skip);
  EXPECT_FALSE(fs::exists(T(".resized.sup")));
  EXPECT_FALSE(fs::exists(T(".resized.sup.lock")));
  Touch(T(".resized.sup"), "half");
  Touch(T(".resized.sup.lock"), "");
  EXPECT_FALSE(PrepareSubtitleRescale(job, ctx_, java_).skip);
}

}  // namespace
}  // namespace dp
