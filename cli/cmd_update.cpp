#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/machine_id.h"
#include "app/run_state.h"
#include "command.h"
#include "update/version_query.h"

namespace dp::cli {
namespace {

void Setup(CLI::App& group) {
  auto ref = std::make_shared<std::string>();
  CLI::App* check = group.add_subcommand("check", "ask the update service for a newer version");
  // Given empty, the reference is still sent.
  const CLI::Option* given = check->add_option("--ref", *ref, "the ref the query names")->type_name("TEXT");
  OnRun(*check, [ref, given] {
    VersionReply reply;
    const std::optional<std::string> query_ref = given->count() ? std::optional(*ref) : std::nullopt;
    const int result = HTTP_Versio(DetectSystem64Bit(), ReadMachineId(), query_ref, reply);
    std::printf("result\t%d\nnew_version\t%s\ndownload_address\t%s\nsize_text\t%s\n", result,
                reply.new_version.c_str(), reply.download_address.c_str(), reply.size_text.c_str());
    return int{kOk};
  });
}

const RegisterCommand reg("update", "the update service", Setup);

}  // namespace
}  // namespace dp::cli
