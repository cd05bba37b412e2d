// Set-up of the step builder tests: every outside tool under both its names
// (so the chosen variant shows), a temporary folder, slot 3 of job "Movie".
// Expected texts name the tools folder {TOOLS} and the temporary base {T}.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/settings.h"
#include "pipeline/step.h"
#include "queue/job_record.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp::test {

class StepFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* rel :
         {"x264/x264_x64", "x264/x264", "x265/x265_x64", "x265/x265", "x265/avs2yuv_x64", "x265/avs2yuv",
          "MVCenc_x64", "MVCenc", "MVCdec_x64", "MVCdec", "tsMuxeR/2.x/tsMuxeR", "tsMuxeR/1.10.6/tsMuxeR",
          "mkvtoolnix/mkvmerge_x64", "mkvtoolnix/mkvmerge", "eac3to/eac3to", "BDSup2Sub/BDSup2Sub"}) {
      const std::filesystem::path p = tools_.path() / rel;
      std::filesystem::create_directories(p.parent_path());
      std::ofstream(p) << "#!/bin/sh\n";
      ::chmod(p.c_str(), 0755);
    }
    ::setenv("DISCPRESS_TOOLS_DIR", tools_.path().c_str(), 1);
    CopyText(settings_.TempPath, temp_.path().string());
    CopyText(settings_.FontName, "Arial");
    settings_.FontSize = 48, settings_.FontColor = 0x00ffffff, settings_.FontBorder = 2;
    settings_.FontBottomOffset = 24;
    ctx_.slot = 3;
  }
  void TearDown() override { ::unsetenv("DISCPRESS_TOOLS_DIR"); }

  // A temporary file of the job: T(".264") is ".../Movie.job_3.264".
  std::string T(const std::string& suffix) const {
    return (temp_.path() / ("Movie.job_3" + suffix)).string();
  }
  std::string Tools() const { return tools_.path().string(); }

  // Replaces {TOOLS} and {T} in an expected text.
  std::string Expand(std::string text) const {
    for (const auto& [key, value] : {std::pair{"{TOOLS}", Tools()}, {"{T}", T("")}})
      for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
        text.replace(at, std::string_view(key).size(), value);
    return text;
  }

  static void Touch(const std::string& path, const std::string& content = "x") {
    std::ofstream(path) << content;
  }

  TempDir tools_;
  TempDir temp_;
  Settings settings_{};
  StepContext ctx_{settings_};
};

}  // namespace dp::test
