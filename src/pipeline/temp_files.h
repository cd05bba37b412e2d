// Names of a job's temporary files and their clean-up. Every intermediate
// file lives directly in the temporary folder and is named output_name + job
// tag (".job_<slot>") + suffix, so files of different slots never collide and
// the clean-up can rebuild every name from the record alone.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "queue/job_record.h"

namespace dp {

inline constexpr std::string_view kSuffixEac3toLog = ".eac3to_log.txt";
inline constexpr std::string_view kSuffixH264 = ".h264";
inline constexpr std::string_view kSuffixVc1 = ".vc1";
inline constexpr std::string_view kSuffixM2v = ".m2v";
inline constexpr std::string_view kSuffixBaseView = ".avc.h264";
inline constexpr std::string_view kSuffixDependentView = ".mvc.h264";
inline constexpr std::string_view kSuffixAc3 = ".ac3";
inline constexpr std::string_view kSuffixTrueHdAc3 = ".thd+ac3";
inline constexpr std::string_view kSuffixDts = ".dts";
inline constexpr std::string_view kSuffixDtsHd = ".dtshd";
inline constexpr std::string_view kSuffixWav = ".wav";
inline constexpr std::string_view kSuffixEac3 = ".eac3";
inline constexpr std::string_view kSuffixFlac = ".flac";
inline constexpr std::string_view kSuffixMp2 = ".mp2";
inline constexpr std::string_view kSuffixAac = ".aac";
inline constexpr std::string_view kSuffixSup = ".sup";
inline constexpr std::string_view kSuffixSrt = ".srt";
inline constexpr std::string_view kSuffixForcedSup = ".forced.sup";
inline constexpr std::string_view kSuffixResizedSup = ".resized.sup";
// Lock files: made before a step writes its output and removed when it
// ended; an output found with its lock is the trace of a run that died.
inline constexpr std::string_view kSuffixDemuxLock = ".eac3to.lock";
inline constexpr std::string_view kSuffixForcedSupLock = ".forced.sup.lock";
inline constexpr std::string_view kSuffixResizedSupLock = ".resized.sup.lock";
inline constexpr std::string_view kSuffixQpfile = ".qpfile";
inline constexpr std::string_view kSuffixAvs = ".avs";
inline constexpr std::string_view kSuffix264 = ".264";
inline constexpr std::string_view kSuffix265 = ".265";
inline constexpr std::string_view kSuffix264Lock = ".264.lock";
inline constexpr std::string_view kSuffix265Lock = ".265.lock";
inline constexpr std::string_view kSuffixStats = ".stats";
inline constexpr std::string_view kSuffixStatsTemp = ".stats.temp";
inline constexpr std::string_view kSuffixMbtree = ".mbtree";
inline constexpr std::string_view kSuffixTemp = ".temp";
inline constexpr std::string_view kSuffixIndex = ".index";
inline constexpr std::string_view kSuffixMvcencLog = ".MVCenc_log.txt";
inline constexpr std::string_view kSuffixX264Pass1Log = ".x264_pass1_log.txt";
inline constexpr std::string_view kSuffixX264Pass2Log = ".x264_pass2_log.txt";
inline constexpr std::string_view kSuffixX264Log = ".x264_log.txt";
inline constexpr std::string_view kSuffixX265Log = ".x265_log.txt";
inline constexpr std::string_view kSuffixMeta = ".meta";
inline constexpr std::string_view kSuffixChapters = ".chapters.txt";
inline constexpr std::string_view kTsMuxerMetaPrefix = "tsmuxer";

// ".job_<slot>".
std::string JobTag(int slot);
// The tag of a job's files while they move from one slot to another
// (".job_<from>to<to>"): never a slot's own tag, and not the same for the
// two jobs of a swap.
std::string MovingTag(int from_slot, int to_slot);
// folder + "/" + name; no second "/" when the folder already ends in one.
std::string JoinPath(std::string_view folder, std::string_view name);

// output_name + job tag + suffix, without the folder.
std::string TempFileBaseName(std::string_view output_name, int slot, std::string_view suffix);
std::string TempFileBaseName(std::string_view output_name, std::string_view tag, std::string_view suffix);
// The full name in the temporary folder.
std::string TempFileName(std::string_view temp_path, std::string_view output_name, int slot,
                         std::string_view suffix);
std::string TempFileName(std::string_view temp_path, const JobRecord& job, int slot, std::string_view suffix);
// The tsMuxeR control file: "tsmuxer" + job tag + ".meta" in the temporary folder.
std::string TsMuxerMetaName(std::string_view temp_path, int slot);

// Suffix of the demuxed 2D video by `video_codec` ("AVC", "VC-1",
// "MPEG Video"); empty (the bare base name) for any other codec.
std::string_view VideoSuffix(std::string_view video_codec);
// Suffix of the demuxed audio: by `target_audio` when it is recoded, else by
// `audio_codec_id` and `audio_untouched_hd`; empty for an unknown id.
std::string_view AudioSuffix(const JobRecord& job);
// ".srt" for "S_TEXT/UTF8", ".sup" for anything else.
std::string_view SubtitleSuffix(std::string_view subtitle_codec_id);

// The demux step is part of the job's plan (the step plan's DemuxRuns).
bool DemuxInPlan(const JobRecord& job);

// Every file name (without the folder) the pipeline may have produced for
// the job in `slot`, each once, in clean-up order. The encoder logs are
// left out when `save_x264_log` is set.
std::vector<std::string> TemporaryFileNames(const JobRecord& job, int slot, bool save_x264_log);
// The same names under any tag (a slot's or a moving one).
std::vector<std::string> TemporaryFileNames(const JobRecord& job, std::string_view tag, bool save_x264_log);

struct CleanupSettings {
  bool debug_mode = false;     // keep temporaries for inspection unless forced
  bool save_x264_log = false;  // the `SaveX264Log` setting
};

// Deletes the job's temporary files from `temp_path` (`BorraTemporals`).
// With force false nothing happens while debug mode is on. Only the named
// files directly inside the folder are removed; missing files are not an
// error, folders are never removed, and an empty folder setting or an
// output name that is not a plain file name deletes nothing. Returns the
// number of files removed.
int BorraTemporals(std::string_view temp_path, const JobRecord& job, int slot, bool force,
                   const CleanupSettings& settings);

// Renames every temporary file of the job (encoder logs included) from one
// tag to another. A name the job has no file for under `from_tag` is
// removed under `to_tag`, so that nothing left there can pass for the job's
// own work. Same folder rules as BorraTemporals. Returns the files renamed.
int RenameTemporaries(std::string_view temp_path, const JobRecord& job, std::string_view from_tag,
                      std::string_view to_tag);

// After the records of two slots were swapped: `first` moved from
// first_slot to second_slot, `second` the other way (an empty record has
// no files). Both jobs' files first go to moving tags, then `store_order`
// stores the new order, then they take their new slots' tags: a crash at
// any point leaves each file under its own job's tag or under a tag no job
// reads, never under the other job's.
void SwapTemporaries(std::string_view temp_path, const JobRecord& first, int first_slot,
                     const JobRecord& second, int second_slot, const std::function<void()>& store_order);

}  // namespace dp
