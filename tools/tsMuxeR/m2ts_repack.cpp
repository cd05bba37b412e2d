#include "tsMuxeR/m2ts_repack.h"

#include <map>

#include "util/text.h"

namespace dp::tools {

bool RepackM2ts(const std::string& input, const std::string& output, const std::vector<M2tsStream>& streams,
                const M2tsSettings& settings, const std::function<void(double)>& progress,
                std::string& error) {
  TsReader reader;
  if (!reader.Open(input, error)) return false;
  M2tsWriter writer(streams, settings);
  if (!writer.Open(output)) {
    error = "Can't create \"" + output + "\".";
    return false;
  }
  std::map<unsigned, long long> count;
  Pes pes;
  while (reader.Next(pes, error)) {
    bool known = false;
    for (const M2tsStream& s : streams) known = known || s.pid == pes.pid;
    if (!known) {
      error = Format("The muxed stream holds an unexpected PID 0x%04x.", pes.pid);
      return false;
    }
    if (!writer.Write(pes)) {
      error = "Can't write \"" + output + "\".";
      return false;
    }
    ++count[pes.pid];
    if (reader.Size() > 0)
      progress(static_cast<double>(reader.Position()) / static_cast<double>(reader.Size()));
  }
  if (!error.empty()) return false;
  if (!writer.Close()) {
    error = "Can't write \"" + output + "\".";
    return false;
  }
  for (const M2tsStream& s : streams)
    if (count[s.pid] == 0 && s.stream_type != 0x90) {
      error = Format("No packet of the track on PID 0x%04x could be muxed.", s.pid);
      return false;
    }
  return true;
}

}  // namespace dp::tools
