// Floats are written as the shortest digits that read back to the same double,
// so a number survives a round trip through any document of the system.
#include "json/number_format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "json/powers_of_ten.h"

namespace vsci::json {
namespace {

using u128 = unsigned __int128;

// Shortest round-trip digits of a finite, non-zero magnitude: `count` digits
// at `buf + start` (no trailing zeros), and the decimal exponent of the first.
// The buffer is larger than any digit string so that writers may copy fixed
// sizes from it.
struct Digits {
  char buf[64] = {};
  int start = 0;
  int count = 0;
  int exp10 = 0;
  const char* d() const { return buf + start; }
};

// Number of decimal digits of v > 0.
int decimal_length(std::uint64_t v) {
  const int t = (64 - std::countl_zero(v)) * 1233 >> 12;  // floor(log10(2^bits))
  return t + (v >= kPow10[t]);
}

// The eight decimal digits of v < 10^8 as byte values 0..9, the first digit
// in the lowest byte, computed lane-parallel: two 4-digit halves in 32-bit
// lanes split by 100, then four 2-digit parts in 16-bit lanes split by 10.
// The multipliers divide exactly in the ranges used (n < 10^4 by 100 as
// n * 10486 >> 20, n < 100 by 10 as n * 103 >> 10), and no lane overflows.
[[gnu::always_inline]] inline std::uint64_t eight_digits(std::uint32_t v) {
  const std::uint64_t halves = (v / 10000) | (static_cast<std::uint64_t>(v % 10000) << 32);
  const std::uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007F0000007Full;
  const std::uint64_t quarters = hundreds | ((halves - hundreds * 100) << 16);
  const std::uint64_t tens = ((quarters * 103) >> 10) & 0x000F000F000F000Full;
  return tens | ((quarters - tens * 10) << 8);
}

// Stores the eight digits of a word from eight_digits as characters.
[[gnu::always_inline]] inline void put_digit_word(char* p, std::uint64_t digits) {
  const std::uint64_t ascii = digits | 0x3030303030303030ull;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &ascii, 8);
  } else {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<char>(ascii >> (8 * i));
  }
}

// The general case: std::to_chars in scientific form with no precision gives
// exactly the shortest digits, "d[.ddd]e[+-]XX".
Digits shortest_digits_general(double magnitude) {
  char buf[48];
  const char* end = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific).ptr;
  Digits out;
  const char* p = buf;
  out.buf[0] = *p++;
  int k = 1;
  if (*p == '.') {
    for (++p; *p != 'e'; ++p) out.buf[k++] = *p;
  }
  ++p;  // 'e'
  const bool neg = *p++ == '-';
  int e = 0;
  for (; p < end; ++p) e = e * 10 + (*p - '0');
  out.exp10 = neg ? -e : e;
  while (k > 1 && out.buf[k - 1] == '0') --k;
  out.count = k;
  return out;
}

// A double v = ip + frac / 2^shift with 0 < frac < 2^shift <= 2^62, whose
// rounding interval is v +- 2^-(shift+1) (never a power of two, so the
// interval is symmetric). All arithmetic below is exact integer arithmetic.
struct Split {
  std::uint64_t ip;
  std::uint64_t frac;
  int shift;
};

enum class Probe { None, Down, Up, Unsure };

// Looks at the two decimals with k fraction digits that bracket v: the
// truncation and the next one up. Says which of them lies strictly inside the
// rounding interval (the nearer one when both do), giving its fraction digits
// in `t`. A candidate on the interval's edge, or two candidates equally near,
// is left to the general case (Unsure). `scaled` is frac * 10^k.
[[gnu::always_inline]] inline Probe probe(const Split& x, u128 scaled, int k, std::uint64_t& t) {
  const std::uint64_t one = std::uint64_t{1} << x.shift;
  t = static_cast<std::uint64_t>(scaled >> x.shift);
  const std::uint64_t below = static_cast<std::uint64_t>(scaled) & (one - 1);  // v - truncation
  const std::uint64_t above = one - below;                                     // truncation + 1 - v
  // Inside the interval: distance < 2^-(shift+1), i.e. 2 * scaled < 10^k.
  const std::uint64_t half = kPow10[k];
  if (2 * below == half || 2 * above == half) return Probe::Unsure;
  const bool down = 2 * below < half;
  const bool up = 2 * above < half;
  if (down && up) {
    if (below == above) return Probe::Unsure;
    if (below < above) return Probe::Down;
    ++t;
    return Probe::Up;
  }
  if (down) return Probe::Down;
  if (up) {
    ++t;
    return Probe::Up;
  }
  return Probe::None;
}

// The shortest decimal of a magnitude in fixed-point form: ip + t / 10^k with
// t < 10^k (t = 0 and k = 0 for a whole number).
struct Fixed {
  std::uint64_t ip;
  std::uint64_t t;
  int k;
};

// Shortest digits computed exactly for magnitudes in [2^-10, 2^53), the range
// prices, sizes and rates live in; their document form is always plain. Gives
// false where it cannot decide with certainty; the general case then does.
//
// The shortest decimal is the one with the fewest fraction digits k that has a
// candidate inside the rounding interval (a decimal with k digits also has
// k+1), and among those of that length the nearest. Seventeen significant
// digits always suffice. No whole number lies in the interval of a fraction
// (the nearest whole number is a double of its own), so a candidate keeps the
// integer part of v and its fraction digits stay below 10^k.
//
// Fifteen, sixteen and seventeen digits are probed in turn. A candidate of
// fifteen digits stands for every shorter one too: at most one decimal of 15
// significant digits or fewer lies in the interval (their spacing exceeds
// four ulps), and its trailing zeros are dropped when it is written.
bool shortest_fixed(double magnitude, Fixed& out) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(magnitude);
  const int biased = static_cast<int>(bits >> 52);
  if (biased < 1013 || biased > 1075) return false;
  const std::uint64_t stored = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t m = stored | (std::uint64_t{1} << 52);
  const int shift = 1075 - biased;  // 0..62
  const std::uint64_t ip = m >> shift;
  const std::uint64_t frac = m & ((std::uint64_t{1} << shift) - 1);
  if (frac == 0) {
    // A whole number below 2^53: no other whole number lies within half an
    // ulp of it, and a shorter decimal would have to be a whole number.
    out = {ip, 0, 0};
    return true;
  }
  // A power of two has a narrower interval below it: left to the general case.
  if (stored == 0) return false;
  int base;  // significant digits of a candidate with k fraction digits: base + k
  if (ip > 0) {
    base = decimal_length(ip);
  } else {
    int zeros = 0;  // zero digits right after the point
    while (static_cast<u128>(frac) * kPow10[zeros + 1] < (u128{1} << shift)) ++zeros;
    base = -zeros;
  }
  const int k17 = 17 - base;
  if (k17 > 19) return false;
  const Split x{ip, frac, shift};
  // A candidate with no fraction digit would be a whole number.
  int k = k17 - 2 >= 1 ? k17 - 2 : 1;
  u128 scaled = static_cast<u128>(frac) * kPow10[k];
  for (;; ++k, scaled *= 10) {
    std::uint64_t t = 0;
    const Probe found = probe(x, scaled, k, t);
    if (found == Probe::Unsure) return false;
    if (found != Probe::None) {
      out = {ip, t, k};
      return true;
    }
    if (k == k17) return false;
  }
}

char* put(char* p, const char* s, int n) {
  std::memcpy(p, s, static_cast<std::size_t>(n));
  return p + n;
}

char* put_zeros(char* p, int n) {
  std::memset(p, '0', static_cast<std::size_t>(n));
  return p + n;
}

// Plain decimal; needs k + |e| + 3 bytes.
char* put_plain(char* p, const Digits& g) {
  const int k = g.count;
  const int e = g.exp10;
  if (e < 0) {
    *p++ = '0';
    *p++ = '.';
    p = put_zeros(p, -e - 1);
    return put(p, g.d(), k);
  }
  if (k <= e + 1) {
    p = put(p, g.d(), k);
    p = put_zeros(p, e + 1 - k);
    *p++ = '.';
    *p++ = '0';
    return p;
  }
  p = put(p, g.d(), e + 1);
  *p++ = '.';
  return put(p, g.d() + e + 1, k - e - 1);
}

char* put_scientific(char* p, const Digits& g) {
  *p++ = g.d()[0];
  if (g.count > 1) {
    *p++ = '.';
    p = put(p, g.d() + 1, g.count - 1);
  }
  *p++ = 'e';
  *p++ = g.exp10 < 0 ? '-' : '+';
  return std::to_chars(p, p + 8, std::abs(g.exp10)).ptr;
}

// Handles zero and the sign; returns nullptr when digits are still needed.
char* put_zero_or_sign(char*& p, double v) {
  if (v == 0.0) {
    if (std::signbit(v)) *p++ = '-';
    *p++ = '0';
    *p++ = '.';
    *p++ = '0';
    return p;
  }
  if (std::signbit(v)) *p++ = '-';
  return nullptr;
}

// Writes the `len` (1..8) last digits of v < 10^8; 8 bytes of room.
char* put_short(char* p, std::uint32_t v, int len) {
  // The digits come first-lowest; the unwanted leading zeros are the low bytes.
  put_digit_word(p, eight_digits(v) >> (8 * (8 - len)));
  return p + len;
}

char* put_u64(char* p, std::uint64_t v) {
  if (v < 100000000) return put_short(p, static_cast<std::uint32_t>(v), v == 0 ? 1 : decimal_length(v));
  const std::uint64_t high = v / 100000000;
  const auto low = static_cast<std::uint32_t>(v % 100000000);
  if (high < 100000000) {
    p = put_short(p, static_cast<std::uint32_t>(high), decimal_length(high));
  } else {
    const std::uint64_t top = high / 100000000;  // below 10^4
    p = put_short(p, static_cast<std::uint32_t>(top), decimal_length(top));
    put_digit_word(p, eight_digits(static_cast<std::uint32_t>(high % 100000000)));
    p += 8;
  }
  put_digit_word(p, eight_digits(low));
  return p + 8;
}

// "ip.ddd": the k fraction digits of t without trailing zeros, or "ip.0".
// Up to sixteen places, the fraction is scaled to exactly 8 or 16 digits and
// written as whole words; the trailing zeros (the scaling's and the
// fraction's own) are the zero bytes at the top of the last word, and the
// length stops before them. Needs 48 bytes of room.
[[gnu::always_inline]] inline char* put_fixed(char* p, const Fixed& f) {
  if (f.ip < 100000000) {
    // The integer part's leading zeros are the zero bytes at the bottom of
    // its digit word (one digit stays for 0).
    const std::uint64_t w = eight_digits(static_cast<std::uint32_t>(f.ip));
    const int len = f.ip == 0 ? 1 : 8 - std::countr_zero(w) / 8;
    put_digit_word(p, w >> (8 * (8 - len)));
    p += len;
  } else {
    p = put_u64(p, f.ip);
  }
  *p++ = '.';
  if (f.k == 0) {
    *p++ = '0';
    return p;
  }
  // t > 0: a candidate of a fraction is never a whole number.
  if (f.k <= 8) {
    const std::uint64_t w = eight_digits(static_cast<std::uint32_t>(f.t * kPow10[8 - f.k]));
    put_digit_word(p, w);
    return p + 8 - std::countl_zero(w) / 8;
  }
  if (f.k <= 16) {
    const std::uint64_t t16 = f.t * kPow10[16 - f.k];
    const std::uint64_t high = eight_digits(static_cast<std::uint32_t>(t16 / 100000000));
    const std::uint64_t low = eight_digits(static_cast<std::uint32_t>(t16 % 100000000));
    put_digit_word(p, high);
    put_digit_word(p + 8, low);
    return low != 0 ? p + 16 - std::countl_zero(low) / 8 : p + 8 - std::countl_zero(high) / 8;
  }
  // Seventeen to nineteen places: 24 zero-padded places copied at an offset.
  char digits[48] = {};
  const std::uint64_t top = eight_digits(static_cast<std::uint32_t>(f.t / 10000000000000000ull));
  const std::uint64_t mid = eight_digits(static_cast<std::uint32_t>(f.t / 100000000 % 100000000));
  const std::uint64_t low = eight_digits(static_cast<std::uint32_t>(f.t % 100000000));
  put_digit_word(digits, top);
  put_digit_word(digits + 8, mid);
  put_digit_word(digits + 16, low);
  int zeros = std::countl_zero(top) / 8 + 16;
  if (low != 0) {
    zeros = std::countl_zero(low) / 8;
  } else if (mid != 0) {
    zeros = 8 + std::countl_zero(mid) / 8;
  }
  std::memcpy(p, digits + 24 - f.k, 24);
  return p + (f.k - zeros);
}

}  // namespace

char* write_u64(char* p, std::uint64_t v) { return put_u64(p, v); }

char* write_i64(char* p, std::int64_t v) {
  if (v >= 0) return put_u64(p, static_cast<std::uint64_t>(v));
  *p++ = '-';
  return put_u64(p, 0 - static_cast<std::uint64_t>(v));
}

char* write_f64(char* p, double v) {
  if (!std::isfinite(v)) {
    std::memcpy(p, "null", 4);
    return p + 4;
  }
  // The text itself is at most 24 bytes (sign, "0.", 4 zeros, 17 digits);
  // the fixed-point form's fixed-size copies reach up to 42 bytes past `p`.
  if (char* end = put_zero_or_sign(p, v)) return end;
  const double magnitude = std::fabs(v);
  if (Fixed f; shortest_fixed(magnitude, f)) return put_fixed(p, f);
  const Digits g = shortest_digits_general(magnitude);
  return g.exp10 >= -5 && g.exp10 <= 15 ? put_plain(p, g) : put_scientific(p, g);
}

void append_f64(std::string& out, double v) {
  char buf[kMaxF64Chars];
  out.append(buf, write_f64(buf, v));
}

void append_plain_f64(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "NaN";
    return;
  }
  if (std::isinf(v)) {
    out += v < 0 ? "-inf" : "inf";
    return;
  }
  // Up to 309 integer digits or 324 fractional ones.
  char buf[360];
  char* p = buf;
  if (char* end = put_zero_or_sign(p, v)) {
    out.append(buf, end);
    return;
  }
  const double magnitude = std::fabs(v);
  if (Fixed f; shortest_fixed(magnitude, f)) {
    p = put_fixed(p, f);
  } else {
    p = put_plain(p, shortest_digits_general(magnitude));
  }
  out.append(buf, p);
}

}  // namespace vsci::json
