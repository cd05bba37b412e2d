#include <cstdio>
#include <memory>
#include <string>

#include "args.h"
#include "command.h"
#include "json_text.h"
#include "queue/queue_store.h"
#include "queue/queue_view.h"
#include "queue_run.h"
#include "store_access.h"
#include "util/text.h"

namespace dp::cli {
namespace {

int List(const JobSlots& jobs, bool json) {
  Json list = Json::array();
  for (int i = 0; i < kQueueSlots; ++i) {
    const JobRecord& j = jobs[i];
    if (j.status == kStatusEmpty) continue;
    const std::string label(Trim(StatusLabel(j.status)));
    const std::string out(FieldText(j.output_path));
    if (json) {
      list.push_back({{"slot", i}, {"status", j.status}, {"label", label}, {"output_path", out}});
    } else {
      std::printf("%d\t%d\t%s\t%s\n", i, j.status, label.c_str(), out.c_str());
    }
  }
  if (json) std::printf("%s\n", JsonText(list).c_str());
  return kOk;
}

struct Input {
  bool json = false;
  bool all = false;
  int slot = -1;
};

// list and view read the queue at any time.
int Read(bool view, bool json) {
  auto store = OpenUserStore();
  if (!store) return kFailed;
  JobQueue& queue = Jobs();
  LlegeixCuaRegistre(*store, queue);
  const JobSlots jobs = queue.Snapshot();
  if (!view) return List(jobs, json);
  std::printf("%s", QueueViewText(BuildQueueView(jobs)).c_str());
  return kOk;
}

// The verbs that change the queue hold the lock until the command ends, a
// whole run included.
int Control(const std::string& verb, const Input& in) {
  const auto lock = LockStoreForChanges();
  if (!lock) return kFailed;
  // A store that cannot take changes at all is said before anything runs.
  if (!OpenUserStore(true)) return kFailed;
  const int code = QueueControlCommand(verb, in.slot, in.all);
  return StoreWriteFailed() ? kFailed : code;
}

void Setup(CLI::App& group) {
  auto in = std::make_shared<Input>();
  CLI::App* list = group.add_subcommand("list", "SLOT<TAB>STATUS<TAB>LABEL<TAB>output_path per job");
  list->add_flag("--json", in->json, "one JSON array");
  OnRun(*list, [in] { return Read(false, in->json); });
  OnRun(*group.add_subcommand("view", "the queue view's items as text"), [] { return Read(true, false); });
  CLI::App* run =
      group.add_subcommand("run", "start the queue and wait until it is idle; SIGINT or SIGTERM stops it");
  run->add_flag("--all", in->all, "run failed jobs again, as the Start button does");
  OnRun(*run, [in] { return Control("run", *in); });
  OnRun(*group.add_subcommand("clear", "Clear Completed"), [in] { return Control("clear", *in); });
  const struct {
    const char* verb;
    const char* description;
  } slot_verbs[] = {{"remove", "remove the job, as the context menu's Remove does"},
                    {"up", "move the job up one slot"},
                    {"down", "move the job down one slot"}};
  for (const auto& v : slot_verbs) {
    CLI::App* command = group.add_subcommand(v.verb, v.description);
    AddSlot(*command, in->slot);
    OnRun(*command, [in, verb = std::string(v.verb)] { return Control(verb, *in); });
  }
}

const RegisterCommand reg("queue", "the job queue", Setup);

}  // namespace
}  // namespace dp::cli
