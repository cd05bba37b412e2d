#include "pipeline/failure_log.h"

#include <cstdio>
#include <memory>

#include "pipeline/temp_files.h"
#include "util/text.h"

namespace dp {

std::string ErrorLogPath(std::string_view temp_path) { return JoinPath(temp_path, kErrorLogName); }

std::string FailureRecord(const std::tm& local_time, std::string_view command_line, int exit_code) {
  std::string record =
      Format("-[%02d/%02d/%04d - %02d:%02d:%02d]", local_time.tm_mday, local_time.tm_mon + 1,
             local_time.tm_year + 1900, local_time.tm_hour, local_time.tm_min, local_time.tm_sec);
  record.append(80, '-');
  record += "\n  LAST CMD LINE => ";
  record += command_line;
  record += Format("\n  EXIT CODE     => %d (0x%08X)\n", exit_code, static_cast<unsigned>(exit_code));
  record.append(104, '-');
  record += "\n\n";
  return record;
}

bool AppendFailureRecord(std::string_view temp_path, std::string_view record) {
  // Without a folder the log would land in the working folder.
  if (temp_path.empty()) return false;
  const std::string path = ErrorLogPath(temp_path);
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "ab"), &std::fclose);
  if (!file) return false;
  const bool written = std::fwrite(record.data(), 1, record.size(), file.get()) == record.size();
  return std::fflush(file.get()) == 0 && written;
}

bool LogToolFailure(std::string_view temp_path, std::string_view command_line, int exit_code,
                    std::time_t when) {
  std::tm local{};
  if (::localtime_r(&when, &local) == nullptr) return false;
  return AppendFailureRecord(temp_path, FailureRecord(local, command_line, exit_code));
}

}  // namespace dp
