// The two views of an H.264 MVC stream: the base view (plain H.264, with
// its prefix NAL units) and the dependent view (subset sequence parameter
// sets, coded slice extensions and their delimiters, NAL unit types 15, 20
// and 24), taken apart access unit by access unit; and a stream whose
// dependent view repeats its base view. Both work on the stream in place
// (a mapped file) and keep only where each NAL unit lies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace dp::tools {

struct NalSpan {
  std::size_t offset = 0;  // the NAL unit's header byte in the stream
  std::size_t size = 0;
};

struct ViewSplit {
  std::vector<NalSpan> base;  // the base view's NAL units
  std::size_t base_pictures = 0;
  // The dependent view's access units in decoding order; only units that
  // hold a coded slice extension.
  std::vector<std::vector<NalSpan>> dependent;
};

// Splits an Annex B stream: a combined one (both views), or the dependent
// view alone as a disc carries it on its own PID.
ViewSplit SplitViews(const std::uint8_t* stream, std::size_t size);

// The NAL units at `spans` of `stream` as an Annex B stream.
std::vector<std::uint8_t> AnnexB(const std::uint8_t* stream, const std::vector<NalSpan>& spans);

// Writes the stream with a dependent view that repeats the base view to
// `put`: after each sequence parameter set its subset for two views without
// inter-view references, after each picture its slices again as view 1.
// False when the stream holds no sequence parameter set or slice.
bool RepeatBaseAsDependentView(const std::uint8_t* stream, std::size_t size,
                               const std::function<void(const std::uint8_t*, std::size_t)>& put);

}  // namespace dp::tools
