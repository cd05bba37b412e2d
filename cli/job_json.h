// A job record as one JSON object of its field names, as `job show --json`
// and `add --json` print it.
#pragma once

#include <string>

#include "queue/job_record.h"

namespace dp::cli {

std::string JobJson(const JobRecord& job);

}  // namespace dp::cli
