#include "pipeline/temp_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "pipeline/step_plan.h"
#include "pipeline/step_support.h"
#include "util/text.h"

namespace dp {
namespace {

// Without a folder the names would land in the root or the working folder;
// with a "/" in the output name they would reach outside the folder.
bool NamesStayInFolder(std::string_view temp_path, const JobRecord& job) {
  return !temp_path.empty() && FieldText(job.output_name).find('/') == npos;
}

// A link is moved as a link, even when its target is gone.
bool EntryExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string JobTag(int slot) { return Format(".job_%d", slot); }

std::string MovingTag(int from_slot, int to_slot) { return Format(".job_%dto%d", from_slot, to_slot); }

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

std::string TempFileBaseName(std::string_view output_name, std::string_view tag, std::string_view suffix) {
  std::string name(output_name);
  name += tag;
  name += suffix;
  return name;
}

std::string TempFileBaseName(std::string_view output_name, int slot, std::string_view suffix) {
  return TempFileBaseName(output_name, JobTag(slot), suffix);
}

std::string TempFileName(std::string_view temp_path, std::string_view output_name, int slot,
                         std::string_view suffix) {
  return JoinPath(temp_path, TempFileBaseName(output_name, slot, suffix));
}

std::string TempFileName(std::string_view temp_path, const JobRecord& job, int slot,
                         std::string_view suffix) {
  return TempFileName(temp_path, FieldText(job.output_name), slot, suffix);
}

std::string TsMuxerMetaName(std::string_view temp_path, int slot) {
  return TempFileName(temp_path, kTsMuxerMetaPrefix, slot, kSuffixMeta);
}

std::string_view VideoSuffix(std::string_view video_codec) {
  if (video_codec == "AVC") return kSuffixH264;
  if (video_codec == "VC-1") return kSuffixVc1;
  if (video_codec == "MPEG Video") return kSuffixM2v;
  return {};
}

std::string_view AudioSuffix(const JobRecord& job) {
  if (job.target_audio == kAudioFlac) return kSuffixFlac;
  if (RecodesAudio(job)) return kSuffixAc3;
  const std::string_view id = FieldText(job.audio_codec_id);
  if (id == "A_AC3") return job.audio_untouched_hd ? kSuffixTrueHdAc3 : kSuffixAc3;
  if (id == "A_DTS") return job.audio_untouched_hd ? kSuffixDtsHd : kSuffixDts;
  if (id == "A_LPCM") return kSuffixWav;
  if (id == "A_EAC3") return kSuffixEac3;
  if (id == "A_FLAC") return kSuffixFlac;
  if (id == "A_MPEG/L2") return kSuffixMp2;
  if (id == "A_AAC") return kSuffixAac;
  return {};
}

std::string_view SubtitleSuffix(std::string_view subtitle_codec_id) {
  return subtitle_codec_id == "S_TEXT/UTF8" ? kSuffixSrt : kSuffixSup;
}

bool DemuxInPlan(const JobRecord& job) { return DemuxRuns(job); }

std::vector<std::string> TemporaryFileNames(const JobRecord& job, int slot, bool save_x264_log) {
  return TemporaryFileNames(job, JobTag(slot), save_x264_log);
}

std::vector<std::string> TemporaryFileNames(const JobRecord& job, std::string_view tag, bool save_x264_log) {
  const std::string_view output_name = FieldText(job.output_name);
  const bool mkv = job.target_media == kMediaMkvCrf;
  const bool mvc = IsMvc(job);
  const bool encoded = !CopiesVideo(job);
  const std::string_view subtitle_suffix = SubtitleSuffix(FieldText(job.subtitle_codec_id));

  std::vector<std::string_view> suffixes;
  if (job.mode_3d != kMode2d) {
    suffixes.insert(suffixes.end(), {kSuffixBaseView, kSuffixDependentView});
    if (!mvc) suffixes.push_back(kSuffixAvs);
  }
  if (job.join_playlist != 0 || job.use_x265 || (mkv && !encoded) || (InterlacedAvc(job) && encoded))
    suffixes.push_back(VideoSuffix(FieldText(job.video_codec)));
  if (RecodesAudio(job) || job.join_playlist != 0 || mkv || job.source_is_mkv || mvc)
    suffixes.push_back(AudioSuffix(job));
  if (HasForcedSubtitleWork(job) || job.join_playlist != 0 || mkv || job.source_is_mkv ||
      job.resize_720p == kResize720WithPgs ||
      (job.mode_3d != kMode2d && job.subtitle_mode != kSubtitleNone)) {
    suffixes.push_back(subtitle_suffix);
    if (HasForcedSubtitleWork(job) && (job.mode_3d == kMode2d || mvc))
      suffixes.insert(suffixes.end(), {kSuffixForcedSup, kSuffixForcedSupLock});
    if (job.resize_720p == kResize720WithPgs)
      suffixes.insert(suffixes.end(), {kSuffixResizedSup, kSuffixResizedSupLock});
  }
  if (mkv) {
    suffixes.push_back(kSuffixChapters);
    if ((job.resize_720p != kResizeNone || job.crop_height != 0) && IsPgs(job))
      suffixes.insert(suffixes.end(), {kSuffixResizedSup, kSuffixResizedSupLock});
    if (job.use_x265 && (job.crop_height != 0 || job.resize_720p != kResizeNone))
      suffixes.push_back(kSuffixAvs);
  }
  if (DemuxInPlan(job)) suffixes.insert(suffixes.end(), {kSuffixEac3toLog, kSuffixDemuxLock});

  std::vector<std::string> names;
  for (const std::string_view suffix : suffixes) names.push_back(TempFileBaseName(output_name, tag, suffix));

  const bool two_pass = job.target_media != kMediaAvchdCrf && !mkv && !mvc;
  if (encoded) {
    names.push_back(TempFileBaseName(output_name, tag, job.use_x265 ? kSuffix265 : kSuffix264));
    if (!job.use_x265) names.push_back(TempFileBaseName(output_name, tag, kSuffixIndex));
    names.push_back(TempFileBaseName(output_name, tag, kSuffixQpfile));
    names.push_back(TempFileBaseName(output_name, tag, job.use_x265 ? kSuffix265Lock : kSuffix264Lock));
    if (two_pass) {
      // x264 keeps its macroblock-tree and temporary statistics beside the
      // ".stats" file under names made by appending to it.
      const std::string stats = TempFileBaseName(output_name, tag, kSuffixStats);
      names.push_back(stats);
      names.push_back(stats + std::string(kSuffixMbtree));
      names.push_back(stats + std::string(kSuffixMbtree) + std::string(kSuffixTemp));
      names.push_back(TempFileBaseName(output_name, tag, kSuffixStatsTemp));
    }
  }
  if (!mkv) names.push_back(TempFileBaseName(kTsMuxerMetaPrefix, tag, kSuffixMeta));
  if (!save_x264_log && encoded) {
    if (mvc) {
      names.push_back(TempFileBaseName(output_name, tag, kSuffixMvcencLog));
    } else if (job.target_media == kMediaAvchdCrf || mkv) {
      names.push_back(TempFileBaseName(output_name, tag, job.use_x265 ? kSuffixX265Log : kSuffixX264Log));
    } else {
      names.push_back(TempFileBaseName(output_name, tag, kSuffixX264Pass1Log));
      names.push_back(TempFileBaseName(output_name, tag, kSuffixX264Pass2Log));
    }
  }

  // Several rules can name the same file; each is listed once.
  std::vector<std::string> unique;
  for (std::string& name : names)
    if (std::find(unique.begin(), unique.end(), name) == unique.end()) unique.push_back(std::move(name));
  return unique;
}

int BorraTemporals(std::string_view temp_path, const JobRecord& job, int slot, bool force,
                   const CleanupSettings& settings) {
  if (!force && settings.debug_mode) return 0;
  if (!NamesStayInFolder(temp_path, job)) return 0;
  int removed = 0;
  for (const std::string& name : TemporaryFileNames(job, slot, settings.save_x264_log)) {
    // unlink never removes a folder, and a symbolic link goes, not its target.
    if (::unlink(JoinPath(temp_path, name).c_str()) == 0) ++removed;
  }
  return removed;
}

int RenameTemporaries(std::string_view temp_path, const JobRecord& job, std::string_view from_tag,
                      std::string_view to_tag) {
  if (!NamesStayInFolder(temp_path, job)) return 0;
  const std::vector<std::string> from = TemporaryFileNames(job, from_tag, false);
  const std::vector<std::string> to = TemporaryFileNames(job, to_tag, false);
  int renamed = 0;
  for (std::size_t i = 0; i < from.size() && i < to.size(); ++i) {
    const std::string source = JoinPath(temp_path, from[i]);
    const std::string target = JoinPath(temp_path, to[i]);
    if (EntryExists(source)) {
      if (::rename(source.c_str(), target.c_str()) == 0) ++renamed;
    } else {
      ::unlink(target.c_str());
    }
  }
  return renamed;
}

void SwapTemporaries(std::string_view temp_path, const JobRecord& first, int first_slot,
                     const JobRecord& second, int second_slot, const std::function<void()>& store_order) {
  const bool has_first = first.status != kStatusEmpty;
  const bool has_second = second.status != kStatusEmpty;
  const std::string first_moving = MovingTag(first_slot, second_slot);
  const std::string second_moving = MovingTag(second_slot, first_slot);
  if (has_first) RenameTemporaries(temp_path, first, JobTag(first_slot), first_moving);
  if (has_second) RenameTemporaries(temp_path, second, JobTag(second_slot), second_moving);
  if (store_order) store_order();
  if (has_first) RenameTemporaries(temp_path, first, first_moving, JobTag(second_slot));
  if (has_second) RenameTemporaries(temp_path, second, second_moving, JobTag(first_slot));
}

}  // namespace dp
