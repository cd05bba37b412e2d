// discpress-cli add: opens a source as analyse does, makes the given choices
// on the target panel as a user would, prints what the panel then shows and,
// unless --dry-run, presses Add to Queue with the pop-ups answered from
// --answer, and stores the queue.
#include <cstdio>
#include <memory>
#include <string>

#include "add_choices.h"
#include "args.h"
#include "command.h"
#include "job_json.h"
#include "planning/job_create.h"
#include "popup_answers.h"
#include "queue/queue_store.h"
#include "source_options.h"
#include "source_session.h"
#include "store_access.h"
#include "util/text.h"

namespace dp::cli {
namespace {

struct Request {
  OpenRequest open;
  std::optional<int> scrape;
  AddChoices choices;
  std::deque<std::string> answers;
  bool dry_run = false;
  bool json = false;
};

// A whole-number option from low to high into out.
void Number(CLI::App& command, const char* name, const char* type, long long low, long long high,
            std::optional<int>& out, const char* description) {
  command.add_option(name, out, description)->type_name(type)->transform(WholeNumber(low, high));
}

void Text(CLI::App& command, const char* name, const char* type, std::optional<std::string>& out,
          const char* description) {
  command.add_option(name, out, description)->type_name(type);
}

// The options in the order the window's controls are used.
void AddOptions(CLI::App& command, Request& r) {
  command.add_option("SOURCE", r.open.source, "a Blu-ray folder, .mpls, .m2ts or .mkv")->required();
  AddDialogAnswers(command, r.open);
  AddScrapeFormat(command, r.scrape);
  AddChoices& c = r.choices;
  command.add_option("--mode3d", c.mode_3d, "the 3D dialog's button: 0, 1, 3 or 10")
      ->type_name("M")
      ->transform(OneOf(k3DModes));
  Number(command, "--media", "I", 0, kMediaCount - 1, c.media, "the Target Media ring index");
  Number(command, "--audio", "I", 0, 1000, c.audio, "the source audio ring index");
  Number(command, "--subtitle", "I", 0, 1000, c.subtitle, "the source subtitle ring index");
  Number(command, "--target-audio", "V", 0, 100000, c.target_audio, "the Target Audio ring value");
  Number(command, "--target-subtitle", "V", 0, 100000, c.target_subtitle, "the Target Subtitle ring value");
  Number(command, "--rate", "N", 0, 100000, c.rate, "the Video Bitrate field");
  command.add_option("--preset", c.preset, "an x264 speed preset of the preset ring")
      ->type_name("NAME")
      ->check(CLI::Validator(
          [](std::string& name) -> std::string {
            return IsPreset(name) ? "" : "the preset ring has no item \"" + name + "\"";
          },
          ""));
  Text(command, "--output", "PATH", c.output, "the output field");
  Text(command, "--tune", "T", c.tune, "Advanced: the tune ring");
  Text(command, "--params", "TEXT", c.params, "Advanced: the extra encoder parameters");
  command.add_option("--crop", c.crop, "Advanced: the crop height")
      ->type_name("HEIGHT")
      ->transform(OneOf(kCropHeights));
  command.add_flag("--resize-720p", c.resize_720p, "Advanced: Resize to 720p");
  Number(command, "--nr", "N", 0, 2000, c.noise_reduction, "Advanced: the x265 noise reduction");
  // One answer per --answer: a label may be any word.
  command.add_option("--answer", r.answers, "the button that answers the next pop-up")
      ->type_name("TEXT")
      ->allow_extra_args(false);
  command.add_flag("--dry-run", r.dry_run, "print the panel and stop before Add to Queue");
  command.add_flag("--json", r.json, "the added record as one JSON object");
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

int Add(const Request& r) {
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

void Setup(CLI::App& command) {
  auto r = std::make_shared<Request>();
  AddOptions(command, *r);
  OnRun(command, [r] { return Add(*r); });
}

const RegisterCommand reg("add", "open a source, make choices on the target panel and add a job", Setup);

}  // namespace
}  // namespace dp::cli
