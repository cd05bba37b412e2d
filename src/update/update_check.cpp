#include "update/update_check.h"

#include "app/version.h"
#include "update/installer_download.h"
#include "update/version_query.h"
#include "util/text.h"

namespace dp {

void ComprovaVersioProc(bool is_64bit, const MachineId& id, UpdateState& state,
                        const std::function<void(const std::string& new_version)>& on_ready) {
  VersionReply reply;
  if (HTTP_Versio(is_64bit, id, std::nullopt, reply, &state.abort) == 1) return;
  if (state.abort.load()) return;
  if (HTTP_Download(reply.download_address, reply.size_text, state.update_installer_name, &state.abort) != 0)
    return;
  if (on_ready && !state.abort.load()) on_ready(reply.new_version);
}

std::string UpdateTipText() {
  return Format("%s\nA new version of %s is available!!!\nClick here to install now.", program_name,
                program_name);
}

std::string UpdateBalloonText(const std::string& new_version) {
  return Format("A new version of %s is available!!!\nYou have: %s  =>  New: %s\nClick here to install now.",
                program_name, program_version, new_version.c_str());
}

void OnUpdateNoticeClicked(RunState& run, UpdateState& state, const std::function<void()>& stop_job,
                           const std::function<void()>& quit) {
  if (run.current_job.load() != -1 && stop_job) stop_job();
  state.launch_update_on_exit = true;
  if (quit) quit();
}

std::filesystem::path InstallerToLaunch(const UpdateState& state) {
  if (!state.launch_update_on_exit || state.update_installer_name.empty()) return {};
  return UpdateTempFolder() / state.update_installer_name;
}

}  // namespace dp
