// Every field of the job record by name, for showing and editing a record
// field by field (discpress-cli job show / put --json).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "queue/job_record.h"

namespace dp {

enum class FieldKind { kInt32, kInt8, kUInt8, kBool, kText };

struct JobField {
  const char* name;
  std::size_t offset;
  std::size_t size;
  FieldKind kind;
};

std::span<const JobField> JobFields();
const JobField* FindJobField(std::string_view name);

std::int64_t GetIntField(const JobRecord& job, const JobField& field);
std::string GetTextField(const JobRecord& job, const JobField& field);
// Numbers are kept to the field's width as a C assignment would; a flag
// becomes 0 or 1.
void SetIntField(JobRecord& job, const JobField& field, std::int64_t value);
// Cut to the buffer at a UTF-8 boundary, the rest zeroed.
void SetTextField(JobRecord& job, const JobField& field, std::string_view text);

}  // namespace dp
