#include "job_json.h"

#include "json_text.h"
#include "queue/job_fields.h"

namespace dp::cli {

std::string JobJson(const JobRecord& job) {
  Json fields = Json::object();
  for (const auto& f : JobFields()) {
    if (f.kind == FieldKind::kText)
      fields[f.name] = GetTextField(job, f);
    else
      fields[f.name] = GetIntField(job, f);
  }
  return JsonText(fields);
}

}  // namespace dp::cli
