#include "avs2yuv/script.h"

#include <vector>

#include "toolkit/files.h"
#include "util/text.h"

namespace dp::tools {
namespace {

// The arguments of the first call of `name(` in the text, split at commas
// outside quotes, quotes removed; false when there is no such call.
bool CallArguments(std::string_view text, std::string_view name, std::vector<std::string>& args) {
  args.clear();
  std::size_t at = IFind(text, std::string(name) + "(");
  if (at == npos) return false;
  std::string current;
  bool quoted = false;
  for (std::size_t i = at + name.size() + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && (c == ',' || c == ')')) {
      args.emplace_back(Trim(current));
      current.clear();
      if (c == ')') return true;
      continue;
    }
    current.push_back(c);
  }
  return false;
}

}  // namespace

bool ParseScript(std::string_view text, ScriptRecipe& out, std::string& error) {
  out = ScriptRecipe{};
  std::vector<std::string> args;
  if (!CallArguments(text, "MVCsource", args) || args.empty() || args[0].empty()) {
    error = "the script has no MVCsource call";
    return false;
  }
  out.base = LocalPath(args[0]);
  if (args.size() > 1 && !args[1].empty()) out.dependent = LocalPath(args[1]);
  if (args.size() > 2) out.frames = LeadingInt(args[2]);
  if (CallArguments(text, "Crop", args) && args.size() == 4) {
    out.crop = true;
    out.crop_left = LeadingInt(args[0]);
    out.crop_top = LeadingInt(args[1]);
    out.crop_right = LeadingInt(args[2]);
    out.crop_bottom = LeadingInt(args[3]);
  }
  if (CallArguments(text, "BicubicResize", args) && args.size() >= 2) {
    out.resize_width = LeadingInt(args[0]);
    out.resize_height = LeadingInt(args[1]);
  }
  if (IFind(text, "StackHorizontal(") != npos)
    out.stack = ScriptRecipe::kSideBySide;
  else if (IFind(text, "StackVertical(") != npos)
    out.stack = ScriptRecipe::kTopBottom;
  if (CallArguments(text, ".SupTitle", args) && !args.empty()) {
    out.subtitle = LocalPath(args[0]);
    for (const std::string& a : args)
      if (IStartsWith(a, "forcedOnly") && IFind(a, "true") != npos) out.forced_only = true;
  }
  return true;
}

std::string FilterGraph(const ScriptRecipe& r) {
  std::vector<std::string> steps;
  if (r.crop) {
    // AviSynth's Crop: a width or height of 0 or less counts from the far edge.
    const std::string w =
        r.crop_right <= 0 ? Format("iw-%d-%d", r.crop_left, -r.crop_right) : std::to_string(r.crop_right);
    const std::string h =
        r.crop_bottom <= 0 ? Format("ih-%d-%d", r.crop_top, -r.crop_bottom) : std::to_string(r.crop_bottom);
    steps.push_back(Format("crop=%s:%s:%d:%d", w.c_str(), h.c_str(), r.crop_left, r.crop_top));
  }
  if (r.resize_width > 0 && r.resize_height > 0)
    steps.push_back(Format("scale=%d:%d:flags=bicubic", r.resize_width, r.resize_height));
  std::string graph;
  std::string last = "[0:v]";
  if (!steps.empty()) {
    graph += last;
    for (std::size_t i = 0; i < steps.size(); ++i) graph += (i ? "," : "") + steps[i];
    graph += "[v0];";
    last = "[v0]";
  }
  if (!r.subtitle.empty()) {
    graph += last + "[1:s]overlay=eof_action=pass[v1];";
    last = "[v1]";
  }
  // Only the base view is decoded, so both eyes show it.
  if (r.stack == ScriptRecipe::kSideBySide)
    graph += last + "split[l][r];[l]scale=iw/2:ih[lh];[r]scale=iw/2:ih[rh];[lh][rh]hstack,setsar=1[out]";
  else if (r.stack == ScriptRecipe::kTopBottom)
    graph += last + "split[l][r];[l]scale=iw:ih/2[lh];[r]scale=iw:ih/2[rh];[lh][rh]vstack,setsar=1[out]";
  else
    graph += last + "null[out]";
  return graph;
}

}  // namespace dp::tools
