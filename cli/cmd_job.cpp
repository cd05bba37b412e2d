#include <cmath>
#include <cstdio>

#include "command.h"
#include "job_json.h"
#include "json_reader.h"
#include "queue/job_fields.h"
#include "queue/queue_store.h"
#include "store_access.h"
#include "util/file_io.h"

namespace dp::cli {
namespace {

constexpr const char* kHelp =
    "  discpress-cli job show SLOT [--json]\n"
    "  discpress-cli job get SLOT --out FILE\n"
    "  discpress-cli job put SLOT (--raw FILE | --json FILE)\n";

bool ParseSlot(const std::string& text, int& slot) {
  long long v = 0;
  if (!ParseInt(text, v) || v < 0 || v >= kQueueSlots) return false;
  slot = static_cast<int>(v);
  return true;
}

int Show(const JobRecord& job, bool json) {
  if (json) {
    std::printf("%s\n", JobJson(job).c_str());
    return kOk;
  }
  for (const auto& f : JobFields()) std::printf("%s\t%s\n", f.name, GetTextField(job, f).c_str());
  return kOk;
}

// A record from a JSON object of field names; fields not given stay zero.
bool RecordFromJson(const std::string& text, JobRecord& job, std::string& error) {
  const auto obj = ParseFlatJsonObject(text, error);
  if (!obj) return false;
  job = EmptyJob();
  for (const auto& [name, value] : *obj) {
    const JobField* f = FindJobField(name);
    if (!f) {
      error = "no job field named \"" + name + "\"";
      return false;
    }
    if (f->kind == FieldKind::kText) {
      if (const auto* s = std::get_if<std::string>(&value)) {
        SetTextField(job, *f, *s);
        continue;
      }
    } else if (const auto* d = std::get_if<double>(&value)) {
      if (f->kind == FieldKind::kBool && *d != 0 && *d != 1) {
        error = "field \"" + name + "\" is a flag: 0, 1, true or false";
        return false;
      }
      if (std::isfinite(*d) && *d == std::trunc(*d) && std::fabs(*d) < 4294967296.0) {
        SetIntField(job, *f, static_cast<std::int64_t>(*d));
        continue;
      }
    } else if (const auto* b = std::get_if<bool>(&value)) {
      SetIntField(job, *f, *b ? 1 : 0);
      continue;
    }
    error = "field \"" + name + "\" has a value of the wrong kind";
    return false;
  }
  return true;
}

int Put(int slot, Args args) {
  std::string raw_file, json_file;
  bool missing = false;
  const bool raw = TakeOption(args, "--raw", raw_file, missing);
  const bool json = TakeOption(args, "--json", json_file, missing);
  if (missing || !args.empty() || raw == json) return Usage("job");
  const auto bytes = ReadWholeFile(raw ? raw_file : json_file);
  if (!bytes) return Fail(kFailed, "cannot read " + (raw ? raw_file : json_file));
  JobRecord job;
  if (raw) {
    if (bytes->size() != kJobRecordSize)
      return Fail(kFailed,
                  "a record image is exactly 7496 bytes; this file has " + std::to_string(bytes->size()));
    job = JobFromImage(bytes->data());
  } else {
    std::string error;
    if (!RecordFromJson(*bytes, job, error)) return Fail(kFailed, json_file + ": " + error);
  }
  const auto lock = LockStoreForChanges();
  if (!lock) return kFailed;
  auto store = OpenUserStore(true);
  if (!store) return kFailed;
  JobQueue& queue = Jobs();
  LlegeixCuaRegistre(*store, queue);
  queue.Put(slot, job);
  return EscriuCuaRegistre(*store, queue) ? kOk : kFailed;  // the store has said why
}

int CmdJob(const Args& all) {
  if (all.size() < 2) return Usage("job");
  int slot = 0;
  if (!ParseSlot(all[1], slot)) return Fail(kUsage, "SLOT is a number from 0 to 99");
  Args rest(all.begin() + 2, all.end());
  const std::string& verb = all[0];
  if (verb == "put") return Put(slot, rest);
  auto store = OpenUserStore();
  if (!store) return kFailed;
  JobQueue& queue = Jobs();
  LlegeixCuaRegistre(*store, queue);
  const JobRecord job = queue.Get(slot);
  if (verb == "show") {
    const bool json = TakeFlag(rest, "--json");
    if (!rest.empty()) return Usage("job");
    return Show(job, json);
  }
  if (verb == "get") {
    std::string out;
    bool missing = false;
    if (!TakeOption(rest, "--out", out, missing) || !rest.empty()) return Usage("job");
    return WriteWholeFile(out, std::string_view(reinterpret_cast<const char*>(&job), sizeof job))
               ? kOk
               : Fail(kFailed, "cannot write " + out);
  }
  return Usage("job");
}

const RegisterCommand reg("job", kHelp, CmdJob);

}  // namespace
}  // namespace dp::cli
