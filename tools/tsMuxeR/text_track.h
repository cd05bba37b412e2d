// A text subtitle track of the control file made into a PGS stream the muxer
// packs like any other: the SubRip file (or the track of a container,
// converted to SubRip first) rendered in the track's font, size, colour,
// border and position on a picture of the track's video size.
#pragma once

#include <string>
#include <vector>

#include "tsMuxeR/meta.h"

namespace dp::tools {

// Writes the stream to `sup` and adds the files made on the way to
// `scratch`. False, with the reason, when the text can't be read or rendered.
bool RenderTextTrack(const MetaTrack& track, const std::string& sup, std::vector<std::string>& scratch,
                     std::string& error);

}  // namespace dp::tools
