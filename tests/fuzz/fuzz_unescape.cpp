// Line breaks in CSV notes travel as backslash-r and backslash-n. Unescaping
// any text must be safe, and text without backslashes must come back from
// escaping exactly.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "project/Csv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string plain = pellora::UnescapeLineBreaks(text);
  if (plain.size() > text.size()) std::abort();  // two bytes become one, never more

  if (text.find('\\') == std::string_view::npos) {
    const std::string escaped = pellora::EscapeLineBreaks(text);
    if (escaped.find_first_of("\r\n") != std::string::npos) std::abort();
    if (pellora::UnescapeLineBreaks(escaped) != text) std::abort();
  }
  return 0;
}
