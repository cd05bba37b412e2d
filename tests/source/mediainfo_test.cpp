#include "source/mediainfo.h"

#include <gtest/gtest.h>
#include <langinfo.h>

#include <clocale>

#include "support/media_gen.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

using K = MediaStreamKind;

TEST(MediaInfoLibrary, MissingLibraryOrFileIsAClearError) {
  std::string error;
  EXPECT_EQ(LoadMediaInfoApi("libmediainfo-not-installed.so.0", &error), nullptr);
  EXPECT_NE(error.find("libmediainfo-not-installed.so.0"), std::string::npos) << error;
  EXPECT_EQ(MediaInfoFile::Open("/nonexistent/clip.m2ts", &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/clip.m2ts"), std::string::npos) << error;
}

TEST(MediaInfoFile, BlurayClipStreamsAndTransportStreamShapes) {
  test::TempDir dir;
  ASSERT_TRUE(test::MakeBlurayClip(dir / "clip.m2ts", 2, "640x360"));
  std::string error;
  auto mi = MediaInfoFile::Open((dir / "clip.m2ts").string(), &error);
  ASSERT_TRUE(mi) << error;
  EXPECT_EQ(mi->StreamCount(K::kVideo), 1);
  EXPECT_EQ(mi->Get(K::kVideo, 0, "ID/String"), "4113 (0x1011)");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "FrameRate"), "23.976");
  EXPECT_NEAR(LeadingDouble(mi->Get(K::kVideo, 0, "Duration")), 2000, 150);
  // A transport stream names audio by its stream type: 129 is AC-3.
  EXPECT_EQ(mi->Get(K::kAudio, 0, "CodecID"), "129");
  // Absent streams and parameters read empty.
  EXPECT_EQ(mi->Get(K::kVideo, 3, "Format"), "");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "NoSuchParameter"), "");
}

// Opened by a non-ASCII name under the C locale, the state a program starts
// in: the library must not inherit it.
TEST(MediaInfoFile, MatroskaCodecIdsLanguageAndChapterMarks) {
  test::TempDir dir;
  ASSERT_TRUE(test::MakeMatroska(dir / "Película ñ.mkv", 2, "640x360"));
  std::setlocale(LC_CTYPE, "C");
  std::string error;
  auto mi = MediaInfoFile::Open((dir / "Película ñ.mkv").string(), &error);
  ASSERT_TRUE(mi) << error;
  EXPECT_TRUE(IEquals(::nl_langinfo(CODESET), "UTF-8"));
  EXPECT_EQ(mi->Get(K::kGeneral, 0, "FileName"), "Película ñ");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "CodecID"), "V_MPEG4/ISO/AVC");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "FrameRate"), "25.000");
  EXPECT_EQ(LeadingInt(mi->Get(K::kVideo, 0, "FrameCount")), 50);
  EXPECT_EQ(mi->Get(K::kAudio, 0, "CodecID"), "A_AC3");
  EXPECT_EQ(mi->Get(K::kAudio, 0, "Language/String3"), "eng");

  // Chapter marks are the menu's parameters between the two positions: the
  // name is the start time, the text the title.
  const int begin = LeadingInt(mi->Get(K::kMenu, 0, "Chapters_Pos_Begin"));
  const int end = LeadingInt(mi->Get(K::kMenu, 0, "Chapters_Pos_End"));
  ASSERT_EQ(end - begin, 2);
  EXPECT_EQ(mi->GetI(K::kMenu, 0, begin, MediaInfoKind::kName), "00:00:00.000");
  EXPECT_EQ(mi->GetI(K::kMenu, 0, begin + 1, MediaInfoKind::kName), "00:00:01.000");
  EXPECT_NE(mi->GetI(K::kMenu, 0, begin + 1, MediaInfoKind::kText).find("Two"), std::string::npos);
}

}  // namespace
}  // namespace dp
