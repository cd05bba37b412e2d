// The four time helpers used by source analysis and the pipeline.
#pragma once

#include <string>
#include <string_view>

namespace dp {

// Whole seconds (truncated toward zero) as "H:MM:SS"; hours are not limited.
std::string Seconds_To_HHMMSS(double seconds);
// "h:m:s" to h*3600 + m*60 + s. Reads at most 31 characters; empty fields are
// dropped (so ":30" is 30 hours) and each field is a leading whole number.
int hms_to_s(std::string_view text);
// The same sum times 1000; no fraction of a second is read.
double hms_to_ms(std::string_view text);
// "24000/1001" to its quotient; without "/" the divisor is 0.
double fraction_to_double(std::string_view text);

}  // namespace dp
