#include <cstdio>
#include <optional>

#include "app/machine_id.h"
#include "app/run_state.h"
#include "command.h"
#include "update/version_query.h"

namespace dp::cli {
namespace {

int CmdUpdate(const Args& in) {
  Args args = in;
  if (args.empty() || args[0] != "check") return Usage("update");
  args.erase(args.begin());
  std::string ref_text;
  bool missing = false;
  const bool has_ref = TakeOption(args, "--ref", ref_text, missing);
  if (missing || !args.empty()) return Usage("update");
  std::optional<std::string> ref;
  if (has_ref) ref = ref_text;
  VersionReply reply;
  const int result = HTTP_Versio(DetectSystem64Bit(), ReadMachineId(), ref, reply);
  std::printf("result\t%d\nnew_version\t%s\ndownload_address\t%s\nsize_text\t%s\n", result,
              reply.new_version.c_str(), reply.download_address.c_str(), reply.size_text.c_str());
  return kOk;
}

const RegisterCommand reg("update", "  discpress-cli update check [--ref TEXT]\n", CmdUpdate);

}  // namespace
}  // namespace dp::cli
