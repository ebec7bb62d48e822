#pragma once
#include <string>
#include <string_view>

namespace pellora {

// True when text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);
// The characters of UTF-8 text: every byte that does not continue a character.
std::size_t CountCharacters(std::string_view text);

// Windows-1252 bytes as UTF-8. The five bytes that code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the
// same number, as Windows itself maps them.
std::string Windows1252ToUtf8(std::string_view bytes);

// The bytes of a project or CSV file as UTF-8 text. Files written here are
// UTF-8; a file that is not valid UTF-8 was written on Windows in its ANSI
// code page and is read as Windows-1252. A UTF-8 byte-order mark is dropped,
// and text saved as UTF-16 with a byte-order mark is converted.
std::string DecodeFileText(std::string bytes);

}  // namespace pellora
