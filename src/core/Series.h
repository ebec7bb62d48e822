#pragma once
#include <cstddef>
#include <string>

#include "core/UserList.h"

namespace pellora {

// How the users of a random series are drawn: lengths, and character class
// and letter case as the indexes of the radio items that choose them.
struct SeriesSettings {
  int Count = 3;
  int UserLength = 6;
  int UserChars = 0;
  int UserCase = 0;
  int PasswordLength = 6;
  int PasswordChars = 0;
  int PasswordCase = 0;
};

// Draws a name that collides with an existing user this many times in a row
// and the series gives up. A short length with a small class can run out of
// names (length 1 of digits has ten); the bound keeps the command from
// drawing forever then, and is large enough that a name space with even one
// free name in a thousand is found again with near certainty.
inline constexpr int kMaxNameDraws = 20000;

// Adds settings.Count enabled users with random names unique under FindUser
// (names made earlier in the same series count) and random passwords, each
// linked with InsertSorted. Stops early, keeping the users made so far, when
// no free name turns up within kMaxNameDraws draws. Returns how many users
// were added.
std::size_t CreateSeries(UserList& users, const SeriesSettings& settings);

// What a series that stopped early says: how many of how many were made, and why.
std::string ShortSeriesText(std::size_t made, int asked);

}  // namespace pellora
