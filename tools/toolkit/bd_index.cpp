#include "toolkit/bd_index.h"

#include <string>

#include "toolkit/files.h"

namespace dp::tools {
namespace {

constexpr unsigned kNoObject = 0xFFFF;

std::vector<std::uint8_t> Header(const char* tag) {
  std::vector<std::uint8_t> b(tag, tag + 8);
  return b;
}

// An index entry running HDMV movie object `object` as a movie (not an
// interactive title).
void PutHdmvEntry(std::vector<std::uint8_t>& b, unsigned object) {
  PutBe32(b, 0x40000000);  // object type 1: HDMV
  PutBe16(b, 0);           // playback type 0: movie
  PutBe16(b, object);
  PutBe32(b, 0);
}

}  // namespace

std::vector<std::uint8_t> BuildIndex(bool stereo, std::uint8_t format, std::uint8_t rate) {
  std::vector<std::uint8_t> b = Header("INDX0200");
  b.resize(40, 0);  // index start at 8, no extension data
  PutBe32(b, 34);   // AppInfoBDMV: flags, preferred format, no user data
  if (stereo) {
    // 3D output preferred, stereoscopic content present.
    b.push_back(0x60);
    b.push_back(static_cast<std::uint8_t>((format << 4) | (rate & 0x0F)));
    b.resize(b.size() + 32, 0);
  } else {
    b.resize(b.size() + 34, 0);
  }
  const std::size_t index = b.size();
  PutBe32(b, 0);
  PutHdmvEntry(b, 0);          // First Playback
  PutHdmvEntry(b, kNoObject);  // Top Menu: none
  PutBe16(b, 1);               // one title
  PutHdmvEntry(b, 0);          // title 1; access type 0: may be chosen by number
  SetBe32(&b[index], static_cast<std::uint32_t>(b.size() - index - 4));
  SetBe32(&b[8], static_cast<std::uint32_t>(index));
  return b;
}

std::vector<std::uint8_t> BuildMovieObject(unsigned playlist) {
  std::vector<std::uint8_t> b = Header("MOBJ0200");
  b.resize(40, 0);  // no extension data
  const std::size_t data = b.size();
  PutBe32(b, 0);
  PutBe32(b, 0);
  PutBe16(b, 1);  // one object
  PutBe16(b, 0);  // no resume, menu call and title search allowed
  PutBe16(b, 1);  // one command
  // PlayPL with an immediate playlist number: one operand, branch group,
  // play sub-group; operand 1 immediate.
  b.insert(b.end(), {0x22, 0x80, 0x00, 0x00});
  PutBe32(b, playlist);
  PutBe32(b, 0);
  SetBe32(&b[data], static_cast<std::uint32_t>(b.size() - data - 4));
  return b;
}

}  // namespace dp::tools
