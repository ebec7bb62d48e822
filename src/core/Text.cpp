#include "core/Text.h"

namespace pellora {

std::string_view TrimView(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool HasControl(std::string_view text) {
  for (char c : text)
    if (IsControl(c)) return true;
  return false;
}

}  // namespace pellora
