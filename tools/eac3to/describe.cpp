#include "eac3to/describe.h"

#include <cmath>
#include <cstring>

#include "util/text.h"
#include "util/time.h"

namespace dp::tools {
namespace {

struct LanguageEntry {
  const char* code;
  const char* name;
};

constexpr LanguageEntry kLanguages[] = {
    {"eng", "English"},    {"ger", "German"},    {"deu", "German"},    {"fre", "French"},
    {"fra", "French"},     {"spa", "Spanish"},   {"ita", "Italian"},   {"jpn", "Japanese"},
    {"chi", "Chinese"},    {"zho", "Chinese"},   {"kor", "Korean"},    {"rus", "Russian"},
    {"por", "Portuguese"}, {"dut", "Dutch"},     {"nld", "Dutch"},     {"swe", "Swedish"},
    {"nor", "Norwegian"},  {"dan", "Danish"},    {"fin", "Finnish"},   {"pol", "Polish"},
    {"cze", "Czech"},      {"ces", "Czech"},     {"hun", "Hungarian"}, {"tur", "Turkish"},
    {"gre", "Greek"},      {"ell", "Greek"},     {"heb", "Hebrew"},    {"ara", "Arabic"},
    {"hin", "Hindi"},      {"tha", "Thai"},      {"cat", "Catalan"},   {"ice", "Icelandic"},
    {"isl", "Icelandic"},  {"ukr", "Ukrainian"}, {"rum", "Romanian"},  {"ron", "Romanian"},
    {"bul", "Bulgarian"},  {"hrv", "Croatian"},  {"slv", "Slovenian"}, {"slo", "Slovak"},
    {"slk", "Slovak"},     {"est", "Estonian"},  {"lav", "Latvian"},   {"lit", "Lithuanian"},
    {"ind", "Indonesian"}, {"may", "Malay"},     {"msa", "Malay"},     {"vie", "Vietnamese"},
    {"per", "Persian"},    {"fas", "Persian"},
};

// "5.1 channels" from the channel count and whether the layout names an LFE.
std::string ChannelsText(const StreamInfo& s) {
  // "5.1(side)", "6.1", "7.1(wide)": a layout with ".1" carries an LFE.
  const bool lfe = IFind(s.layout, ".1") != npos || IFind(s.layout, "LFE") != npos;
  const int main = lfe ? s.channels - 1 : s.channels;
  return Format("%d.%d channels", main < 0 ? 0 : main, lfe ? 1 : 0);
}

std::string ShortChannelsText(const StreamInfo& s) {
  if (s.channels == 1) return "mono";
  if (s.channels == 2) return "stereo";
  return "multi-channel";
}

std::string SampleRateText(int rate) {
  if (rate % 1000 == 0) return Format("%dkHz", rate / 1000);
  return Format("%.1fkHz", rate / 1000.0);
}

std::string KbpsText(const StreamInfo& s, int fallback) {
  const long long kbps = s.bit_rate > 0 ? s.bit_rate / 1000 : fallback;
  return kbps > 0 ? Format("%lldkbps", kbps) : std::string();
}

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    if (!out.empty()) out += ", ";
    out += p;
  }
  return out;
}

std::string VideoCodecText(const std::string& codec) {
  if (codec == "h264") return "h264/AVC";
  if (codec == "hevc") return "h265/HEVC";
  if (codec == "vc1") return "VC-1";
  if (codec == "mpeg2video") return "MPEG2";
  if (codec == "mpeg1video") return "MPEG1";
  return AsciiLowerCopy(codec);
}

bool Interlaced(const StreamInfo& s) {
  return !s.field_order.empty() && s.field_order != "progressive" && s.field_order != "unknown";
}

std::string Plural(int n, const char* what) { return Format("%d %s track%s", n, what, n == 1 ? "" : "s"); }

}  // namespace

std::string LanguageName(const std::string& code) {
  for (const LanguageEntry& e : kLanguages)
    if (IEquals(code, e.code)) return e.name;
  return "";
}

std::string RateText(const StreamInfo& v) {
  if (v.rate_num <= 0 || v.rate_den <= 0) return "";
  const int factor = Interlaced(v) ? 2 : 1;
  if (v.rate_den == 1001) return Format("%ld /1.001", std::lround(v.rate_num * factor / 1000.0));
  if (v.rate_num % v.rate_den == 0) return Format("%d", v.rate_num / v.rate_den * factor);
  return Format("%.3f", static_cast<double>(v.rate_num) * factor / v.rate_den);
}

std::vector<std::string> DescribeStream(const StreamInfo& s, bool detail, bool m2ts, bool right_eye) {
  const std::string lang = LanguageName(s.language);
  if (s.type == "video") {
    std::string text = VideoCodecText(s.codec);
    if (right_eye) text = "h264/MVC";
    if (s.height > 0) text += Format(", %d%c%s", s.height, Interlaced(s) ? 'i' : 'p', RateText(s).c_str());
    if (!s.aspect.empty() && s.aspect != "0:1") text += " (" + s.aspect + ")";
    if (detail && s.bits > 8) text += Format(", %d bits", s.bits);
    if (right_eye) text += " (right eye)";
    return {text};
  }
  if (s.type == "subtitle") {
    std::string kind = "PGS";
    if (s.codec == "subrip" || s.codec == "text")
      kind = "SRT";
    else if (s.codec == "ass" || s.codec == "ssa")
      kind = "ASS";
    else if (s.codec == "dvd_subtitle")
      kind = "VobSub";
    else if (s.codec != "hdmv_pgs_subtitle")
      kind = s.codec;
    return {Join({"Subtitle (" + kind + ")", lang})};
  }
  if (s.type != "audio") return {Join({s.type, s.codec})};

  const std::string channels = detail ? ChannelsText(s) : ShortChannelsText(s);
  const std::string rate = SampleRateText(s.sample_rate);
  const std::string bits = detail && s.bits > 16 ? Format("%d bits", s.bits) : std::string();
  if (s.codec == "truehd") {
    if (!m2ts) return {Join({"TrueHD", lang, channels, bits, rate})};
    std::vector<std::string> out = {Join({"TrueHD/AC3", lang, channels, bits, rate})};
    if (detail)
      out.push_back("   (embedded: AC3, " +
                    Join({s.channels >= 6 ? "5.1 channels" : channels, "640kbps", "48kHz"}) + ")");
    return out;
  }
  if (s.codec == "dts") {
    const bool ma = IFind(s.profile, "MA") != npos;
    const bool hra = IFind(s.profile, "HRA") != npos || IFind(s.profile, "HR") != npos;
    if (!ma && !hra) return {Join({"DTS", lang, channels, detail ? KbpsText(s, 1509) : "", rate})};
    std::vector<std::string> out = {
        Join({ma ? "DTS Master Audio" : "DTS Hi-Res", lang, channels, bits, rate})};
    // ffprobe gives the whole track's rate, or the core header's 1536
    // kbps, for what discs carry as a 1509 kbps core.
    const long long core_kbps = s.bit_rate > 0 && s.bit_rate < 1536000 ? s.bit_rate / 1000 : 1509;
    if (detail)
      out.push_back("   (core: " + Join({"DTS", channels, Format("%lldkbps", core_kbps), "48kHz"}) + ")");
    return out;
  }
  std::string name;
  if (s.codec == "ac3")
    name = "AC3";
  else if (s.codec == "eac3")
    name = "E-AC3";
  else if (s.codec == "flac")
    name = "FLAC";
  else if (s.codec == "aac")
    name = "AAC";
  else if (s.codec == "mp2")
    name = "MP2";
  else if (s.codec == "mp3")
    name = "MP3";
  else if (s.codec.starts_with("pcm_"))
    name = "LPCM";
  else
    name = s.codec;
  const bool lossy = name != "FLAC" && name != "LPCM";
  return {Join({name, lang, channels, detail && lossy ? KbpsText(s, 0) : "", bits, rate})};
}

std::string DescribeContainer(const std::string& container, const std::vector<StreamInfo>& streams,
                              double duration) {
  int video = 0, audio = 0, subtitle = 0;
  const StreamInfo* first_video = nullptr;
  for (const StreamInfo& s : streams) {
    if (s.type == "video") {
      if (!first_video) first_video = &s;
      ++video;
    } else if (s.type == "audio") {
      ++audio;
    } else if (s.type == "subtitle") {
      ++subtitle;
    }
  }
  std::vector<std::string> parts = {container};
  if (video) parts.push_back(Plural(video, "video"));
  if (audio) parts.push_back(Plural(audio, "audio"));
  if (subtitle) parts.push_back(Plural(subtitle, "subtitle"));
  parts.push_back(Seconds_To_HHMMSS(duration));
  if (first_video && !RateText(*first_video).empty()) {
    // "24p /1.001": the scan letter goes between the number and its divisor.
    std::string rate = RateText(*first_video);
    const std::size_t blank = rate.find(' ');
    rate.insert(blank == std::string::npos ? rate.size() : blank, Interlaced(*first_video) ? "i" : "p");
    parts.push_back(rate);
  }
  return Join(parts);
}

}  // namespace dp::tools
