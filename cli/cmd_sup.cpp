#include <string>

#include "command.h"
#include "pipeline/pgs_forced.h"

namespace dp::cli {
namespace {

int CmdSup(const Args& args) {
  if (args.size() != 3) return Usage("sup");
  const std::string& verb = args[0];
  const std::string& in = args[1];
  const std::string& out = args[2];
  PgsCopyResult r;
  if (verb == "forced") {
    r = SubtitleExportForced(in, out);
  } else if (verb == "flag-forced") {
    r = SubtitleFlagAllForced(in, out);
  } else {
    return Usage("sup");
  }
  if (r.result == 0) return Fail(kFailed, r.error);
  if (r.result < 0) return Fail(kFailed, "reading " + in + " or writing " + out + " failed");
  return kOk;
}

const RegisterCommand reg("sup",
                          "  discpress-cli sup forced IN OUT\n"
                          "  discpress-cli sup flag-forced IN OUT\n",
                          CmdSup);
}  // namespace
}  // namespace dp::cli
