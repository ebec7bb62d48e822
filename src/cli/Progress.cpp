#include "cli/Progress.h"

#include <unistd.h>

#include <cstdio>

namespace pellora::cli {

namespace {
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
}

Progress::Progress() : enabled_(::isatty(STDERR_FILENO) == 1) {}

void Progress::Show(std::string_view text, bool force) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && ((!force && now - last_ < kRedrawEvery) || text == text_)) return;
  last_ = now;
  text_ = text;
  shown_ = true;
  std::fprintf(stderr, "\r%.*s\033[K", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

void Progress::Count(std::string_view label, std::size_t done, std::size_t total) {
  if (!enabled_) return;
  Show(std::string(label) + ": " + std::to_string(done) + "/" + std::to_string(total), done == total);
}

void Progress::Clear() {
  if (!shown_) return;
  shown_ = false;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
}

}  // namespace pellora::cli
