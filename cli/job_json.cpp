#include "job_json.h"

#include "json_writer.h"
#include "queue/job_fields.h"

namespace dp::cli {

std::string JobJson(const JobRecord& job) {
  JsonWriter w;
  w.BeginObject();
  for (const auto& f : JobFields()) {
    if (f.kind == FieldKind::kText)
      w.Field(f.name, GetTextField(job, f));
    else
      w.Field(f.name, GetIntField(job, f));
  }
  w.EndObject();
  return w.str();
}

}  // namespace dp::cli
