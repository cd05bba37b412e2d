// The failure log: one record per failed tool run, appended to
// "error_log.txt" in the temporary folder. The user opens the file from the
// menu; the program never rotates or truncates it.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "queue/error_log_name.h"

namespace dp {

std::string ErrorLogPath(std::string_view temp_path);

// One record: a line with the local date and time in brackets followed by
// dashes, the complete command line of the failed tool, its exit code in
// decimal and as eight upper-case hexadecimal digits, a closing line of
// dashes and an empty line. Lines end with "\n", this platform's line break.
std::string FailureRecord(const std::tm& local_time, std::string_view command_line, int exit_code);

// Appends the record to the log in `temp_path`, opened and closed for this
// record alone. False when the log cannot be opened or written; the record is
// then dropped and the caller goes on.
bool AppendFailureRecord(std::string_view temp_path, std::string_view record);

// The failure of one tool run, stamped with the local time of `when`.
bool LogToolFailure(std::string_view temp_path, std::string_view command_line, int exit_code,
                    std::time_t when);

}  // namespace dp
