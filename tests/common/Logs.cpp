#include "common/Logs.h"

namespace pellora::testing {

void StringLog::AddLine(std::string_view text) {
  for (;;) {
    std::size_t crlf = text.find("\r\n");
    lines_.emplace_back(text.substr(0, crlf));
    if (crlf == std::string_view::npos) break;
    text.remove_prefix(crlf + 2);
  }
}

void StringLog::AppendText(std::string_view text) {
  if (lines_.empty()) lines_.emplace_back();
  std::size_t crlf = text.find("\r\n");
  lines_.back() += text.substr(0, crlf);
  if (crlf != std::string_view::npos) AddLine(text.substr(crlf + 2));
}

std::string StringLog::Text() const {
  std::string all;
  for (const auto& line : lines_) all += line + "\n";
  return all;
}

}  // namespace pellora::testing
