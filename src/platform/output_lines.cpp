#include "platform/output_lines.h"

namespace dp {

std::vector<std::string> OutputLines::Feed(std::string_view chunk) {
  std::vector<std::string> lines;
  for (const char c : chunk) {
    if (c == '\n' && after_cr_) {
      after_cr_ = false;
      continue;
    }
    after_cr_ = c == '\r';
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(pending_));
      pending_.clear();
      continue;
    }
    pending_.push_back(c);
    if (pending_.size() >= kMaxLine) {
      lines.push_back(std::move(pending_));
      pending_.clear();
    }
  }
  return lines;
}

std::optional<std::string> OutputLines::Finish() {
  after_cr_ = false;
  if (pending_.empty()) return std::nullopt;
  std::string last = std::move(pending_);
  pending_.clear();
  return last;
}

}  // namespace dp
