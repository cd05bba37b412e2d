#include "pipeline/step_support.h"

#include <filesystem>
#include <system_error>

#include "pipeline/temp_files.h"

namespace dp {

std::string_view TempFolder(const StepContext& ctx) { return FieldText(ctx.settings.TempPath); }

std::string Temp(const JobRecord& job, const StepContext& ctx, std::string_view suffix) {
  return TempFileName(TempFolder(ctx), job, ctx.slot, suffix);
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

bool HasChapterList(const JobRecord& job) { return FieldText(job.chapters).size() >= kChapterListMinLength; }

bool RecodesAudio(const JobRecord& job) { return job.target_audio != kAudioCopy; }

bool IsPgs(const JobRecord& job) { return FieldText(job.subtitle_codec_id) == "S_HDMV/PGS"; }

bool CopiesVideo(const JobRecord& job) { return job.video_untouched != kVideoEncoded; }

}  // namespace dp
