#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "args.h"
#include "command.h"
#include "store_access.h"
#include "util/file_io.h"

namespace dp::cli {
namespace {

struct Input {
  std::string name;
  std::string out_file;
  std::string text, file;
  std::uint32_t number = 0;
  CLI::Option* out = nullptr;
  CLI::Option* sz = nullptr;
  CLI::Option* dword = nullptr;
};

int List(Store& store) {
  for (const auto& e : store.List())
    std::printf("%s\t%s\t%zu\n", e.name.c_str(), RegTypeName(e.value.type), e.value.data.size());
  return kOk;
}

int Get(Store& store, const Input& in) {
  const auto value = store.Get(in.name);
  if (!value) return Fail(kFailed, "no value named " + in.name);
  const auto& d = value->data;
  if (in.out->count()) {
    return WriteWholeFile(in.out_file, std::string_view(reinterpret_cast<const char*>(d.data()), d.size()))
               ? kOk
               : Fail(kFailed, "cannot write " + in.out_file);
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

int Set(Store& store, const Input& in) {
  if (in.sz->count()) return store.SetSz(in.name, in.text).ok() ? kOk : kFailed;  // the store has said why
  if (in.dword->count()) return store.SetDword(in.name, in.number).ok() ? kOk : kFailed;
  const auto bytes = ReadWholeFile(in.file);
  if (!bytes) return Fail(kFailed, "cannot read " + in.file);
  return store.SetBinary(in.name, bytes->data(), bytes->size()).ok() ? kOk : kFailed;
}

// Opens the store (under the lock for a change) and runs verb on it.
void OnStore(CLI::App& command, bool changes, std::function<int(Store&)> verb) {
  OnRun(command, [changes, verb = std::move(verb)] {
    std::unique_ptr<InstanceLock> lock;
    if (changes && !(lock = LockStoreForChanges())) return int{kFailed};
    auto store = OpenUserStore(changes);
    if (!store) return int{kFailed};
    return verb(*store);
  });
}

void Setup(CLI::App& group) {
  auto in = std::make_shared<Input>();
  CLI::App* list = group.add_subcommand("list", "NAME<TAB>TYPE<TAB>SIZE per value");
  CLI::App* get = group.add_subcommand("get", "one value: a text, a number, or bytes in hex");
  CLI::App* set = group.add_subcommand("set", "store one value, of the type its option names");
  CLI::App* remove = group.add_subcommand("delete", "delete one value");
  for (CLI::App* command : {get, set, remove}) command->add_option("NAME", in->name)->required();
  in->out = get->add_option("--out", in->out_file, "write the raw bytes to FILE")->type_name("FILE");
  // Exactly one of the three says the type and the value.
  CLI::Option_group* value = set->add_option_group("value, one of");
  in->sz = value->add_option("--sz", in->text, "a text (REG_SZ)")->type_name("TEXT");
  in->dword = value->add_option("--dword", in->number, "a number (REG_DWORD)")
                  ->type_name("N")
                  ->transform(WholeNumber(0, 4294967295LL));
  value->add_option("--binary", in->file, "the bytes of FILE (REG_BINARY)")->type_name("FILE");
  value->require_option(1);
  OnStore(*list, false, List);
  OnStore(*get, false, [in](Store& store) { return Get(store, *in); });
  OnStore(*set, true, [in](Store& store) { return Set(store, *in); });
  OnStore(*remove, true, [in](Store& store) { return store.Delete(in->name) ? int{kOk} : int{kFailed}; });
}

const RegisterCommand reg("store", "raw values of the per-user store", Setup);

}  // namespace
}  // namespace dp::cli
