#pragma once
#include <string>
#include <string_view>

namespace pellora {

// Removes every leading and trailing byte 0 to 32; bytes of 128 and above stay.
std::string_view TrimView(std::string_view text);
inline std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

// Bytes 0 to 31 and 127.
inline bool IsControl(char c) {
  auto b = static_cast<unsigned char>(c);
  return b < 32 || b == 127;
}
bool HasControl(std::string_view text);
// The text with every control byte shown as \xNN, for a log line or a
// terminal that must not take it as a line break or an escape sequence.
std::string Printable(std::string_view text);
// Whether text begins with prefix, a lower-case ASCII text, in any letter case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace pellora
