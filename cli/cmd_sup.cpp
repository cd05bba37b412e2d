#include <memory>
#include <string>

#include "args.h"
#include "command.h"
#include "pipeline/pgs_forced.h"

namespace dp::cli {
namespace {

struct Files {
  std::string in, out;
};

int Report(const PgsCopyResult& r, const Files& f) {
  if (r.result == 0) return Fail(kFailed, r.error);
  if (r.result < 0) return Fail(kFailed, "reading " + f.in + " or writing " + f.out + " failed");
  return kOk;
}

void Setup(CLI::App& group) {
  auto files = std::make_shared<Files>();
  CLI::App* forced = group.add_subcommand("forced", "copy only the forced captions of IN to OUT");
  CLI::App* flag = group.add_subcommand("flag-forced", "copy IN to OUT with every caption flagged forced");
  for (CLI::App* command : {forced, flag}) {
    command->add_option("IN", files->in, "PGS subtitle file to read")->required();
    command->add_option("OUT", files->out, "PGS subtitle file to write")->required();
  }
  OnRun(*forced, [files] { return Report(SubtitleExportForced(files->in, files->out), *files); });
  OnRun(*flag, [files] { return Report(SubtitleFlagAllForced(files->in, files->out), *files); });
}

const RegisterCommand reg("sup", "forced captions of PGS subtitle files", Setup);

}  // namespace
}  // namespace dp::cli
