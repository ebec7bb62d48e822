// The port of a PASV reply comes from the server's own text: any reply must
// give a port or nothing, never undefined arithmetic.
#include <cstdint>
#include <optional>
#include <string_view>

#include "ftp/FtpClient.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)pellora::ParsePasvPort(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
