#include "json/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

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
  // Scientific form with no precision gives exactly the shortest digits.
  auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific);
  Digits out;
  const char* p = buf;
  for (; p < res.ptr && *p != 'e'; ++p) {
    if (*p != '.') out.d[out.count++] = *p;
  }
  // p points at 'e'; the exponent has a sign and at least two digits.
  ++p;
  const bool neg = *p == '-';
  ++p;
  int e = 0;
  for (; p < res.ptr; ++p) e = e * 10 + (*p - '0');
  out.exp10 = neg ? -e : e;
  while (out.count > 1 && out.d[out.count - 1] == '0') --out.count;
  return out;
}

void append_plain(std::string& out, const Digits& g) {
  const int k = g.count;
  const int e = g.exp10;
  if (e < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-e - 1), '0');
    out.append(g.d, static_cast<std::size_t>(k));
  } else if (k <= e + 1) {
    out.append(g.d, static_cast<std::size_t>(k));
    out.append(static_cast<std::size_t>(e + 1 - k), '0');
    out += ".0";
  } else {
    out.append(g.d, static_cast<std::size_t>(e + 1));
    out += '.';
    out.append(g.d + e + 1, static_cast<std::size_t>(k - e - 1));
  }
}

void append_scientific(std::string& out, const Digits& g) {
  out += g.d[0];
  if (g.count > 1) {
    out += '.';
    out.append(g.d + 1, static_cast<std::size_t>(g.count - 1));
  }
  out += 'e';
  out += g.exp10 < 0 ? '-' : '+';
  char buf[8];
  auto res = std::to_chars(buf, buf + sizeof buf, std::abs(g.exp10));
  out.append(buf, res.ptr);
}

// Handles what both forms share; returns false when digits are still needed.
bool append_special(std::string& out, double v) {
  if (v == 0.0) {
    out += std::signbit(v) ? "-0.0" : "0.0";
    return true;
  }
  if (std::signbit(v)) out += '-';
  return false;
}

}  // namespace

void append_f64(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  if (append_special(out, v)) return;
  const Digits g = shortest_digits(std::fabs(v));
  if (g.exp10 >= -5 && g.exp10 <= 15) {
    append_plain(out, g);
  } else {
    append_scientific(out, g);
  }
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
  if (append_special(out, v)) return;
  append_plain(out, shortest_digits(std::fabs(v)));
}

}  // namespace vsci::json
