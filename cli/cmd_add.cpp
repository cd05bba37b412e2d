// discpress-cli add: opens a source as analyse does, makes the given choices
// on the target panel as a user would, prints what the panel then shows and,
// unless --dry-run, presses Add to Queue with the pop-ups answered from
// --answer, and stores the queue.
#include <cstdio>
#include <string>

#include "add_choices.h"
#include "command.h"
#include "job_json.h"
#include "planning/job_create.h"
#include "popup_answers.h"
#include "queue/queue_store.h"
#include "source_session.h"
#include "store_access.h"
#include "util/text.h"

namespace dp::cli {
namespace {

constexpr const char* kHelp =
    "  discpress-cli add SOURCE [--title N] [--hit N] [--scrape FORMAT] [--mode3d M] [--media I]\n"
    "                    [--audio I] [--subtitle I] [--target-audio V] [--target-subtitle V]\n"
    "                    [--rate N] [--preset NAME] [--output PATH] [--tune T] [--params TEXT]\n"
    "                    [--crop HEIGHT] [--resize-720p] [--nr N] [--answer TEXT]... [--dry-run] [--json]\n";

struct Request {
  OpenRequest open;
  std::optional<int> scrape;
  AddChoices choices;
  std::deque<std::string> answers;
  bool dry_run = false;
  bool json = false;
};

// "--name N" with N within [low, high] into `out`; false on a bad value.
bool IntOption(Args& args, std::string_view name, long long low, long long high, std::optional<int>& out,
               bool& missing) {
  std::string text;
  if (!TakeOption(args, name, text, missing)) return true;
  long long v = 0;
  if (!ParseInt(text, v) || v < low || v > high) {
    Fail(kUsage, Format("%.*s takes a number from %lld to %lld", static_cast<int>(name.size()), name.data(),
                        low, high));
    return false;
  }
  out = static_cast<int>(v);
  return true;
}

void TextOption(Args& args, std::string_view name, std::optional<std::string>& out, bool& missing) {
  std::string text;
  if (TakeOption(args, name, text, missing)) out = text;
}

// kOk, or the exit code of a wrong command line (the reason printed).
int Parse(const Args& in, Request& r) {
  Args args = in;
  bool missing = false;
  r.dry_run = TakeFlag(args, "--dry-run");
  r.json = TakeFlag(args, "--json");
  AddChoices& c = r.choices;
  c.resize_720p = TakeFlag(args, "--resize-720p");
  for (const std::string& a : TakeAll(args, "--answer", missing)) r.answers.push_back(a);
  for (const std::string& t : TakeAll(args, "--title", missing)) {
    long long n = 0;
    if (!ParseInt(t, n) || n < 1 || n > kTitleTableSize)
      return Fail(kUsage, "--title takes a list item number");
    r.open.titles.push_back(static_cast<int>(n));
  }
  for (const std::string& h : TakeAll(args, "--hit", missing)) {
    long long n = 0;
    if (!ParseInt(h, n) || n < 1 || n > 1000000) return Fail(kUsage, "--hit takes a hit number from 1");
    r.open.hits.push_back(static_cast<int>(n));
  }
  const bool numbers_ok = IntOption(args, "--scrape", 0, 5, r.scrape, missing) &&
                          IntOption(args, "--mode3d", 0, 10, c.mode_3d, missing) &&
                          IntOption(args, "--media", 0, kMediaCount - 1, c.media, missing) &&
                          IntOption(args, "--audio", 0, 1000, c.audio, missing) &&
                          IntOption(args, "--subtitle", 0, 1000, c.subtitle, missing) &&
                          IntOption(args, "--target-audio", 0, 100000, c.target_audio, missing) &&
                          IntOption(args, "--target-subtitle", 0, 100000, c.target_subtitle, missing) &&
                          IntOption(args, "--rate", 0, 100000, c.rate, missing) &&
                          IntOption(args, "--crop", 0, 1080, c.crop, missing) &&
                          IntOption(args, "--nr", 0, 2000, c.noise_reduction, missing);
  if (!numbers_ok) return kUsage;
  TextOption(args, "--preset", c.preset, missing);
  TextOption(args, "--output", c.output, missing);
  TextOption(args, "--tune", c.tune, missing);
  TextOption(args, "--params", c.params, missing);
  if (missing || args.size() != 1 || args[0].starts_with("--")) return Usage("add");
  r.open.source = args[0];
  if (c.mode_3d && *c.mode_3d != 0 && *c.mode_3d != 1 && *c.mode_3d != 3 && *c.mode_3d != 10)
    return Fail(kUsage, "--mode3d takes 0, 1, 3 or 10");
  if (c.preset && !IsPreset(*c.preset))
    return Fail(kUsage, "the preset ring has no item \"" + *c.preset + "\"");
  if (c.crop && !IsCropHeight(*c.crop))
    return Fail(kUsage, "--crop takes 0, 1040, 868, 816, 808, 804 or 800");
  return kOk;
}

// "label=value" per ring item, the chosen one ending in "*".
void PrintRing(const char* name, const std::vector<RingItem>& ring, int index) {
  std::printf("%s", name);
  for (std::size_t i = 0; i < ring.size(); ++i)
    std::printf("\t%s=%d%s", ring[i].label.c_str(), ring[i].value, static_cast<int>(i) == index ? "*" : "");
  std::printf("\n");
}

void PrintPanel(const TargetPanel& panel, const SourceState& state) {
  if (panel.has_value)
    std::printf("rate\t%d\n", panel.bitrate);
  else
    std::printf("rate\t\n");
  std::printf("rate_label\t%s\n", panel.bitrate_label.c_str());
  std::printf("verdict\t%s\n", panel.verdict.c_str());
  std::printf("verdict_colour\t0x%06X\n", static_cast<unsigned>(panel.verdict_colour));
  std::printf("untouched\t%d\n", state.video_untouched_choice ? 1 : 0);
  PrintRing("target_audio", panel.audio, panel.audio_index);
  PrintRing("target_subtitle", panel.subtitle, panel.subtitle_index);
  std::fflush(stdout);
}

// Add to Queue on the loaded source, then the queue stored.
int AddToQueue(const Request& r, const Settings& settings, SourceState& state,
               const SourceInventory& inventory, TargetPanel& panel, const AdvancedOptions& advanced) {
  auto store = OpenUserStore(true);
  if (!store) return kFailed;
  JobQueue& queue = Jobs();
  LlegeixCuaRegistre(*store, queue);
  AnsweredPopups popups(r.answers);
  const AddResult added =
      CallAddJob(settings, state, inventory, panel, advanced, queue, popups, SystemEnvProbe());
  // The queue in memory may hold the job; only the store counts.
  if (!popups.wrong_answer().empty())
    return Fail(kUsage, "\"" + popups.wrong_answer() + "\" is no button of that pop-up: nothing added");
  if (popups.unanswered()) return Fail(kNeedsChoice, "the pop-up above needs an --answer: nothing added");
  if (added.outcome == AddOutcome::kScanRequested)
    return Fail(kFailed, "the bitrate scan comes first (discpress-cli scan): nothing added");
  if (added.outcome != AddOutcome::kAdded) return Fail(kFailed, "nothing added");
  if (!EscriuCuaRegistre(*store, queue)) return kFailed;  // the store has said why
  if (r.json)
    std::printf("%s\n", JobJson(queue.Get(added.slot)).c_str());
  else
    std::printf("slot\t%d\n", added.slot);
  return StoreWriteFailed() ? kFailed : kOk;
}

int CmdAdd(const Args& args) {
  Request r;
  if (const int code = Parse(args, r); code != kOk) return code;
  // The lock is taken before anything is shown, so a refused add says so
  // alone; a dry run changes nothing and needs none.
  std::unique_ptr<InstanceLock> lock;
  if (!r.dry_run && !(lock = LockStoreForChanges())) return kFailed;

  Settings& settings = CurrentSettings();
  ReadSettingsQuietly(settings);
  if (r.scrape) settings.Scrape = *r.scrape;
  static SourceState state;  // large; one per process, as the window's
  SourceInventory& inventory = source_inventory;
  TargetPanel panel;
  panel.media = DefaultMediaItems();
  AdvancedOptions advanced;
  TargetPlanner planner(settings, state, inventory, panel, advanced);
  const auto apply_targets = [&planner](bool mvc) {
    planner.AplicaPreferencies(mvc);
    planner.ActualitzaTarjetAudio();
    planner.ActualitzaTarjetSubt();
    planner.CalculaBitrate(false);
  };
  if (const int code = OpenHeadless(r.open, settings, state, inventory, apply_targets); code != kOk)
    return code;
  const ChoiceContext ctx{settings, state, inventory, panel, advanced, planner};
  if (const int code = MakeChoices(r.choices, ctx); code != kOk) return code;
  PrintPanel(panel, state);
  if (r.dry_run) return kOk;
  return AddToQueue(r, settings, state, inventory, panel, advanced);
}

const RegisterCommand reg("add", kHelp, CmdAdd);

}  // namespace
}  // namespace dp::cli
