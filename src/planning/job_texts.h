// The pop-up titles and texts of Add to Queue, word for word as the user
// sees them (the CLI prints them and its answers are matched against them).
#pragma once

namespace dp::job_text {

inline constexpr char kWarning[] = "WARNING";
inline constexpr char kSorry[] = "SORRY";
inline constexpr char kError[] = "ERROR";
inline constexpr char kTip[] = "TIP";
inline constexpr char kCannotAdd[] = "JOB CAN NOT BE ADDED";

inline constexpr char kQueueFull[] =
    "The queue is full.\n\nWait to complete some job or clean the completed jobs.";
inline constexpr char kRemux3d[] =
    "Can't be used \"Remux mode\" in 3D SBS/TAB conversions due it's necessary to recode the video.\n\n"
    "Please, select another output option or 2D+3D .ISO mode.";
inline constexpr char kMvcMedia[] =
    "Only BD Remux or BD-25 or BD9 media are supported in 2D+3D .ISO mode.\n\n"
    "Please, select supported target media or select 3D SBS/TAB modes.";
inline constexpr char kCrfLow3d[] =
    "CRF parameter is very low and the file size obtained can be very large. CRF recommended values are 17 "
    "to 25.\n\nWould you like to continue anyway?";
inline constexpr char kLossless[] =
    "The lossless mode can produce a larger file size than the source!!! Only makes sense to\nuse when "
    "source "
    "is ultra high quality (uncompressed video).\n\nIf you're making a backup of BLU-RAY you may want to "
    "create a BD Remux (untouched video).\n\nChoose the option you want:";
inline constexpr char kLosslessRemux[] = "BD Remux (recommended)";
inline constexpr char kLosslessKeep[] = "Lossless";
inline constexpr char kMkvRemuxTip[] =
    "We detected that the output format is MKV same as input.\n\nDo you want to remux only instead of "
    "recoding?";
inline constexpr char kRemuxOnly[] = "Remux only";
inline constexpr char kFullRecode[] = "Full Recode CRF";
inline constexpr char kCrfLow[] =
    "CRF parameter is very low and the file size obtained can be very large. CRF recommended values are 17 "
    "to 25.\n\nTIP: To keep the video untouched you can put CRF = 1 and the program will create a BD "
    "Remux.\n\nWould you like to continue anyway?";
inline constexpr char kCrfHigh[] =
    "CRF parameter is very high and the obtained video quality may be poor. CRF recommended values are 17 "
    "to 25.\n\nWould you like to continue anyway?";
inline constexpr char kCrfMax[] =
    "Maximum CRF allowed is 51. Please lower CRF value.\n\nCRF recommended values are 17 to 25.";
inline constexpr char kBitrateLow[] =
    "The bitrate is very low and the video quality may be poor. It is recommended to\nchoose a media of "
    "greater size or lower the audio bitrate.\n\nWould you like to continue anyway?";
inline constexpr char kResolution[] =
    "The video resolution should be 1080, 720, 576 or 480 to meet the specifications of "
    "Blu-Ray/AVCHD.\n\nWould you like to continue anyway?";
inline constexpr char kScanVideo[] =
    "It is recommended to scan the video source to calculate the exact bitrate\nand make sure it fits in "
    "the destination media.\n\nWould you like to scan the bitrates before proceeding?";
inline constexpr char kScanAudio[] =
    "The HD audio has a variable bitrate and is necessary to scan the source to calculate the exact "
    "bitrate.\n\nWould you like to scan the bitrates before proceeding?";
inline constexpr char kNoDotNet[] =
    "This conversion requires .NET Framework v4 but is NOT detected in the system.\n\nPlease, install it "
    "before continue.";
inline constexpr char kSubtitleFormat[] =
    "%s subtitles are not supported. Please select PGS or UTF-8 formats if available.";
inline constexpr char kScanForced[] =
    "You have marked the forced subtitles option but have not done scanning bit rates.\n\nDo you want to "
    "scan the source to find if exist forced subtitles?";
inline constexpr char kScanSubtitle[] =
    "The subs have a variable bitrate and is necessary to scan the source to calculate the exact bit "
    "rate.\n\nWould you like to scan the bit rates before proceeding?";
inline constexpr char kNoJava[] =
    "This conversion requires Java Runtime but is NOT detected in the system.\n\nPlease, install it before "
    "continue.";
inline constexpr char kNoAvisynth[] =
    "This conversion requires AviSynth v2.6.0 (32-bit) or AviSynth+ (32/64-bit) but is not detected in the "
    "system.\n\nPlease, INSTALL AviSynth before continue.";
inline constexpr char kOldAvisynth[] =
    "This conversion requires AviSynth version 2.6.0 (32-bit) or AviSynth+ (32/64-bit) but is detected OLD "
    "version %s.\n\nPlease, UPDATE AviSynth before continue.";
inline constexpr char kDamagedAvisynth[] =
    "This conversion requires AviSynth v2.6.0 (32-bit) or AviSynth+ (32/64-bit) but installation seems "
    "damaged (Avisynth.dll not found).\n\nPlease, REINSTALL AviSynth before continue.";

// Refusals of input no job can be made from.
inline constexpr char kNoSource[] = "No source is loaded. Open a source before adding a job.";
inline constexpr char kNoVideo[] = "The source has no video stream, so no job can be made from it.";
inline constexpr char kNoOutput[] = "The output field is empty. Choose where the job writes its output.";
inline constexpr char kOutputIsFile[] =
    "The output \"%s\" is an existing file, but this target writes a folder. Choose another output name.";
inline constexpr char kPathTooLong[] =
    "The path \"%s\" is longer than the %d bytes a job can hold. Choose a shorter path.";
inline constexpr char kNoBitrate[] =
    "The video bitrate has no value: the source's duration is unknown, so the size of the target cannot "
    "be planned. Choose a CRF or remux target, or another source.";
inline constexpr char kBadBitrate[] = "The video bitrate must be more than 0 kbps.";
inline constexpr char kBadCrf[] = "The CRF value cannot be negative. CRF recommended values are 17 to 25.";

}  // namespace dp::job_text
