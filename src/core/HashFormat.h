#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace pellora {

// The password hashes .htpasswd can hold, as the project names them.
enum class HashFormat { Des, Bcrypt, Sha512, Sha256, Apr1 };

// The format a project names ("des", "bcrypt", "sha512", "sha256" or
// "apr1", in any letter case), or nullopt for any other text.
std::optional<HashFormat> ParseHashFormat(std::string_view name);
// The format as the project names it: "des", "bcrypt", ...
const char* HashFormatName(HashFormat format);

// The costs a format takes: bcrypt's exponent, SHA-crypt's rounds. A format
// without a cost has all three zero.
struct CostRange {
  long Min;
  long Max;
  long Default;
};
CostRange CostRangeOf(HashFormat format);

// The cost a format hashes with when the project's HASHCOST text is given:
// the default for an empty text, a value out of range clamped into it, and
// the default for a text that is no whole number.
long EffectiveCost(HashFormat format, std::string_view cost);

}  // namespace pellora
