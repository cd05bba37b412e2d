#include <cstdio>
#include <cstring>

#include "command.h"
#include "store_access.h"
#include "util/file_io.h"

namespace dp::cli {
namespace {

constexpr const char* kHelp =
    "  discpress-cli store list\n"
    "  discpress-cli store get NAME [--out FILE]\n"
    "  discpress-cli store set NAME (--sz TEXT | --dword N | --binary FILE)\n"
    "  discpress-cli store delete NAME\n";

int List(Store& store) {
  for (const auto& e : store.List())
    std::printf("%s\t%s\t%zu\n", e.name.c_str(), RegTypeName(e.value.type), e.value.data.size());
  return kOk;
}

int Get(Store& store, Args args) {
  std::string out_file;
  bool missing = false;
  const bool to_file = TakeOption(args, "--out", out_file, missing);
  if (missing || args.size() != 1) return Usage("store");
  const auto value = store.Get(args[0]);
  if (!value) return Fail(kFailed, "no value named " + args[0]);
  const auto& d = value->data;
  if (to_file) {
    return WriteWholeFile(out_file, std::string_view(reinterpret_cast<const char*>(d.data()), d.size()))
               ? kOk
               : Fail(kFailed, "cannot write " + out_file);
  }
  if (value->type == kRegSz) {
    const void* nul = std::memchr(d.data(), 0, d.size());
    const std::size_t len = nul ? static_cast<const std::uint8_t*>(nul) - d.data() : d.size();
    std::printf("%.*s\n", static_cast<int>(len), reinterpret_cast<const char*>(d.data()));
  } else if (value->type == kRegDword) {
    std::uint32_t v = 0;
    std::memcpy(&v, d.data(), d.size() < 4 ? d.size() : 4);
    std::printf("%u\n", v);
  } else {
    for (std::uint8_t b : d) std::printf("%02x", b);
    std::printf("\n");
  }
  return kOk;
}

int Set(Store& store, Args args) {
  std::string text, number, file;
  bool missing = false;
  const bool sz = TakeOption(args, "--sz", text, missing);
  const bool dword = TakeOption(args, "--dword", number, missing);
  const bool binary = TakeOption(args, "--binary", file, missing);
  if (missing || args.size() != 1 || sz + dword + binary != 1) return Usage("store");
  bool ok = false;
  if (sz) {
    ok = store.SetSz(args[0], text).ok();
  } else if (dword) {
    long long v = 0;
    if (!ParseInt(number, v) || v < 0 || v > 0xFFFFFFFFLL)
      return Fail(kUsage, "--dword takes 0 to 4294967295");
    ok = store.SetDword(args[0], static_cast<std::uint32_t>(v)).ok();
  } else {
    const auto bytes = ReadWholeFile(file);
    if (!bytes) return Fail(kFailed, "cannot read " + file);
    ok = store.SetBinary(args[0], bytes->data(), bytes->size()).ok();
  }
  return ok ? kOk : kFailed;  // the store has said why
}

int CmdStore(const Args& all) {
  if (all.empty()) return Usage("store");
  const std::string verb = all[0];
  Args rest(all.begin() + 1, all.end());
  const bool changes = verb == "set" || verb == "delete";
  std::unique_ptr<InstanceLock> lock;
  if (changes && !(lock = LockStoreForChanges())) return kFailed;
  auto store = OpenUserStore(changes);
  if (!store) return kFailed;
  if (verb == "list" && rest.empty()) return List(*store);
  if (verb == "get") return Get(*store, rest);
  if (verb == "set") return Set(*store, rest);
  if (verb == "delete" && rest.size() == 1) return store->Delete(rest[0]) ? kOk : kFailed;
  return Usage("store");
}

const RegisterCommand reg("store", kHelp, CmdStore);

}  // namespace
}  // namespace dp::cli
