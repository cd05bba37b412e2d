#include "toolkit/h264_views.h"

#include <algorithm>

#include "toolkit/bit_reader.h"

namespace dp::tools {
namespace {

struct Nal {
  const std::uint8_t* p = nullptr;  // from the header byte on
  std::size_t n = 0;
  unsigned type = 0;
  std::size_t offset = 0;
};

std::vector<Nal> Nals(const std::uint8_t* s, std::size_t size) {
  std::vector<Nal> nals;
  std::size_t start = 0;  // first byte after the last start code
  bool open = false;
  auto close = [&](std::size_t end) {
    while (end > start && s[end - 1] == 0) --end;  // the next start code's leading zero
    if (open && end > start) nals.push_back({s + start, end - start, s[start] & 0x1Fu, start});
  };
  for (std::size_t i = 0; i + 3 <= size; ++i) {
    if (s[i + 2] > 1) {
      i += 2;  // no start code can begin before i + 3
      continue;
    }
    if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1) continue;
    close(i);
    start = i + 3;
    open = true;
    i += 2;
  }
  close(size);
  return nals;
}

bool IsBaseSlice(unsigned type) { return type == 1 || type == 5; }
bool IsDependentUnit(unsigned type) { return type == 15 || type == 20 || type == 24; }

// Whether the slice opens its picture (first_mb_in_slice 0). A coded slice
// extension has three more header bytes.
bool OpensPicture(const Nal& nal) {
  const std::size_t header = nal.type == 20 ? 4 : 1;
  if (nal.n <= header) return false;
  BitReader bits(Unescape(nal.p + header, std::min<std::size_t>(nal.n - header, 8)));
  return bits.Ue() == 0;
}

struct AccessUnit {
  std::vector<Nal> nals;
  bool base_slice = false, dependent_slice = false;
};

// Groups the NAL units by picture: a base picture opens a new unit, and so
// does a dependent picture when the unit already holds one; the parameter
// sets, SEI and delimiters before a picture belong to its unit.
std::vector<AccessUnit> AccessUnits(const std::vector<Nal>& nals) {
  std::vector<AccessUnit> units;
  std::vector<Nal> pending;
  for (const Nal& nal : nals) {
    const bool base = IsBaseSlice(nal.type), dependent = nal.type == 20;
    if (!base && !dependent) {
      pending.push_back(nal);
      continue;
    }
    bool opens = units.empty();
    if (!opens && OpensPicture(nal)) {
      const AccessUnit& last = units.back();
      opens = base ? last.base_slice || last.dependent_slice : last.dependent_slice;
    }
    if (opens) units.emplace_back();
    AccessUnit& unit = units.back();
    unit.nals.insert(unit.nals.end(), pending.begin(), pending.end());
    pending.clear();
    unit.nals.push_back(nal);
    unit.base_slice = unit.base_slice || base;
    unit.dependent_slice = unit.dependent_slice || dependent;
  }
  if (!pending.empty()) {
    if (units.empty()) units.emplace_back();
    units.back().nals.insert(units.back().nals.end(), pending.begin(), pending.end());
  }
  return units;
}

const std::uint8_t kStartCode[] = {0, 0, 0, 1};

bool HighProfileSyntax(unsigned profile) {
  for (unsigned p : {100u, 110u, 122u, 244u, 44u, 83u, 86u, 118u, 128u, 138u, 139u, 134u, 135u})
    if (profile == p) return true;
  return false;
}

// The subset sequence parameter set of a stereo high profile stream for a
// base view's sequence parameter set: the same sequence data (with the
// chroma fields the profile's syntax has), then the extension for views 0
// and 1 with no inter-view references, at the base view's level.
std::vector<std::uint8_t> SubsetSps(const Nal& sps) {
  const std::vector<std::uint8_t> rbsp = Unescape(sps.p + 1, sps.n - 1);
  std::size_t last = rbsp.size();
  while (last > 0 && rbsp[last - 1] == 0) --last;
  if (last < 4) return {};
  int stop = 0;  // the stop bit's place from the right in the last byte
  while (!((rbsp[last - 1] >> stop) & 1)) ++stop;
  const std::size_t data_bits = (last - 1) * 8 + static_cast<std::size_t>(7 - stop);

  BitReader in(rbsp);
  BitWriter out;
  const unsigned profile = in.Bits(8);
  out.Bits(128, 8);
  out.Bits(in.Bits(8), 8);  // constraint flags
  const unsigned level = in.Bits(8);
  out.Bits(level, 8);
  out.Ue(in.Ue());  // seq_parameter_set_id
  if (!HighProfileSyntax(profile)) {
    out.Ue(1);  // 4:2:0
    out.Ue(0);  // 8-bit luma and chroma
    out.Ue(0);
    out.Bits(0, 2);  // no transform bypass, no scaling matrices
  }
  while (in.Position() < data_bits) out.Bit(in.Bit());
  out.Bit(1);  // bit_equal_to_one
  out.Ue(1);   // two views, ids 0 and 1
  out.Ue(0);
  out.Ue(1);
  for (int i = 0; i < 4; ++i) out.Ue(0);  // no anchor or non-anchor references in either list
  out.Ue(0);                              // one level
  out.Bits(level, 8);
  out.Ue(0);  // one operation point: temporal id 0, target views 0 and 1, two views
  out.Bits(0, 3);
  out.Ue(1);
  out.Ue(0);
  out.Ue(1);
  out.Ue(1);
  out.Bits(0, 2);  // no MVC VUI, no further extension
  std::vector<std::uint8_t> nal = {static_cast<std::uint8_t>((sps.p[0] & 0x60) | 15)};
  const std::vector<std::uint8_t> escaped = Escape(out.Finish());
  nal.insert(nal.end(), escaped.begin(), escaped.end());
  return nal;
}

// A base view slice as a coded slice extension of view 1: the slice syntax
// is the same, so the bytes after the header are kept.
std::vector<std::uint8_t> SliceOfView1(const Nal& slice) {
  const bool idr = slice.type == 5;
  std::vector<std::uint8_t> nal = {
      static_cast<std::uint8_t>((slice.p[0] & 0x60) | 20),
      static_cast<std::uint8_t>(idr ? 0x00 : 0x40),  // svc_extension_flag 0, non_idr_flag, priority 0
      0x00,                                          // view_id 1 (10 bits) ...
      // ... then temporal id 0, anchor picture when IDR, no inter-view use, reserved 1
      static_cast<std::uint8_t>(0x40 | (idr ? 0x04 : 0) | 0x01)};
  nal.insert(nal.end(), slice.p + 1, slice.p + slice.n);
  return nal;
}

}  // namespace

ViewSplit SplitViews(const std::uint8_t* stream, std::size_t size) {
  ViewSplit split;
  const std::vector<AccessUnit> units = AccessUnits(Nals(stream, size));
  const bool combined =
      std::any_of(units.begin(), units.end(), [](const AccessUnit& u) { return u.base_slice; });
  for (const AccessUnit& unit : units) {
    std::vector<NalSpan> dependent;
    for (const Nal& nal : unit.nals)
      (combined && !IsDependentUnit(nal.type) ? split.base : dependent).push_back({nal.offset, nal.n});
    if (unit.base_slice) ++split.base_pictures;
    if (unit.dependent_slice) split.dependent.push_back(std::move(dependent));
  }
  return split;
}

std::vector<std::uint8_t> AnnexB(const std::uint8_t* stream, const std::vector<NalSpan>& spans) {
  std::vector<std::uint8_t> out;
  for (const NalSpan& nal : spans) {
    out.insert(out.end(), std::begin(kStartCode), std::end(kStartCode));
    out.insert(out.end(), stream + nal.offset, stream + nal.offset + nal.size);
  }
  return out;
}

bool RepeatBaseAsDependentView(const std::uint8_t* stream, std::size_t size,
                               const std::function<void(const std::uint8_t*, std::size_t)>& put) {
  bool have_sps = false, have_slice = false;
  auto emit = [&put](const std::uint8_t* p, std::size_t n) {
    put(kStartCode, sizeof kStartCode);
    put(p, n);
  };
  for (const AccessUnit& unit : AccessUnits(Nals(stream, size))) {
    std::vector<std::vector<std::uint8_t>> view1;
    for (const Nal& nal : unit.nals) {
      if (IsDependentUnit(nal.type)) continue;  // a stream that already had one gets it anew
      emit(nal.p, nal.n);
      if (nal.type == 7) {
        const std::vector<std::uint8_t> subset = SubsetSps(nal);
        if (subset.empty()) return false;
        emit(subset.data(), subset.size());
        have_sps = true;
      }
      if (IsBaseSlice(nal.type)) {
        view1.push_back(SliceOfView1(nal));
        have_slice = true;
      }
    }
    for (const auto& slice : view1) emit(slice.data(), slice.size());
  }
  return have_sps && have_slice;
}

}  // namespace dp::tools
