// Stand-in until our own DES lands: the system's crypt_r.
#include "generate/DesCrypt.h"

#include <crypt.h>

#include "core/Random.h"

namespace pellora {

std::string DesCrypt(std::string_view key, std::string_view salt) {
  crypt_data data{};
  std::string k(key.substr(0, key.find('\0')));
  std::string s(salt.substr(0, 2));
  const char* r = crypt_r(k.c_str(), s.c_str(), &data);
  return r ? r : "";
}

std::string HashPassword(std::string_view password) { return DesCrypt(password, RandomString(2, 0, 0)); }

}  // namespace pellora
