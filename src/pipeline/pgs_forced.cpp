#include "pipeline/pgs_forced.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "util/file_io.h"

namespace dp {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Stdio buffers well above the default: segments are small (many are a
// 13-byte header alone), and a stream may hold 100 MB of them.
constexpr std::size_t kStreamBuffer = std::size_t{1} << 16;

// Opening the output truncates it, which would destroy an input that is the
// same file under another name.
bool SameFile(std::FILE* input, const std::string& output_path) {
  struct stat in_stat {};
  struct stat out_stat {};
  if (::fstat(::fileno(input), &in_stat) != 0 || ::stat(output_path.c_str(), &out_stat) != 0) return false;
  return in_stat.st_dev == out_stat.st_dev && in_stat.st_ino == out_stat.st_ino;
}

// A composition payload too short to hold a field has no such field; the
// reused payload buffer would otherwise supply a byte of an earlier segment.
bool IsEpochStart(const std::uint8_t* header, const std::uint8_t* payload, std::size_t size) {
  return header[kPgsHeaderTypeOffset] == kPgsPresentationComposition && size > kPcsStateOffset &&
         payload[kPcsStateOffset] == kPgsEpochStart;
}

bool HasFirstObject(std::size_t size) { return size > kPcsFirstObjectFlagsOffset; }

// Reads segments until the input ends or stops looking like PGS; keep() may
// edit the payload in place and says whether the segment is written.
template <class Keep>
PgsCopyResult CopySegments(const std::string& input_path, const std::string& output_path, Keep&& keep) {
  PgsCopyResult r;
  // The stdio buffers must outlive the streams that use them.
  std::vector<char> in_buffer(kStreamBuffer);
  std::vector<char> out_buffer(kStreamBuffer);

  FileHandle in_file = OpenRegularFile(input_path, &r.error);
  if (!in_file.valid()) return r;
  FilePtr in(::fdopen(in_file.get(), "rb"));
  if (!in) {
    r.error = input_path + ": " + std::strerror(errno);
    return r;
  }
  in_file.Release();  // the stream owns it now
  if (SameFile(in.get(), output_path)) {
    r.error = input_path + " and " + output_path + " are the same file";
    return r;
  }
  FilePtr out(std::fopen(output_path.c_str(), "wb"));
  if (!out) {
    r.error = output_path + ": " + std::strerror(errno);
    return r;
  }
  std::setvbuf(in.get(), in_buffer.data(), _IOFBF, in_buffer.size());
  std::setvbuf(out.get(), out_buffer.data(), _IOFBF, out_buffer.size());

  std::vector<std::uint8_t> payload(kPgsMaxPayload, 0);
  std::uint8_t header[kPgsHeaderSize];
  bool failed = false;
  for (;;) {
    const std::size_t got = std::fread(header, 1, kPgsHeaderSize, in.get());
    if (got < kPgsHeaderSize) {
      r.input_damaged = got > 0;
      failed = std::ferror(in.get()) != 0;
      break;
    }
    if (header[0] != 'P' || header[1] != 'G') {
      r.input_damaged = true;
      break;
    }
    const std::size_t size =
        (std::size_t{header[kPgsHeaderSizeOffset]} << 8) | header[kPgsHeaderSizeOffset + 1];
    if (size > 0 && std::fread(payload.data(), 1, size, in.get()) < size) {
      r.input_damaged = true;
      failed = std::ferror(in.get()) != 0;
      break;
    }
    ++r.segments_read;
    if (!keep(header, payload.data(), size)) continue;
    if (std::fwrite(header, 1, kPgsHeaderSize, out.get()) != kPgsHeaderSize ||
        (size > 0 && std::fwrite(payload.data(), 1, size, out.get()) != size)) {
      failed = true;
      break;
    }
    ++r.segments_written;
  }
  // A full disk may only show when the last buffer is flushed.
  if (std::fclose(out.release()) != 0) failed = true;
  r.result = failed ? -1 : 1;
  return r;
}

}  // namespace

PgsCopyResult SubtitleExportForced(const std::string& input_path, const std::string& output_path) {
  bool forced_epoch = false;
  return CopySegments(
      input_path, output_path, [&](const std::uint8_t* header, std::uint8_t* payload, std::size_t size) {
        if (IsEpochStart(header, payload, size))
          forced_epoch = HasFirstObject(size) && (payload[kPcsFirstObjectFlagsOffset] & kPgsForcedFlag);
        return forced_epoch;
      });
}

PgsCopyResult SubtitleFlagAllForced(const std::string& input_path, const std::string& output_path) {
  return CopySegments(input_path, output_path,
                      [](const std::uint8_t* header, std::uint8_t* payload, std::size_t size) {
                        if (IsEpochStart(header, payload, size) && HasFirstObject(size))
                          payload[kPcsFirstObjectFlagsOffset] |= kPgsForcedFlag;
                        return true;
                      });
}

}  // namespace dp
