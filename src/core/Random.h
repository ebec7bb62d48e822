#pragma once
#include <cstdint>
#include <string>

namespace pellora {

// Character class and letter case, as the radio items that choose them.
enum CharClass : int { ClassRandom = 0, ClassNumeral = 1, ClassLetter = 2 };
enum LetterCase : int { CaseRandom = 0, CaseUpper = 1, CaseLower = 2 };

// A text of length characters (5, 6 or 7 when length <= 0) drawn uniformly
// from the positions of the 72-character table that class and case select.
// Draws come from the operating system's secure source, so generated
// passwords and salts cannot be guessed.
std::string RandomString(int length, int charClass, int letterCase);

// A uniform draw from lo to hi, both included (lo <= hi).
std::uint32_t RandomInRange(std::uint32_t lo, std::uint32_t hi);

// Discards what the generator has buffered, so the next draws come fresh
// from the operating system. Called where the program re-seeds.
void SeedRandom();

}  // namespace pellora
