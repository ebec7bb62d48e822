#pragma once
#include <string>
#include <string_view>

namespace pellora {

// User-name collation of the default locale at tertiary strength:
// alice < Alice < bob < Bob. Two names are the same user exactly when this
// returns 0. Names are UTF-8; invalid sequences collate as U+FFFD.
int CompareUserNames(std::string_view a, std::string_view b);

// The same collation as a binary key: comparing two keys bytewise gives the
// sign of CompareUserNames of their names.
std::string UserNameSortKey(std::string_view name);

// Case-insensitive (secondary strength) equality, for "false" in CSV files.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace pellora
