// The MediaInfo library, loaded at run time, and one opened media file.
// The library's "A" functions speak the C library's multibyte text, so the
// loader makes LC_CTYPE a UTF-8 locale before the first call: under "C"
// every non-ASCII character comes back as "?" and a non-ASCII path does not
// open.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace dp {

inline constexpr char kMediaInfoLibrary[] = "libmediainfo.so.0";

enum class MediaStreamKind : int {
  kGeneral = 0,
  kVideo = 1,
  kAudio = 2,
  kText = 3,
  kOther = 4,
  kImage = 5,
  kMenu = 6,
};

// What a parameter query returns: the parameter's name or its value text.
enum class MediaInfoKind : int { kName = 0, kText = 1 };

// The entry points of one loaded library. A library once loaded stays for
// the life of the process: its handles may be anywhere.
struct MediaInfoApi {
  using NewFn = void* (*)();
  using DeleteFn = void (*)(void*);
  using OpenFn = std::size_t (*)(void*, const char*);
  using CloseFn = void (*)(void*);
  using GetFn = const char* (*)(void*, int, std::size_t, const char*, int, int);
  using GetIFn = const char* (*)(void*, int, std::size_t, std::size_t, int);
  using CountGetFn = std::size_t (*)(void*, int, std::size_t);

  NewFn New = nullptr;
  DeleteFn Delete = nullptr;
  OpenFn Open = nullptr;
  CloseFn Close = nullptr;
  GetFn Get = nullptr;
  GetIFn GetI = nullptr;
  CountGetFn CountGet = nullptr;
};

// Loads the library file `name` (once per name) and looks its entry points
// up. Null, with the reason in *error, when the file or an entry point is
// missing.
const MediaInfoApi* LoadMediaInfoApi(const std::string& name, std::string* error);
// The system's library, kMediaInfoLibrary.
const MediaInfoApi* MediaInfoLibrary(std::string* error);

// Makes LC_CTYPE a UTF-8 locale: the user's when it is one, else C.UTF-8.
// True when LC_CTYPE is UTF-8 afterwards. setlocale is process-wide, so nothing is
// changed while LC_CTYPE is UTF-8 already: a program that starts in a UTF-8
// locale is never touched.
bool EnsureUtf8Ctype();

// One media file opened by the library. The library keeps one answer
// buffer per handle, overwritten by the next query, so every answer is
// copied at once; and one object must not be queried from two threads at a
// time.
class MediaInfoFile {
 public:
  // Null, with the reason in *error, when the library cannot be loaded or
  // the file cannot be opened. api null: the system's library.
  static std::unique_ptr<MediaInfoFile> Open(const std::string& path, std::string* error,
                                             const MediaInfoApi* api = nullptr);
  ~MediaInfoFile();
  MediaInfoFile(const MediaInfoFile&) = delete;
  MediaInfoFile& operator=(const MediaInfoFile&) = delete;

  // The value text of a parameter by name ("Format", "Duration",
  // "ID/String"); empty when the stream or the parameter is not there.
  std::string Get(MediaStreamKind kind, std::size_t stream, std::string_view parameter) const;
  // A parameter by its index in the stream's list: its name or its text.
  std::string GetI(MediaStreamKind kind, std::size_t stream, std::size_t index, MediaInfoKind info) const;
  // "StreamCount" of a kind, read as a leading number (0 for none).
  int StreamCount(MediaStreamKind kind) const;
  // How many parameters a stream has: the index range of GetI.
  std::size_t ParameterCount(MediaStreamKind kind, std::size_t stream) const;

  // Only Open makes one.
  class Key {
    friend class MediaInfoFile;
    Key() = default;
  };
  MediaInfoFile(Key, const MediaInfoApi& api, void* handle) : api_(api), handle_(handle) {}

 private:
  const MediaInfoApi& api_;
  void* handle_;
};

}  // namespace dp
