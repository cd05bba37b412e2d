// Add to Queue: the loaded source, the chosen streams, the target settings
// and the Advanced and 3D choices become one job record in a free queue slot,
// after every check and question. A question's "no" (or a dismissed pop-up)
// stops the add and leaves everything as it was; nothing is stored then.
#pragma once

#include "planning/env_checks.h"
#include "planning/target_panel.h"
#include "queue/job_queue.h"
#include "source/inventory.h"
#include "source/source_state.h"

namespace dp {

class Prompter;
struct Settings;

// The slot of the next job: the first empty slot at or after the last
// occupied one (holes before it are not reused); -1 when there is none.
int AddJob(const JobSlots& jobs);

// Warnings about AviSynth for the conversions that need it; never stops.
void CheckAvisynth(Prompter& prompter, const EnvProbe& probe);

enum class AddOutcome {
  kAdded,          // the job is in `slot`, status PENDING
  kStopped,        // a "no", a hard stop or a full queue: nothing stored
  kScanRequested,  // the user asked for the bitrate scan first: nothing stored
};

// Where the focus goes after the add.
enum class AddFocus { kNone, kTargetMedia, kVideoBitrate, kStartJobs };

struct AddResult {
  AddOutcome outcome = AddOutcome::kStopped;
  int slot = -1;
  AddFocus focus = AddFocus::kNone;
  JobRecord record{};  // the stored record when added
};

// CallAddJob's checks and the record, put into the queue when it passes. The
// caller stores the queue, refreshes its view and resets the source after
// kAdded (ResetSource keeps the advanced options).
AddResult CallAddJob(const Settings& settings, SourceState& source, const SourceInventory& inventory,
                     TargetPanel& panel, const AdvancedOptions& advanced, JobQueue& queue, Prompter& prompter,
                     const EnvProbe& probe);

}  // namespace dp
