#include "source/mediainfo.h"

#include <gtest/gtest.h>
#include <langinfo.h>

#include <clocale>
#include <filesystem>
#include <memory>

#include "support/media_gen.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using K = MediaStreamKind;

TEST(MediaInfoLibrary, MissingLibraryOrFileIsAClearError) {
  std::string error;
  EXPECT_EQ(LoadMediaInfoApi("libmediainfo-not-installed.so.0", &error), nullptr);
  EXPECT_NE(error.find("libmediainfo-not-installed.so.0"), std::string::npos) << error;

  error.clear();
  EXPECT_EQ(MediaInfoFile::Open("/nonexistent/clip.m2ts", &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/clip.m2ts"), std::string::npos) << error;
}

class MediaInfoFileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    ASSERT_TRUE(test::MakeBlurayClip(dir_->path() / "clip.m2ts", 2, "640x360"));
    ASSERT_TRUE(test::MakeMatroska(dir_->path() / "film.mkv", 2, "640x360"));
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static std::unique_ptr<MediaInfoFile> Open(const fs::path& path) {
    std::string error;
    auto file = MediaInfoFile::Open(path.string(), &error);
    EXPECT_TRUE(file) << error;
    return file;
  }
  static fs::path Path(const char* name) { return dir_->path() / name; }

  static std::unique_ptr<test::TempDir> dir_;
};
std::unique_ptr<test::TempDir> MediaInfoFileTest::dir_;

TEST_F(MediaInfoFileTest, BlurayClipStreamsAndTransportStreamShapes) {
  auto mi = Open(Path("clip.m2ts"));
  ASSERT_TRUE(mi);
  EXPECT_EQ(mi->StreamCount(K::kVideo), 1);
  EXPECT_EQ(mi->StreamCount(K::kText), 0);

  EXPECT_EQ(mi->Get(K::kVideo, 0, "Format"), "AVC");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "ID/String"), "4113 (0x1011)");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "FrameRate"), "23.976");
  EXPECT_NEAR(LeadingDouble(mi->Get(K::kVideo, 0, "Duration")), 2000, 150);
  EXPECT_EQ(mi->Get(K::kAudio, 0, "Format"), "AC-3");
  // A transport stream names audio by its stream type: 129 is AC-3.
  EXPECT_EQ(mi->Get(K::kAudio, 0, "CodecID"), "129");

  // No chapter marks in a clip; absent streams and parameters read empty.
  EXPECT_EQ(mi->Get(K::kMenu, 0, "Chapters_Pos_Begin"), "");
  EXPECT_EQ(mi->Get(K::kVideo, 3, "Format"), "");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "NoSuchParameter"), "");
}

// Opened by a non-ASCII name under the C locale, the state a program starts
// in: the library must not inherit it.
TEST_F(MediaInfoFileTest, MatroskaCodecIdsLanguageAndChapterMarks) {
  const fs::path named = Path("Película ñ.mkv");
  fs::copy_file(Path("film.mkv"), named, fs::copy_options::overwrite_existing);
  std::setlocale(LC_CTYPE, "C");
  auto mi = Open(named);
  ASSERT_TRUE(mi);
  EXPECT_TRUE(IEquals(::nl_langinfo(CODESET), "UTF-8"));
  EXPECT_EQ(mi->Get(K::kGeneral, 0, "FileName"), "Película ñ");
  EXPECT_EQ(mi->Get(K::kGeneral, 0, "Format"), "Matroska");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "CodecID"), "V_MPEG4/ISO/AVC");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "ID/String"), "1");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "FrameRate"), "25.000");
  EXPECT_EQ(LeadingInt(mi->Get(K::kVideo, 0, "FrameCount")), 50);
  EXPECT_EQ(mi->Get(K::kAudio, 0, "CodecID"), "A_AC3");
  EXPECT_EQ(mi->Get(K::kAudio, 0, "Language/String3"), "eng");

  // Chapter marks are the menu's parameters between the two positions: the
  // name is the start time, the text the title.
  const int begin = LeadingInt(mi->Get(K::kMenu, 0, "Chapters_Pos_Begin"));
  const int end = LeadingInt(mi->Get(K::kMenu, 0, "Chapters_Pos_End"));
  ASSERT_EQ(end - begin, 2);
  EXPECT_LE(static_cast<std::size_t>(end), mi->ParameterCount(K::kMenu, 0));
  EXPECT_EQ(mi->GetI(K::kMenu, 0, begin, MediaInfoKind::kName), "00:00:00.000");
  EXPECT_EQ(mi->GetI(K::kMenu, 0, begin + 1, MediaInfoKind::kName), "00:00:01.000");
  EXPECT_NE(mi->GetI(K::kMenu, 0, begin + 1, MediaInfoKind::kText).find("Two"), std::string::npos);
}

}  // namespace
}  // namespace dp
