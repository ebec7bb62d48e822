#pragma once
#include <chrono>
#include <string>
#include <string_view>

namespace pellora::cli {

// One line of progress on standard error, rewritten in place. It is drawn
// only when standard error is a terminal: in a pipe or a log file it would
// only be noise between the lines that matter.
class Progress {
 public:
  Progress();
  ~Progress() { Clear(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  bool Enabled() const { return enabled_; }
  // Redraws the line; at most a few times a second unless force is set, so
  // a fast loop does not spend its time writing to the terminal.
  void Show(std::string_view text, bool force = false);
  // "label: done/total"
  void Count(std::string_view label, std::size_t done, std::size_t total);
  // Takes the line away, so that other output starts on a clean line.
  void Clear();

 private:
  bool enabled_ = false;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_{};
  std::string text_;
};

}  // namespace pellora::cli
