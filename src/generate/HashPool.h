#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generate/Hashes.h"

namespace pellora {

// What a long hashing run tells its caller and asks it, always on the
// caller's own thread: the window pumps its events in Report, so the log
// window repaints and its Stop can be pressed.
struct HashRun {
  std::function<void(std::size_t done, std::size_t total)> Report = {};
  std::function<bool()> Stopped = {};  // true: stop at once
};

// Hashes every password with hash, on as many threads as the machine has
// cores (or threads, when not 0); hash must be safe to call from several
// threads at once. The hashes come back in the order of the passwords;
// nothing when the run was stopped.
std::optional<std::vector<std::string>> HashInParallel(const std::vector<std::string_view>& passwords,
                                                       const PasswordHasher& hash, const HashRun& run = {},
                                                       unsigned threads = 0);

}  // namespace pellora
