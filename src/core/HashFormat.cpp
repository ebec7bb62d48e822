#include "core/HashFormat.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "core/Text.h"

namespace pellora {

namespace {

struct Entry {
  HashFormat Format;
  const char* Name;
  CostRange Cost;
};

constexpr std::array kFormats{
    Entry{HashFormat::Des, "des", {0, 0, 0}},
    Entry{HashFormat::Bcrypt, "bcrypt", {4, 17, 10}},
    Entry{HashFormat::Sha512, "sha512", {1000, 999999999, 5000}},
    Entry{HashFormat::Sha256, "sha256", {1000, 999999999, 5000}},
    Entry{HashFormat::Apr1, "apr1", {0, 0, 0}},
};

const Entry& EntryOf(HashFormat format) {
  for (const Entry& e : kFormats)
    if (e.Format == format) return e;
  return kFormats[0];
}

}  // namespace

std::optional<HashFormat> ParseHashFormat(std::string_view name) {
  for (const Entry& e : kFormats)
    if (std::ranges::equal(name, std::string_view(e.Name),
                           [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
      return e.Format;
  return std::nullopt;
}

const char* HashFormatName(HashFormat format) { return EntryOf(format).Name; }

CostRange CostRangeOf(HashFormat format) { return EntryOf(format).Cost; }

long EffectiveCost(HashFormat format, std::string_view cost) {
  const CostRange range = CostRangeOf(format);
  cost = TrimView(cost);
  if (cost.empty() || cost.size() > 10 || cost.find_first_not_of("0123456789") != std::string_view::npos)
    return range.Default;
  long value = 0;
  for (char c : cost) value = value * 10 + (c - '0');
  return std::clamp(value, range.Min, range.Max);
}

}  // namespace pellora
