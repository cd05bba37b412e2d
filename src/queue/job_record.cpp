#include "queue/job_record.h"

#include <array>
#include <cstring>

#include "queue/job_fields.h"

namespace dp {

JobRecord EmptyJob() {
  JobRecord r;
  std::memset(&r, 0, sizeof r);
  return r;
}

JobRecord JobFromImage(const void* image) {
  std::array<std::uint8_t, kJobRecordSize> bytes;
  std::memcpy(bytes.data(), image, kJobRecordSize);
  for (const JobField& f : JobFields())
    if (f.kind == FieldKind::kBool) bytes[f.offset] = bytes[f.offset] != 0 ? 1 : 0;
  JobRecord r;
  std::memcpy(&r, bytes.data(), kJobRecordSize);
  return r;
}

bool IsRunningStatus(std::int32_t status) { return status >= kStatusEac3to && status <= kStatusMkvmerge; }

bool IsRunnableStatus(std::int32_t status, StartAll start_all) {
  return status == kStatusPending || status == kStatusStopped ||
         (start_all == StartAll::kYes && status == kStatusFailed);
}

bool IsWaitingStatus(std::int32_t status) { return IsRunnableStatus(status, StartAll::kYes); }

bool IsDoneStatus(std::int32_t status) { return status == kStatusFinished || status == kStatusCanceled; }

bool IsDeletableStatus(std::int32_t status) { return IsWaitingStatus(status) || IsDoneStatus(status); }

int NextRunnableSlot(const JobSlots& jobs, StartAll start_all) {
  for (int i = 0; i < kQueueSlots; ++i)
    if (IsRunnableStatus(jobs[i].status, start_all)) return i;
  return -1;
}

bool IsCrfTarget(const JobRecord& job) {
  return job.target_media == kMediaAvchdCrf || job.target_media == kMediaMkvCrf;
}

bool IsMvc(const JobRecord& job) { return IsMvcMode(job.mode_3d); }

bool IsHalf3d(const JobRecord& job) { return IsHalf3dMode(job.mode_3d); }

bool IsHalfSbs(const JobRecord& job) {
  return job.mode_3d == kModeHalfSbsLeft || job.mode_3d == kModeHalfSbsRight;
}

bool IsLeftEyeBase(const JobRecord& job) {
  return job.mode_3d == kModeHalfSbsLeft || job.mode_3d == kModeHalfTabLeft || job.mode_3d == kModeMvcLeft;
}

bool IsRightEyeBase(const JobRecord& job) {
  return job.mode_3d == kModeHalfSbsRight || job.mode_3d == kModeHalfTabRight || job.mode_3d == kModeMvcRight;
}

bool HasForcedSubtitleWork(const JobRecord& job) {
  return job.subtitle_mode == kSubtitleKeptForced || job.subtitle_mode == kSubtitleForcedOnly;
}

}  // namespace dp
