#pragma once
#include <string>
#include <string_view>

namespace pellora {

// The traditional DES-based crypt(3) hash: 13 characters, the two salt
// characters followed by 11 of the crypt alphabet "./0-9A-Za-z". Of the key
// only the bytes before the first NUL, at most 8, and of each its low 7 bits
// count. salt holds two characters of the crypt alphabet.
std::string DesCrypt(std::string_view key, std::string_view salt);

// DesCrypt of password with a fresh salt of two letters or digits.
std::string HashPassword(std::string_view password);

}  // namespace pellora
