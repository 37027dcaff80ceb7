#include "json/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace vsci::json {
namespace {

// Shortest round-trip digits of a finite, non-zero magnitude: d1 d2 ... dk
// (no trailing zeros) and the decimal exponent of d1.
struct Digits {
  char d[24];
  int count = 0;
  int exp10 = 0;
};

Digits shortest_digits(double magnitude) {
  char buf[40];
  // Scientific form with no precision gives exactly the shortest digits:
  // "d[.ddd]e[+-]XX".
  const char* end = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific).ptr;
  Digits out;
  const char* p = buf;
  out.d[0] = *p++;
  int k = 1;
  if (*p == '.') {
    for (++p; *p != 'e'; ++p) out.d[k++] = *p;
  }
  ++p;  // 'e'
  const bool neg = *p++ == '-';
  int e = 0;
  for (; p < end; ++p) e = e * 10 + (*p - '0');
  out.exp10 = neg ? -e : e;
  while (k > 1 && out.d[k - 1] == '0') --k;
  out.count = k;
  return out;
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
    return put(p, g.d, k);
  }
  if (k <= e + 1) {
    p = put(p, g.d, k);
    p = put_zeros(p, e + 1 - k);
    *p++ = '.';
    *p++ = '0';
    return p;
  }
  p = put(p, g.d, e + 1);
  *p++ = '.';
  return put(p, g.d + e + 1, k - e - 1);
}

char* put_scientific(char* p, const Digits& g) {
  *p++ = g.d[0];
  if (g.count > 1) {
    *p++ = '.';
    p = put(p, g.d + 1, g.count - 1);
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

}  // namespace

void append_f64(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  // At most: sign, 17 digits, 5 leading zeros of a small number, "0.", or
  // the scientific form with a three-digit exponent.
  char buf[40];
  char* p = buf;
  if (char* end = put_zero_or_sign(p, v)) {
    out.append(buf, end);
    return;
  }
  const Digits g = shortest_digits(std::fabs(v));
  p = g.exp10 >= -5 && g.exp10 <= 15 ? put_plain(p, g) : put_scientific(p, g);
  out.append(buf, p);
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
  p = put_plain(p, shortest_digits(std::fabs(v)));
  out.append(buf, p);
}

}  // namespace vsci::json
