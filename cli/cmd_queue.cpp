#include <cstdio>

#include "command.h"
#include "json_writer.h"
#include "queue/queue_store.h"
#include "queue/queue_view.h"
#include "queue_run.h"
#include "store_access.h"
#include "util/text.h"

namespace dp::cli {
namespace {

constexpr const char* kHelp =
    "  discpress-cli queue list [--json]\n"
    "  discpress-cli queue view\n"
    "  discpress-cli queue run [--all]\n"
    "  discpress-cli queue remove SLOT | queue up SLOT | queue down SLOT\n"
    "  discpress-cli queue clear\n";

int List(const JobSlots& jobs, bool json) {
  JsonWriter w;
  w.BeginArray();
  for (int i = 0; i < kQueueSlots; ++i) {
    const JobRecord& j = jobs[i];
    if (j.status == kStatusEmpty) continue;
    const std::string label(Trim(StatusLabel(j.status)));
    const std::string out(FieldText(j.output_path));
    if (json) {
      w.BeginObject().Field("slot", i).Field("status", j.status).Field("label", label);
      w.Field("output_path", out).EndObject();
    } else {
      std::printf("%d\t%d\t%s\t%s\n", i, j.status, label.c_str(), out.c_str());
    }
  }
  w.EndArray();
  if (json) std::printf("%s\n", w.str().c_str());
  return kOk;
}

int CmdQueue(const Args& all) {
  if (all.empty()) return Usage("queue");
  Args rest(all.begin() + 1, all.end());
  const std::string& verb = all[0];
  if (verb == "run" || verb == "remove" || verb == "up" || verb == "down" || verb == "clear") {
    // The lock is held until the command ends, a whole run included.
    const auto lock = LockStoreForChanges();
    if (!lock) return kFailed;
    // A store that cannot take changes at all is said before anything runs.
    if (!OpenUserStore(true)) return kFailed;
    const int code = QueueControlCommand(verb, rest);
    return StoreWriteFailed() ? kFailed : code;
  }
  if (verb != "list" && verb != "view") return Usage("queue");
  const bool json = verb == "list" && TakeFlag(rest, "--json");
  if (!rest.empty()) return Usage("queue");
  auto store = OpenUserStore();
  if (!store) return kFailed;
  JobQueue& queue = Jobs();
  LlegeixCuaRegistre(*store, queue);
  const JobSlots jobs = queue.Snapshot();
  if (verb == "list") return List(jobs, json);
  std::printf("%s", QueueViewText(BuildQueueView(jobs)).c_str());
  return kOk;
}

const RegisterCommand reg("queue", kHelp, CmdQueue);

}  // namespace
}  // namespace dp::cli
