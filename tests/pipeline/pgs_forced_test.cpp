#include "pipeline/pgs_forced.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Segment(std::uint8_t type, const Bytes& payload) {
  const auto hi = static_cast<std::uint8_t>(payload.size() >> 8);
  const auto lo = static_cast<std::uint8_t>(payload.size() & 0xFF);
  return Cat({{'P', 'G', 0, 0, 0, 1, 0, 0, 0, 0, type, hi, lo}, payload});
}

// A composition (state 0x80 starts an epoch) with no object or with one
// object whose flag byte is `flags`.
Bytes Composition(std::uint8_t state, std::uint8_t flags, bool has_object = true) {
  const std::uint8_t objects = has_object ? 1 : 0;
  Bytes p = {0x07, 0x80, 0x04, 0x38, 0x10, 0x00, 0x01, state, 0x00, 0x00, objects};
  if (has_object) p = Cat({p, {0x00, 0x00, 0x00, flags, 0x01, 0x00, 0x03, 0x00}});
  return Segment(0x16, p);
}

// Composition, window, palette, object and end segments.
Bytes DisplaySet(std::uint8_t state, std::uint8_t flags, std::size_t object_size = 40) {
  return Cat({Composition(state, flags), Segment(0x17, Bytes(10, 0x11)), Segment(0x14, Bytes(7, 0x22)),
              Segment(0x15, Bytes(object_size, 0x33)), Segment(0x80, {})});
}

// An independent walk of a stream: (offset, payload size) of each whole segment.
std::vector<std::pair<std::size_t, std::size_t>> Walk(const Bytes& d) {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  for (std::size_t at = 0; d.size() - at >= 13 && d[at] == 'P' && d[at + 1] == 'G';) {
    const std::size_t size = std::size_t{d[at + 11]} * 256 + d[at + 12];
    if (d.size() - at - 13 < size) break;
    out.emplace_back(at, size);
    at += 13 + size;
  }
  return out;
}

// What flagging every epoch gives: the whole segments before any damage,
// with the flag byte of each epoch start's first object set.
Bytes FlagAll(const Bytes& in) {
  const auto segments = Walk(in);
  Bytes out(in.begin(),
            in.begin() + (segments.empty() ? 0 : segments.back().first + 13 + segments.back().second));
  for (const auto& [at, size] : segments)
    if (in[at + 10] == 0x16 && size > 14 && in[at + 13 + 7] == 0x80) out[at + 13 + 14] |= 0x40;
  return out;
}

class PgsForced : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const Bytes& data) const {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return Path(name);
  }
  static Bytes Read(const std::string& path) {
    const std::string text = test::ReadText(path);
    return Bytes(text.begin(), text.end());
  }

  test::TempDir dir_;
};

TEST_F(PgsForced, RealStreams) {
  // None has a forced caption; sequence_without_ods has one epoch start without
  // a composition object (7 segments, 140 bytes); multi_image has no epoch start.
  const struct {
    const char* path;
    std::size_t segments, flaggable_epochs, unforceable_bytes;
  } samples[] = {
      {"sup/subtile/sequence_without_ods.sup", 68, 8, 140},
      {"sup/pgs4net/sintel-en.sup", 208, 26, 0},
      {"sup/subtitleedit/sample_BDSUP_multi_image.sup", 11, 0, 0},
  };
  for (const auto& sample : samples) {
    SCOPED_TRACE(sample.path);
    const std::string in = std::string(DP_TESTDATA_DIR) + "/" + sample.path;
    const Bytes input = Read(in);
    ASSERT_EQ(Walk(input).size(), sample.segments);

    const PgsCopyResult exported = SubtitleExportForced(in, Path("forced.sup"));
    EXPECT_EQ(exported.result, 1);
    EXPECT_EQ(exported.segments_read, sample.segments);
    EXPECT_EQ(exported.segments_written, 0u);
    EXPECT_FALSE(exported.input_damaged);
    ASSERT_TRUE(fs::exists(Path("forced.sup")));
    EXPECT_EQ(fs::file_size(Path("forced.sup")), 0u);

    // Flagging changes only the flag byte of each epoch start's first object.
    EXPECT_EQ(SubtitleFlagAllForced(in, Path("all.sup")).segments_written, sample.segments);
    const Bytes output = Read(Path("all.sup"));
    ASSERT_EQ(output, FlagAll(input));
    std::size_t changed = 0;
    for (std::size_t i = 0; i < input.size(); ++i) changed += input[i] != output[i];
    EXPECT_EQ(changed, sample.flaggable_epochs);

    // Then the export keeps every epoch that has a caption to force.
    EXPECT_EQ(SubtitleExportForced(Path("all.sup"), Path("again.sup")).result, 1);
    EXPECT_EQ(fs::file_size(Path("again.sup")),
              sample.flaggable_epochs == 0 ? 0 : input.size() - sample.unforceable_bytes);
    EXPECT_EQ(Read(Path("again.sup")) == output,
              sample.unforceable_bytes == 0 && sample.flaggable_epochs > 0);
  }
}

TEST_F(PgsForced, MadeUpStreams) {
  const Bytes forced = DisplaySet(0x80, 0x40);
  const Bytes good = Cat({forced, DisplaySet(0x80, 0x00)});
  // Only the epoch start decides: later compositions' flags do not count.
  const Bytes big_forced = Cat({DisplaySet(0x80, 0x40, kPgsMaxPayload), Composition(0x00, 0, false)});
  const Bytes plain = Cat({DisplaySet(0x80, 0x00), DisplaySet(0x00, 0x40), Composition(0x00, 0, false)});
  const Bytes cropped = DisplaySet(0x80, 0xC0);
  Bytes cut_payload = Segment(0x15, Bytes(300, 0x55));
  cut_payload.resize(13 + 120);
  const Bytes p_without_g = {'P', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 0x16, 0, 0};
  const struct {
    const char* name;
    Bytes in, exported;
    bool damaged;  // the copies end at the last whole segment
  } cases[] = {
      {"forced epochs kept whole", Cat({big_forced, plain, cropped, plain}), Cat({big_forced, cropped}),
       false},
      {"payload cut short", Cat({good, cut_payload}), forced, true},
      {"header cut short", Cat({good, Bytes{'P', 'G', 0, 0, 0}}), forced, true},
      // Nothing after the damage is taken, though whole segments follow.
      {"P without G", Cat({good, p_without_g, forced}), forced, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = Write("in.sup", c.in);
    const PgsCopyResult exported = SubtitleExportForced(in, Path("forced.sup"));
    EXPECT_EQ(exported.result, 1);
    EXPECT_EQ(exported.input_damaged, c.damaged);
    EXPECT_EQ(Read(Path("forced.sup")), c.exported);
    const PgsCopyResult flagged = SubtitleFlagAllForced(in, Path("all.sup"));
    EXPECT_EQ(flagged.result, 1);
    EXPECT_EQ(flagged.input_damaged, c.damaged);
    EXPECT_EQ(Read(Path("all.sup")), FlagAll(c.in));
  }
}

TEST_F(PgsForced, OutputOnlyWhenBothFilesAreUsable) {
  const Bytes data = DisplaySet(0x80, 0x40);
  const std::string in = Write("in.sup", data);
  const std::string empty = Write("empty.sup", {});
  for (auto fn : {&SubtitleExportForced, &SubtitleFlagAllForced}) {
    // An empty input still gives an (empty) output, replacing an old one.
    Write("out.sup", data);
    EXPECT_EQ(fn(empty, Path("out.sup")).result, 1);
    EXPECT_EQ(fs::file_size(Path("out.sup")), 0u);
    fs::remove(Path("out.sup"));

    EXPECT_EQ(fn(Path("missing.sup"), Path("out.sup")).result, 0);
    EXPECT_EQ(fn(dir_.path().string(), Path("out.sup")).result, 0);
    EXPECT_FALSE(fs::exists(Path("out.sup")));
    EXPECT_EQ(fn(in, Path("no_such_dir/out.sup")).result, 0);
    EXPECT_EQ(fn(in, dir_.path().string()).result, 0);
    // The input as its own output (by name or through a link) would be
    // truncated before it is read.
    EXPECT_EQ(fn(in, in).result, 0);
    fs::create_hard_link(in, Path("link.sup"));
    EXPECT_EQ(fn(in, Path("link.sup")).result, 0);
    fs::remove(Path("link.sup"));
    EXPECT_EQ(Read(in), data);
  }
}

}  // namespace
}  // namespace dp
