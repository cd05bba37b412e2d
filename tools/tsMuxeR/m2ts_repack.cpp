#include "tsMuxeR/m2ts_repack.h"

#include <map>
#include <memory>

#include "toolkit/files.h"

#include "util/text.h"

namespace dp::tools {
namespace {

void PutTimestamp(std::vector<std::uint8_t>& b, unsigned prefix, std::int64_t ts) {
  b.push_back(static_cast<std::uint8_t>((prefix << 4) | ((ts >> 29) & 0x0E) | 1));
  b.push_back(static_cast<std::uint8_t>(ts >> 22));
  b.push_back(static_cast<std::uint8_t>(((ts >> 14) & 0xFE) | 1));
  b.push_back(static_cast<std::uint8_t>(ts >> 7));
  b.push_back(static_cast<std::uint8_t>(((ts << 1) & 0xFE) | 1));
}

// The dependent view's access unit that pairs with the base view picture
// `base`: a video PES with the same PTS and DTS.
Pes DependentPes(const Pes& base, const DependentView& view, std::size_t unit) {
  Pes pes;
  pes.pid = view.stream.pid;
  pes.pts = base.pts;
  pes.dts = base.dts;
  pes.random_access = base.random_access;
  const std::vector<std::uint8_t> payload = AnnexB(view.data, (*view.units)[unit]);
  const bool dts = base.dts != base.pts;
  std::vector<std::uint8_t>& b = pes.bytes;
  b = {0,
       0,
       1,
       0xE0,
       0,
       0,
       0x80,
       static_cast<std::uint8_t>(dts ? 0xC0 : 0x80),
       static_cast<std::uint8_t>(dts ? 10 : 5)};
  PutTimestamp(b, dts ? 3 : 2, base.pts);
  if (dts) PutTimestamp(b, 1, base.dts);
  const std::size_t length = b.size() - 6 + payload.size();
  if (length <= 0xFFFF) SetBe16(&b[4], static_cast<unsigned>(length));  // else unbounded, as video may be
  b.insert(b.end(), payload.begin(), payload.end());
  return pes;
}

}  // namespace

bool RepackM2ts(const std::string& input, const std::string& output, const std::vector<M2tsStream>& streams,
                const M2tsSettings& settings, const std::function<void(double)>& progress, std::string& error,
                M2tsInfo& info, const DependentView* dependent, M2tsInfo* dependent_info) {
  TsReader reader;
  if (!reader.Open(input, error)) return false;
  M2tsWriter writer(streams, settings);
  if (!writer.Open(output)) {
    error = "Can't create \"" + output + "\".";
    return false;
  }
  std::unique_ptr<M2tsWriter> dependent_writer;
  if (dependent) {
    dependent_writer = std::make_unique<M2tsWriter>(std::vector<M2tsStream>{dependent->stream}, settings);
    if (!dependent_writer->Open(dependent->output)) {
      error = "Can't create \"" + dependent->output + "\".";
      return false;
    }
  }
  std::size_t pictures = 0;
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
    if (dependent && pes.pid == dependent->base_pid) {
      if (pictures < dependent->units->size() &&
          !dependent_writer->Write(DependentPes(pes, *dependent, pictures))) {
        error = "Can't write \"" + dependent->output + "\".";
        return false;
      }
      ++pictures;
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
  if (dependent) {
    if (!dependent_writer->Close()) {
      error = "Can't write \"" + dependent->output + "\".";
      return false;
    }
    if (pictures != dependent->units->size()) {
      error = Format("The dependent view has %zu pictures, the base view %zu.", dependent->units->size(),
                     pictures);
      return false;
    }
  }
  for (const M2tsStream& s : streams)
    if (count[s.pid] == 0 && s.stream_type != 0x90) {
      error = Format("No packet of the track on PID 0x%04x could be muxed.", s.pid);
      return false;
    }
  if (!writer.Describe(output, info, error)) return false;
  return !dependent || dependent_writer->Describe(dependent->output, *dependent_info, error);
}

}  // namespace dp::tools
