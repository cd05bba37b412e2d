#include "source/mediainfo.h"

#include <dlfcn.h>
#include <langinfo.h>

#include <clocale>
#include <map>
#include <mutex>

#include "util/text.h"

namespace dp {
namespace {

std::mutex g_load_mutex;

bool CtypeIsUtf8() {
  const char* codeset = ::nl_langinfo(CODESET);
  return codeset && (IEquals(codeset, "UTF-8") || IEquals(codeset, "utf8"));
}

template <typename Fn>
bool Resolve(void* library, const char* symbol, Fn& out, std::string* error) {
  out = reinterpret_cast<Fn>(::dlsym(library, symbol));
  if (out) return true;
  if (error) *error = Format("the MediaInfo library has no entry point %s", symbol);
  return false;
}

}  // namespace

bool EnsureUtf8Ctype() {
  if (CtypeIsUtf8()) return true;
  // The user's own locale first, so its language stays; C.UTF-8 otherwise.
  if (std::setlocale(LC_CTYPE, "") && CtypeIsUtf8()) return true;
  return std::setlocale(LC_CTYPE, "C.UTF-8") && CtypeIsUtf8();
}

const MediaInfoApi* LoadMediaInfoApi(const std::string& name, std::string* error) {
  std::lock_guard lock(g_load_mutex);
  static std::map<std::string, MediaInfoApi> loaded;
  if (auto it = loaded.find(name); it != loaded.end()) return &it->second;

  void* library = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = ::dlerror();
    if (error)
      *error = Format("the MediaInfo library %s cannot be loaded (%s); install the package that provides it",
                      name.c_str(), why ? why : "not found");
    return nullptr;
  }
  MediaInfoApi api;
  const bool ok = Resolve(library, "MediaInfoA_New", api.New, error) &&
                  Resolve(library, "MediaInfoA_Delete", api.Delete, error) &&
                  Resolve(library, "MediaInfoA_Open", api.Open, error) &&
                  Resolve(library, "MediaInfoA_Close", api.Close, error) &&
                  Resolve(library, "MediaInfoA_Get", api.Get, error) &&
                  Resolve(library, "MediaInfoA_GetI", api.GetI, error) &&
                  Resolve(library, "MediaInfoA_Count_Get", api.CountGet, error);
  if (!ok) {
    ::dlclose(library);
    return nullptr;
  }
  EnsureUtf8Ctype();
  return &loaded.emplace(name, api).first->second;
}

const MediaInfoApi* MediaInfoLibrary(std::string* error) {
  return LoadMediaInfoApi(kMediaInfoLibrary, error);
}

std::unique_ptr<MediaInfoFile> MediaInfoFile::Open(const std::string& path, std::string* error,
                                                   const MediaInfoApi* api) {
  if (!api) api = MediaInfoLibrary(error);
  if (!api) return nullptr;
  // Someone may have set the locale back since the library was loaded.
  EnsureUtf8Ctype();
  void* handle = api->New();
  if (!handle) {
    if (error) *error = "the MediaInfo library could not make a handle";
    return nullptr;
  }
  auto file = std::make_unique<MediaInfoFile>(Key{}, *api, handle);
  if (api->Open(handle, path.c_str()) == 0) {
    if (error) *error = Format("MediaInfo cannot open '%s'", path.c_str());
    return nullptr;
  }
  return file;
}

MediaInfoFile::~MediaInfoFile() {
  api_.Close(handle_);
  api_.Delete(handle_);
}

std::string MediaInfoFile::Get(MediaStreamKind kind, std::size_t stream, std::string_view parameter) const {
  const std::string name(parameter);
  const char* text = api_.Get(handle_, static_cast<int>(kind), stream, name.c_str(),
                              static_cast<int>(MediaInfoKind::kText), static_cast<int>(MediaInfoKind::kName));
  return text ? std::string(text) : std::string();
}

std::string MediaInfoFile::GetI(MediaStreamKind kind, std::size_t stream, std::size_t index,
                                MediaInfoKind info) const {
  const char* text = api_.GetI(handle_, static_cast<int>(kind), stream, index, static_cast<int>(info));
  return text ? std::string(text) : std::string();
}

int MediaInfoFile::StreamCount(MediaStreamKind kind) const { return LeadingInt(Get(kind, 0, "StreamCount")); }

std::size_t MediaInfoFile::ParameterCount(MediaStreamKind kind, std::size_t stream) const {
  return api_.CountGet(handle_, static_cast<int>(kind), stream);
}

}  // namespace dp
