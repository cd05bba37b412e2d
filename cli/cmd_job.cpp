#include <cmath>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "args.h"
#include "command.h"
#include "job_json.h"
#include "queue/job_fields.h"
#include "queue/queue_store.h"
#include "store_access.h"
#include "util/file_io.h"

namespace dp::cli {
namespace {

int Show(const JobRecord& job, bool json) {
  if (json) {
    std::printf("%s\n", JobJson(job).c_str());
    return kOk;
  }
  for (const auto& f : JobFields()) std::printf("%s\t%s\n", f.name, GetTextField(job, f).c_str());
  return kOk;
}

// A whole number that fits a record field: JSON has one kind of number, so
// 4500.0 is 4500.
bool WholeValue(const nlohmann::json& value, std::int64_t& out) {
  const double d = value.get<double>();
  if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) >= 4294967296.0) return false;
  out = static_cast<std::int64_t>(d);
  return true;
}

// A record from a JSON object of field names; fields not given stay zero.
bool RecordFromJson(const std::string& text, JobRecord& job, std::string& error) {
  nlohmann::json obj;
  try {
    obj = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& e) {
    error = e.what();
    return false;
  }
  if (!obj.is_object()) {
    error = "expected an object";
    return false;
  }
  job = EmptyJob();
  for (const auto& [name, value] : obj.items()) {
    const JobField* f = FindJobField(name);
    if (!f) {
      error = "no job field named \"" + name + "\"";
      return false;
    }
    if (f->kind == FieldKind::kText && value.is_string()) {
      SetTextField(job, *f, value.get_ref<const std::string&>());
      continue;
    }
    if (f->kind != FieldKind::kText && value.is_boolean()) {
      SetIntField(job, *f, value.get<bool>() ? 1 : 0);
      continue;
    }
    if (f->kind != FieldKind::kText && value.is_number()) {
      if (f->kind == FieldKind::kBool && value != 0 && value != 1) {
        error = "field \"" + name + "\" is a flag: 0, 1, true or false";
        return false;
      }
      std::int64_t number = 0;
      if (WholeValue(value, number)) {
        SetIntField(job, *f, number);
        continue;
      }
    }
    error = "field \"" + name + "\" has a value of the wrong kind";
    return false;
  }
  return true;
}

struct Input {
  int slot = 0;
  bool json = false;
  std::string out_file;
  std::string raw_file, json_file;
  CLI::Option* raw = nullptr;
};

int Put(const Input& in) {
  const bool raw = in.raw->count() > 0;
  const std::string& file = raw ? in.raw_file : in.json_file;
  const auto bytes = ReadWholeFile(file);
  if (!bytes) return Fail(kFailed, "cannot read " + file);
  JobRecord job;
  if (raw) {
    if (bytes->size() != kJobRecordSize)
      return Fail(kFailed,
                  "a record image is exactly 7496 bytes; this file has " + std::to_string(bytes->size()));
    job = JobFromImage(bytes->data());
  } else {
    std::string error;
    if (!RecordFromJson(*bytes, job, error)) return Fail(kFailed, file + ": " + error);
  }
  const auto lock = LockStoreForChanges();
  if (!lock) return kFailed;
  auto store = OpenUserStore(true);
  if (!store) return kFailed;
  JobQueue& queue = Jobs();
  LlegeixCuaRegistre(*store, queue);
  queue.Put(in.slot, job);
  return EscriuCuaRegistre(*store, queue) ? kOk : kFailed;  // the store has said why
}

// The record in the slot after the start-up load.
bool LoadJob(int slot, JobRecord& job) {
  auto store = OpenUserStore();
  if (!store) return false;
  JobQueue& queue = Jobs();
  LlegeixCuaRegistre(*store, queue);
  job = queue.Get(slot);
  return true;
}

int Get(const Input& in) {
  JobRecord job;
  if (!LoadJob(in.slot, job)) return kFailed;
  return WriteWholeFile(in.out_file, std::string_view(reinterpret_cast<const char*>(&job), sizeof job))
             ? kOk
             : Fail(kFailed, "cannot write " + in.out_file);
}

void Setup(CLI::App& group) {
  auto in = std::make_shared<Input>();
  CLI::App* show = group.add_subcommand("show", "every field of the record");
  CLI::App* get = group.add_subcommand("get", "the 7496-byte record image");
  CLI::App* put = group.add_subcommand("put", "put a record into the slot and store the queue");
  for (CLI::App* command : {show, get, put}) AddSlot(*command, in->slot);
  show->add_flag("--json", in->json, "one JSON object");
  get->add_option("--out", in->out_file, "the file to write")->type_name("FILE")->required();
  CLI::Option_group* source = put->add_option_group("record, one of");
  in->raw = source->add_option("--raw", in->raw_file, "a record image")->type_name("FILE");
  source->add_option("--json", in->json_file, "a JSON object of field names; fields not given are zero")
      ->type_name("FILE");
  source->require_option(1);
  OnRun(*show, [in] {
    JobRecord job;
    return LoadJob(in->slot, job) ? Show(job, in->json) : int{kFailed};
  });
  OnRun(*get, [in] { return Get(*in); });
  OnRun(*put, [in] { return Put(*in); });
}

const RegisterCommand reg("job", "one record of the queue", Setup);

}  // namespace
}  // namespace dp::cli
