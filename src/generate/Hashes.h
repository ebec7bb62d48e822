#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "core/HashFormat.h"

namespace pellora {

// password hashed in format with a fresh salt from the secure source: DES
// as DesCrypt, bcrypt as "$2y$", SHA-512/256-crypt as "$6$"/"$5$" (with
// "rounds=N$" only when N is not 5000), apr1 as "$apr1$". cost is bcrypt's
// exponent or SHA-crypt's rounds, clamped into the format's range; 0 means
// the format's default. The other formats have no cost.
std::string HashPassword(HashFormat format, long cost, std::string_view password);

// Turns one password into the hash written after the name and colon.
using PasswordHasher = std::function<std::string(std::string_view password)>;

// Whether password matches hash, a hash of any format above, "$2a$"/"$2b$"
// bcrypt, "$1$" MD5-crypt, "{SHA}" (base64 of SHA-1) or 13-character DES,
// told apart by prefix. An unknown or damaged hash matches no password.
// Compares in time that does not depend on where the texts differ.
bool VerifyPassword(std::string_view hash, std::string_view password);

// Whether hash is of a format VerifyPassword knows.
bool IsKnownHash(std::string_view hash);

// Whether hash has the form HashPassword(format, cost, ...) gives it, so
// that a change of format or cost calls for hashing anew.
bool HashIsMadeAs(std::string_view hash, HashFormat format, long cost);

// A quick proof that hash was made from password (hex SHA-256 of both), kept
// with the project so that a later generation can write the hash again
// without the slow hashing. It tells nothing the project file does not
// already hold in plain text.
std::string KeptHashDigest(std::string_view hash, std::string_view password);

// The MD5-crypt hash of password under the magic ("$1$" or "$apr1$") and
// at most 8 characters of salt.
std::string Md5Crypt(std::string_view password, std::string_view magic, std::string_view salt);

}  // namespace pellora
