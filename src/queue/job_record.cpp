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

}  // namespace dp
