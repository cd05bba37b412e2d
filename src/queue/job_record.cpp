#include "queue/job_record.h"

#include <cstring>

namespace dp {

JobRecord EmptyJob() {
  JobRecord r;
  std::memset(&r, 0, sizeof r);
  return r;
}

bool IsRunningStatus(std::int32_t status) { return status >= kStatusEac3to && status <= kStatusMkvmerge; }

}  // namespace dp
