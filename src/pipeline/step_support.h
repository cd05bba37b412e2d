// What the step builders share: a record field as printf text, the job's
// temporary files, and the questions they ask of the job's streams.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "pipeline/step.h"
#include "queue/job_record.h"
#include "util/text.h"

namespace dp {

// Record fields are fixed buffers that need not end in a NUL; printf wants
// one.
template <std::size_t N>
std::string FieldString(const char (&field)[N]) {
  return std::string(FieldText(field));
}

std::string_view TempFolder(const StepContext& ctx);
// The job's temporary file ending in `suffix`.
std::string Temp(const JobRecord& job, const StepContext& ctx, std::string_view suffix);

// Something is at `path` (a link counts by its target).
bool Exists(const std::string& path);

// `chapters` is long enough to be a list of chapter times; a shorter text
// means chapter marks every 5 minutes.
inline constexpr std::size_t kChapterListMinLength = 11;
bool HasChapterList(const JobRecord& job);

bool IsPgs(const JobRecord& job);
// The audio is recoded (to AC-3 or FLAC), not copied.
bool RecodesAudio(const JobRecord& job);
// The source's video is copied, not encoded.
bool CopiesVideo(const JobRecord& job);

}  // namespace dp
