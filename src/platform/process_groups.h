// A record of the process groups this program starts (tools, feeders, the
// keep-awake helper), kept in a small file beside the store so that the next
// start ends whatever a killed run left behind before any job can start:
// a second encoder must never write the file an orphan still writes.
//
// Each group is held as its leader's pid and start time, together with the
// pid and start time of the program that started it: a reused pid is never
// taken for one of ours, and the groups of a program that still runs (the
// window while the command line runs a queue) are left alone. Several
// programs may share the file; every change is made under a lock on it.
#pragma once

#include <sys/types.h>

#include <filesystem>

namespace dp {

// The record's file name, beside the store.
inline constexpr const char* kGroupRecordName = "process_groups";

// Ends with SIGKILL every group in `file` whose program is gone and whose
// leader still runs (the same process, by its start time), forgets the
// groups of programs that are gone, and from now on records in `file` the
// groups this program starts. Returns how many groups it ended. An empty
// path only stops the recording.
int StartGroupRecord(const std::filesystem::path& file);

// Adds the group led by `leader`, which this program has just started, or
// forgets it once its leader is reaped. Nothing happens while no record is
// started.
void RecordGroup(pid_t leader);
void ForgetGroup(pid_t leader);

}  // namespace dp
