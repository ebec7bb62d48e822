#include "generate/DesCrypt.h"

#include <array>
#include <bit>
#include <cstdint>

#include "core/Random.h"

// Table-driven DES for the traditional crypt(3) hash.
//
// The two 32-bit halves are kept rotated left by 5 ("R' = rotl(R, 5)"): the
// eight 6-bit groups of the expansion E are then consecutive runs of R', the
// even groups at bits 0, 24, 16 and 8 of R' and the odd groups at the same
// offsets of rotl(R', 4). So a round needs one rotation and eight lookups in
// tables that fold each S-box together with the permutation P; nothing ever
// builds the 48-bit expansion. Everything here is constant and computed at
// compile time, so hashing keeps no state and may run on any thread.

namespace pellora {
namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;

// The tables of the Data Encryption Standard, as 1-based bit numbers.
// clang-format off
constexpr std::array<int, 64> kIP = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr std::array<int, 32> kP = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                    2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr std::array<int, 56> kPC1 = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                      10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                      63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                      14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr std::array<int, 48> kPC2 = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10,
                                      23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
                                      41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
                                      44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr std::array<int, 16> kShifts = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// S1 to S8, each 4 rows of 16 columns.
constexpr std::array<std::array<int, 64>, 8> kS = {{
    {14, 4,  13, 1,  2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6,  12, 11, 9,  5,  3,  8,  4,  1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0,  15, 12, 8,  2,  4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7,  2,  13, 12, 0,  5,  10, 3,  13, 4,  7,  15, 2,
     8,  14, 12, 0,  1,  10, 6,  9,  11, 5,  0,  14, 7,  11, 10, 4,  13, 1,  5,  8,  12, 6,
     9,  3,  2,  15, 13, 8,  10, 1,  3,  15, 4,  2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6,  3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,  13, 7,  0,  9,  3,  4,
     6,  10, 2,  8,  5,  14, 12, 11, 15, 1,  13, 6,  4,  9,  8,  15, 3,  0,  11, 1,  2,  12,
     5,  10, 14, 7,  1,  10, 13, 0,  6,  9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3,  0,  6,  9,  10, 1,  2,  8,  5,  11, 12, 4,  15, 13, 8,  11, 5,  6,  15,
     0,  3,  4,  7,  2,  12, 1,  10, 14, 9,  10, 6,  9,  0,  12, 11, 7,  13, 15, 1,  3,  14,
     5,  2,  8,  4,  3,  15, 0,  6,  10, 1,  13, 8,  9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5,  0,  15, 10, 3,  9,  8,  6,  4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0,  14, 11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11, 10, 15, 4,  2,  7,  12,
     9,  5,  6,  1,  13, 14, 0,  11, 3,  8,  9,  14, 15, 5,  2,  8,  12, 3,  7,  0,  4,  10,
     1,  13, 11, 6,  4,  3,  2,  12, 9,  5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0,  8,  13, 3,  12, 9,  7,  5,  10, 6,  1,  13, 0,  11, 7,  4,  9,
     1,  10, 14, 3,  5,  12, 2,  15, 8,  6,  1,  4,  11, 13, 12, 3,  7,  14, 10, 15, 6,  8,
     0,  5,  9,  2,  6,  11, 13, 8,  1,  4,  10, 7,  9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2,  8,  4,  6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,  1,  15, 13, 8,  10, 3,
     7,  4,  12, 5,  6,  11, 0,  14, 9,  2,  7,  11, 4,  1,  9,  12, 14, 2,  0,  6,  10, 13,
     15, 3,  5,  8,  2,  1,  14, 7,  4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11},
}};
// clang-format on

// A mistyped S-box entry would still give 13 plausible characters; make it fail the build.
constexpr bool EveryRowIsAPermutation() {
  for (const auto& box : kS)
    for (int row = 0; row < 4; ++row) {
      int seen = 0;
      for (int col = 0; col < 16; ++col) seen |= 1 << box[row * 16 + col];
      if (seen != 0xffff) return false;
    }
  return true;
}
static_assert(EveryRowIsAPermutation());

// Where group k of the expansion sits: even groups in R', odd ones in
// rotl(R', 4), group 2m (or 2m + 1) at bit offset (32 - 8m) mod 32.
constexpr int GroupOffset(int k) { return (32 - 8 * (k / 2)) % 32; }

struct RoundKeyPart {
  u32 even;  // xored into R'
  u32 odd;   // xored into R' before its rotation by 4, hence stored rotated right by 4
};

struct Tables {
  u32 sp[8][64]{};                     // S-box k then P, in the rotated frame, by group value
  u32 pc1c[8][128]{}, pc1d[8][128]{};  // halves C and D contributed by key byte i of value v
  RoundKeyPart pc2[8][128]{};          // round key contributed by 7-bit chunk q of C then D
  u64 fpBit[64]{};                     // the output bit that each bit of the preoutput becomes
};

constexpr Tables BuildTables() {
  Tables t;
  for (int k = 0; k < 8; ++k)
    for (int g = 0; g < 64; ++g) {
      // The group's first bit is its most significant; first and last bits choose the row.
      const int row = ((g >> 4) & 2) | (g & 1);
      const int s = kS[k][row * 16 + ((g >> 1) & 15)];
      u32 w = 0;  // standard order: bit 1 is the most significant
      for (int i = 0; i < 32; ++i) {
        const int src = kP[i] - 1;
        if (src / 4 == k && ((s >> (3 - src % 4)) & 1)) w |= u32{1} << (31 - i);
      }
      t.sp[k][g] = std::rotl(w, 5);
    }
  // Each key byte fills eight positions of the key block: bits 6 to 0, then a 0.
  for (int i = 0; i < 8; ++i)
    for (int v = 0; v < 128; ++v)
      for (int o = 0; o < 56; ++o) {
        const int src = kPC1[o] - 1;
        if (src / 8 != i || src % 8 == 7 || !((v >> (6 - src % 8)) & 1)) continue;
        if (o < 28) t.pc1c[i][v] |= u32{1} << (27 - o);
        else t.pc1d[i][v] |= u32{1} << (55 - o);
      }
  for (int q = 0; q < 8; ++q)
    for (int v = 0; v < 128; ++v) {
      RoundKeyPart part{0, 0};
      for (int o = 0; o < 48; ++o) {
        const int src = kPC2[o] - 1;
        if (src / 7 != q || !((v >> (6 - src % 7)) & 1)) continue;
        const int k = o / 6;
        const u32 bit = u32{1} << (GroupOffset(k) + 5 - o % 6);
        (k % 2 == 0 ? part.even : part.odd) |= bit;
      }
      part.odd = std::rotr(part.odd, 4);
      t.pc2[q][v] = part;
    }
  // The final permutation undoes IP, which takes its bit i from bit IP[i].
  for (int i = 0; i < 64; ++i) t.fpBit[i] = u64{1} << (64 - kIP[i]);
  return t;
}

constexpr Tables kT = BuildTables();

constexpr std::string_view kAlphabet = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Value of a salt character. Characters outside the alphabet keep the
// arithmetic of the rule, cut to 6 bits, so every byte selects some salt.
constexpr u32 SaltValue(unsigned char c) {
  const int v = c > 'Z' ? c - 59 : c > '9' ? c - 53 : c - 46;
  return static_cast<u32>(v) & 63;
}

struct RoundKey {
  u32 even, odd;
};

inline u32 Feistel(u32 r, const RoundKey& k, u32 swapEven, u32 swapOdd) {
  // The salt swaps expansion bits of group 0 with group 4 and of group 1 with
  // group 5; in this frame both pairs lie 16 bits apart.
  const u32 v = r ^ (r >> 16);
  const u32 a = v & swapEven;
  const u32 b = v & swapOdd;
  const u32 x = r ^ a ^ (a << 16) ^ k.even;
  const u32 y = std::rotl(r ^ b ^ (b << 16) ^ k.odd, 4);
  return kT.sp[0][x & 63] ^ kT.sp[6][(x >> 8) & 63] ^ kT.sp[4][(x >> 16) & 63] ^ kT.sp[2][(x >> 24) & 63] ^
         kT.sp[1][y & 63] ^ kT.sp[7][(y >> 8) & 63] ^ kT.sp[5][(y >> 16) & 63] ^ kT.sp[3][(y >> 24) & 63];
}

}  // namespace

std::string DesCrypt(std::string_view key, std::string_view salt) {
  key = key.substr(0, key.find('\0'));
  if (key.size() > 8) key = key.substr(0, 8);

  u32 c = 0, d = 0;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const unsigned v = static_cast<unsigned char>(key[i]) & 0x7f;
    c |= kT.pc1c[i][v];
    d |= kT.pc1d[i][v];
  }
  std::array<RoundKey, 16> ks;
  for (int r = 0; r < 16; ++r) {
    const int s = kShifts[r];
    c = ((c << s) | (c >> (28 - s))) & 0x0fffffff;
    d = ((d << s) | (d >> (28 - s))) & 0x0fffffff;
    const RoundKeyPart* parts[8] = {
        &kT.pc2[0][c >> 21], &kT.pc2[1][(c >> 14) & 127], &kT.pc2[2][(c >> 7) & 127], &kT.pc2[3][c & 127],
        &kT.pc2[4][d >> 21], &kT.pc2[5][(d >> 14) & 127], &kT.pc2[6][(d >> 7) & 127], &kT.pc2[7][d & 127]};
    RoundKey k{0, 0};
    for (const RoundKeyPart* p : parts) {
      k.even |= p->even;
      k.odd |= p->odd;
    }
    ks[static_cast<std::size_t>(r)] = k;
  }

  // A salt shorter than two characters is completed with '.', which swaps nothing.
  const char s0 = salt.size() > 0 ? salt[0] : '.';
  const char s1 = salt.size() > 1 ? salt[1] : '.';
  u32 swapEven = 0, swapOdd = 0;
  const u32 v0 = SaltValue(static_cast<unsigned char>(s0));
  const u32 v1 = SaltValue(static_cast<unsigned char>(s1));
  for (int j = 0; j < 6; ++j) {
    if ((v0 >> j) & 1) swapEven |= u32{1} << (5 - j);
    if ((v1 >> j) & 1) swapOdd |= u32{1} << ((17 - j) % 16);
  }

  // The block starts at zero, and the final permutation of one encryption
  // undoes the initial permutation of the next, so the 25 encryptions run
  // back to back with only the halves exchanged in between.
  u32 l = 0, r = 0;
  for (int n = 0; n < 25; ++n) {
    for (std::size_t i = 0; i < 16; i += 2) {
      l ^= Feistel(r, ks[i], swapEven, swapOdd);
      r ^= Feistel(l, ks[i + 1], swapEven, swapOdd);
    }
    if (n < 24) std::swap(l, r);
  }

  const u64 pre = (u64{std::rotr(r, 5)} << 32) | std::rotr(l, 5);
  u64 block = 0;
  for (int i = 0; i < 64; ++i) block |= kT.fpBit[i] & (u64{0} - ((pre >> (63 - i)) & 1));  // no branch to mispredict

  std::string out(13, '\0');
  out[0] = s0;
  out[1] = s1;
  for (int g = 0; g < 10; ++g) out[static_cast<std::size_t>(2 + g)] = kAlphabet[(block >> (58 - 6 * g)) & 63];
  out[12] = kAlphabet[(block << 2) & 63];
  return out;
}

std::string HashPassword(std::string_view password) { return DesCrypt(password, RandomString(2, 0, 0)); }

}  // namespace pellora
