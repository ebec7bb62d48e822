#include "core/Collation.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace pellora {
namespace {

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorCloser>;

// ICU maps a C or POSIX environment to its "en_US_POSIX" locale, which orders
// ASCII by code point (Alice before alice); the root collation is the
// neutral alphabetical order wanted there.
std::string CollationLocale() {
  std::string locale = uloc_getDefault();
  if (locale.empty() || locale == "c" || locale == "C" || locale.find("POSIX") != std::string::npos ||
      locale.find("posix") != std::string::npos)
    return "";
  return locale;
}

CollatorPtr OpenCollator(UCollationStrength strength) {
  UErrorCode status = U_ZERO_ERROR;
  CollatorPtr collator(ucol_open(CollationLocale().c_str(), &status));
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    collator.reset(ucol_open("", &status));
  }
  ucol_setStrength(collator.get(), strength);
  return collator;
}

// ICU collators are not safe for concurrent use; each thread keeps its own.
UCollator* TertiaryCollator() {
  thread_local CollatorPtr collator = OpenCollator(UCOL_TERTIARY);
  return collator.get();
}

UCollator* SecondaryCollator() {
  thread_local CollatorPtr collator = OpenCollator(UCOL_SECONDARY);
  return collator.get();
}

std::u16string ToUtf16(std::string_view text) {
  std::u16string out(text.size() + 1, u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  out.resize(U_SUCCESS(status) ? static_cast<size_t>(length) : 0);
  return out;
}

int Compare(UCollator* collator, std::string_view a, std::string_view b) {
  std::u16string ua = ToUtf16(a), ub = ToUtf16(b);
  return ucol_strcoll(collator, reinterpret_cast<const UChar*>(ua.data()), static_cast<int32_t>(ua.size()),
                      reinterpret_cast<const UChar*>(ub.data()), static_cast<int32_t>(ub.size()));
}

}  // namespace

int CompareUserNames(std::string_view a, std::string_view b) { return Compare(TertiaryCollator(), a, b); }

std::string UserNameSortKey(std::string_view name) {
  std::u16string text = ToUtf16(name);
  const auto* chars = reinterpret_cast<const UChar*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  std::string key(64, '\0');
  int32_t needed = ucol_getSortKey(TertiaryCollator(), chars, length, reinterpret_cast<uint8_t*>(key.data()),
                                   static_cast<int32_t>(key.size()));
  if (needed > static_cast<int32_t>(key.size())) {
    key.resize(static_cast<size_t>(needed));
    needed = ucol_getSortKey(TertiaryCollator(), chars, length, reinterpret_cast<uint8_t*>(key.data()), needed);
  }
  key.resize(needed > 0 ? static_cast<size_t>(needed - 1) : 0);  // drop ICU's terminating zero
  return key;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) { return Compare(SecondaryCollator(), a, b) == 0; }

}  // namespace pellora
