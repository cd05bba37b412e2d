// Bit-level reading and writing of H.264 payloads: the emulation bytes
// taken out, fixed-width and Exp-Golomb fields, and put back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dp::tools {

// The payload of a NAL unit (after its header) with its emulation
// prevention bytes dropped.
std::vector<std::uint8_t> Unescape(const std::uint8_t* p, std::size_t n);
// Inserts the emulation prevention bytes a payload needs.
std::vector<std::uint8_t> Escape(const std::vector<std::uint8_t>& rbsp);

class BitReader {
 public:
  explicit BitReader(std::vector<std::uint8_t> rbsp) : rbsp_(std::move(rbsp)) {}
  unsigned Bit() {
    if (pos_ >= rbsp_.size() * 8) return 1;  // past the end reads as the stop bit
    const unsigned b = (rbsp_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
    ++pos_;
    return b;
  }
  unsigned Bits(int n) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | Bit();
    return v;
  }
  unsigned Ue() {
    int zeros = 0;
    while (Bit() == 0 && zeros < 31) ++zeros;
    return (1u << zeros) - 1 + Bits(zeros);
  }
  std::size_t Position() const { return pos_; }

 private:
  std::vector<std::uint8_t> rbsp_;
  std::size_t pos_ = 0;
};

class BitWriter {
 public:
  void Bit(unsigned b) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    if (b) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (count_ % 8));
    ++count_;
  }
  void Bits(unsigned v, int n) {
    for (int i = n - 1; i >= 0; --i) Bit((v >> i) & 1);
  }
  void Ue(unsigned v) {
    int bits = 0;
    while ((v + 1) >> (bits + 1)) ++bits;
    Bits(0, bits);
    Bits(v + 1, bits + 1);
  }
  // The stop bit and the zero bits up to the next byte.
  std::vector<std::uint8_t> Finish() {
    Bit(1);
    return bytes_;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t count_ = 0;
};

}  // namespace dp::tools
