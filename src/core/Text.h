#pragma once
#include <string>
#include <string_view>

namespace pellora {

// Removes every leading and trailing byte 0 to 32; bytes of 128 and above stay.
std::string_view TrimView(std::string_view text);
inline std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

}  // namespace pellora
