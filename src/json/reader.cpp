// One tokenizer serves both the streaming reads of large requests and the
// document tree, so both report the same failure at the same position.
#include "json/reader.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "json/powers_of_ten.h"
#include "json/scanner.h"
#include "util/interrupt.h"

namespace vsci::json {
namespace {

// Bytes a string may hold as they are: printable ASCII except quote and
// backslash. Everything else takes the slow path of the string scanner.
struct PlainTable {
  bool plain[256];
  constexpr PlainTable() : plain() {
    for (int c = 0x20; c < 0x80; ++c) plain[c] = c != '"' && c != '\\';
  }
};
constexpr PlainTable kPlain;

bool is_digit(int c) { return c >= '0' && c <= '9'; }


// Number of leading bytes of `w` that are decimal digits. A byte is a digit
// when its high nibble is 3 and adding 6 keeps it so; a carry out of a
// non-digit byte can only disturb the bytes after it.
int leading_digits(std::uint64_t w) {
  const std::uint64_t off = ((w & bytes_of(0xF0)) ^ bytes_of(0x30)) | (((w + bytes_of(0x06)) & bytes_of(0xF0)) ^ bytes_of(0x30));
  return off == 0 ? 8 : std::countr_zero(off) / 8;
}

// The value of eight digit bytes (already less '0'), the first digit lowest:
// pairs, then groups of four, then all eight, each step one multiplication
// that adds ten, a hundred or ten thousand times the earlier part to the
// later one within the same lane.
std::uint64_t eight_digit_value(std::uint64_t v) {
  v = ((v * (1 + (10u << 8))) >> 8) & 0x00FF00FF00FF00FFull;
  v = ((v * (1 + (100u << 16))) >> 16) & 0x0000FFFF0000FFFFull;
  return (v * (1 + (10000ull << 32))) >> 32;
}


// Skips whole words of printable ASCII other than quote and backslash,
// stopping at the word holding the first other byte; the byte loop of the
// string scanner goes on from there.
[[gnu::always_inline]] inline std::size_t skip_plain(const char* s, std::size_t i, std::size_t n) {
  while (n - i >= 8) {
    const std::uint64_t w = load8(s + i);
    const std::uint64_t stop = bytes_below(w, 0x20) | bytes_equal(w, '"') | bytes_equal(w, '\\') | (w & bytes_of(0x80));
    if (stop != 0) return i + static_cast<std::size_t>(std::countr_zero(stop) / 8);
    i += 8;
  }
  return i;
}

// The end of the run of digits starting at s[i], the run accumulated into
// `mant` (which wraps beyond 19 digits; callers only use it below that).
template <bool Accumulate>
[[gnu::always_inline]] inline std::size_t take_digits(const char* s, std::size_t i, std::size_t n, std::uint64_t& mant) {
  while (n - i >= 8) {
    const std::uint64_t w = load8(s + i);
    const int k = leading_digits(w);
    if constexpr (Accumulate) {
      if (k == 8) {
        mant = mant * 100000000 + eight_digit_value(w - bytes_of('0'));
      } else if (k > 0) {
        // Shifting the k digits to the top leaves zeros, leading ones, below.
        mant = mant * kPow10[k] + eight_digit_value((w - bytes_of('0')) << (8 * (8 - k)));
      }
    }
    i += static_cast<std::size_t>(k);
    if (k < 8) return i;
  }
  for (; i < n && is_digit(s[i]); ++i) {
    if constexpr (Accumulate) mant = mant * 10 + static_cast<std::uint64_t>(s[i] - '0');
  }
  return i;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_cont(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at `s` (first byte >= 0x80), or 0.
std::size_t utf8_length(const unsigned char* s, std::size_t avail) {
  const unsigned char c = s[0];
  unsigned char lo = 0x80, hi = 0xBF;
  std::size_t len;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;  // no encoded surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (avail < len) return 0;
  if (s[1] < lo || s[1] > hi) return 0;
  for (std::size_t k = 2; k < len; ++k) {
    if (!is_cont(s[k])) return 0;
  }
  return len;
}

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

using u128 = unsigned __int128;

// 10^-k for k = 1..19 as a 64-bit mantissa truncated from below:
// floor(2^(63 + g) / 10^k) with g the bit length of 10^k, which puts it in
// [2^63, 2^64).
struct NegativePowers {
  std::uint64_t mant[20];
  int bits[20];  // g
  constexpr NegativePowers() : mant(), bits() {
    for (int k = 1; k < 20; ++k) {
      bits[k] = std::bit_width(kPow10[k]);
      mant[k] = static_cast<std::uint64_t>((u128{1} << (63 + bits[k])) / kPow10[k]);
    }
  }
};
constexpr NegativePowers kNegPow10;

// n / 10^k (0 < n < 2^64, 1 <= k <= 19) rounded to the nearest double, by one
// multiplication, when the rounding can be decided from it; false otherwise.
//
// With n shifted up by z to w in [2^63, 2^64) and T the truncated mantissa
// above, P = w * T lies below the exact w * 10^-k * 2^(63+g) by less than
// w < 2^64, i.e. by less than one unit of its high word h. The top 53 bits
// of h are the double's digits when its low s = 10 or 11 bits r stay clear
// of the halfway point: for r <= half - 2 the exact value is below it (round
// down), for r >= half + 1 above it (round up). The two values in between are
// left to exact arithmetic. The value is at least 1e-19 and below 2^64, so it
// is never subnormal and never overflows.
[[gnu::always_inline]] inline bool product_quotient(std::uint64_t n, int k, double& out) {
  const int z = std::countl_zero(n);
  const u128 p = static_cast<u128>(n << z) * kNegPow10.mant[k];
  const auto h = static_cast<std::uint64_t>(p >> 64);
  const int s = 10 + static_cast<int>(h >> 63);
  const std::uint64_t r = h & ((std::uint64_t{1} << s) - 1);
  const std::uint64_t half = std::uint64_t{1} << (s - 1);
  if (r + 1 == half || r == half) return false;
  const std::uint64_t m = (h >> s) + (r > half);  // 2^52 .. 2^53
  // The value is m * 2^(s + 1 - z - g).
  const int e2 = s + 1 - z - kNegPow10.bits[k];
  const std::uint64_t bits = (static_cast<std::uint64_t>(e2 + 1075) << 52) + m - (std::uint64_t{1} << 52);
  out = std::bit_cast<double>(bits);
  return true;
}

// The double nearest to n / 10^k (0 < n < 10^19, 0 <= k <= 19), when it can
// be shown to be that one; false otherwise.
//
// Up to 2^53 both n and 10^k are doubles, so one correctly rounded division
// gives the answer. Beyond, the quotient of the two doubles lies within about
// one ulp of it, and exact integer arithmetic decides. A candidate
// x = M * 2^E is the answer when n / 10^k lies strictly inside its rounding
// interval (M - 1/2, M + 1/2) * 2^E, that is when the scaled difference
//   d = n * 2^(1-E) - 2M * 10^k
// satisfies |d| < 10^k; all of it fits in 128 bits here. Its neighbour
// M + 1 (M - 1) has d - 2 * 10^k (d + 2 * 10^k), so one difference settles
// both neighbours too, without a second round. Powers of two (whose interval
// is narrower below), exact ties and anything further off are left to
// from_chars.
bool exact_quotient(std::uint64_t n, int k, double& out) {
  const double x = static_cast<double>(n) / kPow10d[k];
  if (n <= (std::uint64_t{1} << 53)) {
    out = x;
    return true;
  }
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const std::uint64_t stored = bits & ((std::uint64_t{1} << 52) - 1);
  // x lies within an ulp or so of n / 10^k, so n * 2^(1-E) stays near
  // 2M * 10^k < 2^118: well inside the signed 128-bit range.
  const int sh = 1076 - static_cast<int>(bits >> 52);  // 1 - E
  if (stored == 0 || sh < 0 || sh > 64) return false;
  using i128 = __int128;
  const i128 unit = kPow10[k];
  const i128 d = static_cast<i128>(static_cast<u128>(n) << sh) -
                 static_cast<i128>(static_cast<u128>(2 * (stored | (std::uint64_t{1} << 52))) * kPow10[k]);
  const bool up = d > unit;
  const bool down = d < -unit;
  // Off by more than one step, on an edge, or stepping onto a power of two.
  const bool unsure = d >= 3 * unit || d <= -3 * unit || d == unit || d == -unit || d == 3 * unit || d == -3 * unit ||
                      (up && stored == (std::uint64_t{1} << 52) - 1) || (down && stored == 1);
  if (unsure) return false;
  out = std::bit_cast<double>(bits + up - down);
  return true;
}

// The double nearest to n / 10^k (0 < n < 10^19, 0 <= k <= 19), when the
// quick ways can tell: with a fraction one multiplication nearly always
// settles it, and exact_quotient takes what it leaves.
[[gnu::always_inline]] inline bool nearest_quotient(std::uint64_t n, int k, double& out) {
  return (k > 0 && product_quotient(n, k, out)) || exact_quotient(n, k, out);
}

// A finite decimal that from_chars could not represent: true when it is too
// large, false when it is too small (and so reads as a signed zero).
bool magnitude_too_large(const char* s, const char* e) {
  if (*s == '-') ++s;
  long long order = 0;  // decimal exponent of the first non-zero digit
  bool found = false;
  long long int_digits = 0;
  const char* q = s;
  for (; q < e && is_digit(*q); ++q, ++int_digits) {
    if (!found && *q != '0') {
      found = true;
      order = -int_digits;  // completed below once int_digits is known
    }
  }
  if (found) order += int_digits - 1;
  if (q < e && *q == '.') {
    ++q;
    for (long long j = 0; q < e && is_digit(*q); ++q, ++j) {
      if (!found && *q != '0') {
        found = true;
        order = -(j + 1);
      }
    }
  }
  if (!found) return false;
  long long exp = 0;
  if (q < e && (*q == 'e' || *q == 'E')) {
    ++q;
    bool neg = false;
    if (*q == '+' || *q == '-') neg = *q++ == '-';
    for (; q < e; ++q) {
      if (exp < 1000000000LL) exp = exp * 10 + (*q - '0');
    }
    if (neg) exp = -exp;
  }
  return order + exp >= 0;
}

// A number literal of the common shape: an optional minus, an integer part
// without leading zeros, an optional fraction, no exponent, at most 19 digits
// (a lone leading zero not counted).
struct PlainNumber {
  std::uint64_t mant;  // all digits, integer and fraction
  int frac_digits;
  bool negative;
  bool is_float;  // a fraction was written
  std::size_t end;
};

// Scans such a literal at s[i]; false for anything else, which the general
// scanner then reads from the same place.
[[gnu::always_inline]] inline bool scan_plain_number(const char* s, std::size_t i, std::size_t n, PlainNumber& out) {
  out.negative = i < n && s[i] == '-';
  if (out.negative) ++i;
  if (i >= n) return false;
  std::uint64_t mant = 0;
  std::size_t digits = 0;
  if (s[i] == '0') {
    ++i;
    if (i < n && is_digit(s[i])) return false;
  } else if (is_digit(s[i])) {
    const std::size_t d0 = i;
    i = take_digits<true>(s, i, n, mant);
    digits = i - d0;
  } else {
    return false;
  }
  out.is_float = i < n && s[i] == '.';
  out.frac_digits = 0;
  if (out.is_float) {
    ++i;
    if (i >= n || !is_digit(s[i])) return false;
    // The fraction accumulates on its own, alongside the integer part, and
    // the two are joined once its length is known.
    const std::size_t f0 = i;
    std::uint64_t frac = 0;
    i = take_digits<true>(s, i, n, frac);
    digits += i - f0;
    if (digits > 19) return false;
    out.frac_digits = static_cast<int>(i - f0);
    mant = mant * kPow10[out.frac_digits] + frac;
  }
  if (digits > 19 || (i < n && (s[i] | 0x20) == 'e')) return false;
  out.mant = mant;
  out.end = i;
  return true;
}

}  // namespace

Error Reader::at(Error e, std::size_t prefix) const {
  std::uint64_t line = 1;
  std::size_t line_start = 0;
  const char* nl = p_;
  const char* end = p_ + prefix;
  while ((nl = static_cast<const char*>(std::memchr(nl, '\n', static_cast<std::size_t>(end - nl)))) != nullptr) {
    ++line;
    ++nl;
    line_start = static_cast<std::size_t>(nl - p_);
    if (nl >= end) break;
  }
  e.line = line;
  e.column = prefix - line_start;
  return e;
}

Expected<void, Error> Reader::enter() {
  if (depth_ >= kMaxDepth) return unexpected(peek_error(ErrorCode::RecursionLimitExceeded));
  ++depth_;
  first_[static_cast<std::size_t>(depth_)] = true;
  ++pos_;
  return {};
}

Expected<void, Error> Reader::literal(const char* rest) {
  for (; *rest; ++rest) {
    if (pos_ >= n_) return unexpected(peek_error(ErrorCode::EofWhileParsingValue));
    if (p_[pos_++] != *rest) return unexpected(error(ErrorCode::ExpectedSomeIdent));
  }
  return {};
}

Expected<std::uint32_t, Error> Reader::hex4() {
  if (n_ - pos_ < 4) {
    pos_ = n_;
    return unexpected(peek_error(ErrorCode::EofWhileParsingString));
  }
  std::uint32_t v = 0;
  for (int k = 0; k < 4; ++k) {
    const int h = hex_value(p_[pos_++]);
    if (h < 0) return unexpected(error(ErrorCode::InvalidEscape));
    v = (v << 4) | static_cast<std::uint32_t>(h);
  }
  return v;
}

// After the backslash; appends the decoded character to scratch_.
Expected<void, Error> Reader::scan_escape() {
  if (pos_ >= n_) return unexpected(peek_error(ErrorCode::EofWhileParsingString));
  const char c = p_[pos_++];
  switch (c) {
    case '"': scratch_ += '"'; return {};
    case '\\': scratch_ += '\\'; return {};
    case '/': scratch_ += '/'; return {};
    case 'b': scratch_ += '\b'; return {};
    case 'f': scratch_ += '\f'; return {};
    case 'n': scratch_ += '\n'; return {};
    case 'r': scratch_ += '\r'; return {};
    case 't': scratch_ += '\t'; return {};
    case 'u': break;
    default: return unexpected(error(ErrorCode::InvalidEscape));
  }
  auto first = hex4();
  if (!first) return unexpected(std::move(first.error()));
  std::uint32_t cp = *first;
  if (cp >= 0xDC00 && cp <= 0xDFFF) return unexpected(error(ErrorCode::LoneLeadingSurrogateInHexEscape));
  if (cp >= 0xD800 && cp <= 0xDBFF) {
    // A leading surrogate must be followed at once by an escaped trailing one.
    for (char want : {'\\', 'u'}) {
      if (pos_ >= n_) return unexpected(peek_error(ErrorCode::EofWhileParsingString));
      if (p_[pos_++] != want) return unexpected(error(ErrorCode::UnexpectedEndOfHexEscape));
    }
    auto second = hex4();
    if (!second) return unexpected(std::move(second.error()));
    if (*second < 0xDC00 || *second > 0xDFFF) return unexpected(error(ErrorCode::LoneLeadingSurrogateInHexEscape));
    cp = 0x10000 + ((cp - 0xD800) << 10) + (*second - 0xDC00);
  }
  append_utf8(scratch_, cp);
  return {};
}

std::size_t Reader::plain_string_end(std::size_t quote) const {
  std::size_t i = skip_plain(p_, quote + 1, n_);
  while (i < n_ && kPlain.plain[static_cast<unsigned char>(p_[i])]) ++i;
  return i < n_ && p_[i] == '"' ? i : 0;
}

Expected<std::string_view, Error> Reader::scan_string() {
  if (const std::size_t close = plain_string_end(pos_)) {
    const std::size_t start = pos_ + 1;
    pos_ = close + 1;
    return std::string_view(p_ + start, close - start);
  }
  return scan_string_general();
}

// Escapes, non-ASCII bytes and every failure: byte by byte from the start.
[[gnu::noinline]] Expected<std::string_view, Error> Reader::scan_string_general() {
  ++pos_;  // opening quote
  const std::size_t start = pos_;
  std::size_t seg = pos_;
  bool escaped = false;
  bool bad_utf8 = false;
  const auto* u = reinterpret_cast<const unsigned char*>(p_);
  for (;;) {
    pos_ = skip_plain(p_, pos_, n_);
    while (pos_ < n_ && kPlain.plain[u[pos_]]) ++pos_;
    if (pos_ >= n_) return unexpected(peek_error(ErrorCode::EofWhileParsingString));
    const unsigned char c = u[pos_];
    if (c == '"') {
      std::string_view out;
      if (escaped) {
        scratch_.append(p_ + seg, pos_ - seg);
        out = scratch_;
      } else {
        out = std::string_view(p_ + start, pos_ - start);
      }
      ++pos_;
      // Invalid UTF-8 is reported once the whole string is known to be closed.
      if (bad_utf8) return unexpected(error(ErrorCode::InvalidUnicodeCodePoint));
      return out;
    }
    if (c == '\\') {
      if (!escaped) {
        escaped = true;
        scratch_.clear();
      }
      scratch_.append(p_ + seg, pos_ - seg);
      ++pos_;
      if (auto e = scan_escape(); !e) return unexpected(std::move(e.error()));
      seg = pos_;
    } else if (c < 0x20) {
      ++pos_;
      return unexpected(error(ErrorCode::ControlCharacterWhileParsingString));
    } else {
      const std::size_t len = utf8_length(u + pos_, n_ - pos_);
      if (len == 0) {
        bad_utf8 = true;
        ++pos_;
      } else {
        pos_ += len;
      }
    }
  }
}

// The common literal, converted exactly as below would convert it; false
// (nothing consumed) when the general scan is needed.
[[gnu::always_inline]] inline bool Reader::plain_number(Number& num) {
  PlainNumber pn;
  if (!scan_plain_number(p_, pos_, n_, pn)) return false;
  if (!pn.is_float) {
    if (!pn.negative) {
      num = {Kind::U64, pn.mant, 0, 0.0};
    } else if (pn.mant == 0) {
      // -0 has no signed-integer form; it stays the float -0.0.
      num = {Kind::F64, 0, 0, -0.0};
    } else if (pn.mant <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1) {
      num = {Kind::I64, 0, static_cast<std::int64_t>(0 - pn.mant), 0.0};
    } else {
      return false;
    }
  } else {
    double d = 0.0;
    if (pn.mant != 0 && !nearest_quotient(pn.mant, pn.frac_digits, d)) return false;
    num = {Kind::F64, 0, 0, pn.negative ? -d : d};
  }
  pos_ = pn.end;
  return true;
}

template <bool Convert>
Expected<Reader::Number, Error> Reader::scan_number() {
  if constexpr (Convert) {
    if (Number num; plain_number(num)) return num;
  }
  // Scans with a local cursor; pos_ is brought up to date before any error so
  // that positions are those of the byte where scanning stopped.
  const char* const s = p_;
  const std::size_t n = n_;
  const std::size_t start = pos_;
  std::size_t i = pos_;
  const bool negative = s[i] == '-';
  if (negative) ++i;
  pos_ = i;
  if (i >= n) return unexpected(peek_error(ErrorCode::EofWhileParsingValue));
  // All digits, integer and fraction, accumulate into `mant`; it is exact
  // while there are at most 19 of them (a lone leading zero not counted).
  std::uint64_t mant = 0;
  int int_digits = 0;
  if (s[i] == '0') {
    pos_ = ++i;
    if (i < n && is_digit(s[i])) return unexpected(peek_error(ErrorCode::InvalidNumber));
  } else if (is_digit(s[i])) {
    const std::size_t d0 = i;
    i = take_digits<Convert>(s, i, n, mant);
    int_digits = static_cast<int>(std::min<std::size_t>(i - d0, 1000));
  } else {
    return unexpected(peek_error(ErrorCode::InvalidNumber));
  }
  bool is_float = false;
  int frac_digits = 0;
  if (i < n && s[i] == '.') {
    is_float = true;
    pos_ = ++i;
    if (i >= n) return unexpected(peek_error(ErrorCode::EofWhileParsingValue));
    if (!is_digit(s[i])) return unexpected(peek_error(ErrorCode::InvalidNumber));
    const std::size_t f0 = i;
    i = take_digits<Convert>(s, i, n, mant);
    frac_digits = static_cast<int>(std::min<std::size_t>(i - f0, 1000));
  }
  int exp = 0;
  if (i < n && (s[i] | 0x20) == 'e') {
    is_float = true;
    ++i;
    bool exp_negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) exp_negative = s[i++] == '-';
    pos_ = i;
    if (i >= n) return unexpected(peek_error(ErrorCode::EofWhileParsingValue));
    if (!is_digit(s[i])) return unexpected(peek_error(ErrorCode::InvalidNumber));
    do {
      if (exp < 100000) exp = exp * 10 + (s[i] - '0');
      ++i;
    } while (i < n && is_digit(s[i]));
    if (exp_negative) exp = -exp;
  }
  pos_ = i;
  Number num{Kind::F64, 0, 0, 0.0};
  if constexpr (!Convert) return num;
  const int digits = int_digits + frac_digits;
  if (!is_float) {
    bool fits = digits <= 19;
    if (digits == 20) {
      // Redo the 20-digit case with overflow checks.
      mant = 0;
      fits = true;
      for (std::size_t k = start + negative; k < i && fits; ++k) {
        fits = !__builtin_mul_overflow(mant, 10, &mant) &&
               !__builtin_add_overflow(mant, static_cast<std::uint64_t>(s[k] - '0'), &mant);
      }
    }
    if (fits) {
      if (!negative) {
        num.kind = Kind::U64;
        num.u = mant;
        return num;
      }
      // -0 has no signed-integer form; it stays the float -0.0.
      if (mant != 0 && mant <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1) {
        num.kind = Kind::I64;
        num.i = static_cast<std::int64_t>(0 - mant);
        return num;
      }
    }
  }
  if (digits <= 19) {
    const int e10 = exp - frac_digits;
    bool done = false;
    if (mant == 0) {
      num.d = 0.0;
      done = true;
    } else if (e10 <= 0 && e10 >= -19) {
      done = nearest_quotient(mant, -e10, num.d);
    } else if (e10 > 0 && e10 <= 19 && mant <= std::numeric_limits<std::uint64_t>::max() / kPow10[e10]) {
      // A whole number below 2^64: the conversion rounds correctly.
      num.d = static_cast<double>(mant * kPow10[e10]);
      done = true;
    }
    if (done) {
      if (negative) num.d = -num.d;
      return num;
    }
  }
  const char* b = s + start;
  const char* e = s + i;
  auto res = std::from_chars(b, e, num.d);
  if (res.ec == std::errc::result_out_of_range) {
    if (magnitude_too_large(b, e)) return unexpected(error(ErrorCode::NumberOutOfRange));
    num.d = negative ? -0.0 : 0.0;
  } else if (res.ec != std::errc() || res.ptr != e || !std::isfinite(num.d)) {
    return unexpected(error(ErrorCode::NumberOutOfRange));
  }
  return num;
}

template <bool Build>
Expected<void, Error> Reader::parse_value(Value* out) {
  const int c = peek();
  switch (c) {
    case kEof: return unexpected(peek_error(ErrorCode::EofWhileParsingValue));
    case 'n':
      ++pos_;
      if (auto r = literal("ull"); !r) return r;
      // *out is already null.
      return {};
    case 't':
      ++pos_;
      if (auto r = literal("rue"); !r) return r;
      if constexpr (Build) out->v_.emplace<bool>(true);
      return {};
    case 'f':
      ++pos_;
      if (auto r = literal("alse"); !r) return r;
      if constexpr (Build) out->v_.emplace<bool>(false);
      return {};
    case '"': {
      auto s = scan_string();
      if (!s) return unexpected(std::move(s.error()));
      if constexpr (Build) out->v_.emplace<std::string>(*s);
      return {};
    }
    case '[': return parse_array<Build>(out);
    case '{': return parse_object<Build>(out);
    default: break;
  }
  if (c == '-' || is_digit(c)) {
    auto num = scan_number<Build>();
    if (!num) return unexpected(std::move(num.error()));
    if constexpr (Build) {
      switch (num->kind) {
        case Kind::U64: out->v_.emplace<std::uint64_t>(num->u); break;
        case Kind::I64: out->v_.emplace<std::int64_t>(num->i); break;
        default: out->v_.emplace<double>(num->d); break;
      }
    }
    return {};
  }
  return unexpected(peek_error(ErrorCode::ExpectedSomeValue));
}

// Containers are built in place, in the value they will end up in: nothing
// deeper than this level touches the vector being filled, so its elements
// stay put while they are parsed. Each is reserved at the size the previous
// container at the same depth reached, which for rows of records is exact.
// A long array whose elements look alike (rows of records) is reserved once
// for the elements the rest of the text can hold at the size seen so far,
// instead of doubling its way there through many moves. The estimate never
// exceeds what the remaining bytes could hold at two bytes an element.
void Reader::reserve_rest(Value::Array& items, std::size_t start) {
  const std::size_t used = pos_ - start;
  const std::size_t left = n_ - pos_;
  const std::size_t per_item = std::max<std::size_t>(used / items.size(), 2);
  const std::size_t more = std::min(left / per_item + left / (8 * per_item) + 1, reserve_budget_);
  reserve_budget_ -= more;
  items.reserve(std::max(items.size() + more, 2 * items.size()));
}

template <bool Build>
Expected<void, Error> Reader::parse_array(Value* out) {
  const std::size_t start = pos_;
  if (auto r = enter(); !r) return r;
  Value::Array* items = nullptr;
  std::uint32_t* hint = nullptr;
  if constexpr (Build) {
    items = &out->v_.emplace<Value::Array>();
    hint = &size_hint_[static_cast<std::size_t>(depth_)];
    items->reserve(*hint);
  }
  for (;;) {
    auto more = next_element();
    if (!more) return unexpected(std::move(more.error()));
    if (!*more) break;
    if constexpr (Build) {
      if (items->size() == items->capacity() && items->size() >= kMaxSizeHint) reserve_rest(*items, start);
      if (auto r = parse_value<true>(&items->emplace_back()); !r) return r;
    } else {
      if (auto r = parse_value<false>(nullptr); !r) return r;
    }
  }
  if constexpr (Build) *hint = static_cast<std::uint32_t>(std::min<std::size_t>(items->size(), kMaxSizeHint));
  return {};
}

template <bool Build>
Expected<void, Error> Reader::parse_object(Value* out) {
  if (auto r = enter(); !r) return r;
  Value::Object* members = nullptr;
  std::uint32_t* hint = nullptr;
  if constexpr (Build) {
    members = &out->v_.emplace<Value::Object>();
    hint = &size_hint_[static_cast<std::size_t>(depth_)];
    members->reserve(*hint);
  }
  std::string_view key;
  for (;;) {
    auto more = next_member(key);
    if (!more) return unexpected(std::move(more.error()));
    if (!*more) break;
    if constexpr (Build) {
      // The key is copied before the value is read: it may sit in scratch_.
      Value::Member& m = members->emplace_back();
      m.key.assign(key);
      if (auto r = parse_value<true>(&m.value); !r) return r;
    } else {
      if (auto r = parse_value<false>(nullptr); !r) return r;
    }
  }
  if constexpr (Build) {
    *hint = static_cast<std::uint32_t>(std::min<std::size_t>(members->size(), kMaxSizeHint));
    normalize_members(*members);
  }
  return {};
}

Expected<Value, Error> Reader::read_value() {
  Value v;
  if (auto r = parse_value<true>(&v); !r) return unexpected(std::move(r.error()));
  return v;
}

Expected<void, Error> Reader::skip_value() { return parse_value<false>(nullptr); }

Expected<void, Error> Reader::begin_array() {
  peek();
  return enter();
}

Expected<void, Error> Reader::begin_object() {
  peek();
  return enter();
}

[[gnu::noinline, gnu::cold]] void Reader::look_for_stop() {
  next_stop_check_ = pos_ + kStopCheckBytes;
  check_interrupt_seldom();
}

Expected<bool, Error> Reader::next_element() {
  if (pos_ >= next_stop_check_) [[unlikely]] look_for_stop();
  const auto d = static_cast<std::size_t>(depth_);
  // Compact text: an element right at the cursor or right after the comma.
  if (n_ - pos_ >= 2) {
    const char c = p_[pos_];
    const char next = p_[pos_ + 1];
    if (first_[d]) {
      if (c != ']' && !is_blank(c)) {
        first_[d] = false;
        return true;
      }
    } else if (c == ',' && next != ']' && !is_blank(next)) {
      ++pos_;
      return true;
    }
  }
  return next_element_general();
}

[[gnu::noinline]] Expected<bool, Error> Reader::next_element_general() {
  const auto d = static_cast<std::size_t>(depth_);
  // The comma and the one blank json.dumps puts after it by default.
  if (!first_[d] && n_ - pos_ >= 3 && p_[pos_] == ',' && p_[pos_ + 1] == ' ' && p_[pos_ + 2] != ']' &&
      !is_blank(p_[pos_ + 2])) {
    pos_ += 2;
    return true;
  }
  int c = peek();
  if (first_[d]) {
    first_[d] = false;
    if (c == ']') {
      ++pos_;
      --depth_;
      return false;
    }
    if (c == kEof) return unexpected(peek_error(ErrorCode::EofWhileParsingList));
    return true;
  }
  switch (c) {
    case ',':
      ++pos_;
      if (peek() == ']') return unexpected(peek_error(ErrorCode::TrailingComma));
      return true;
    case ']':
      ++pos_;
      --depth_;
      return false;
    case kEof: return unexpected(peek_error(ErrorCode::EofWhileParsingList));
    default: return unexpected(peek_error(ErrorCode::ExpectedListCommaOrEnd));
  }
}

Expected<void, Error> Reader::end_array() {
  const int c = peek();
  switch (c) {
    case ']':
      ++pos_;
      --depth_;
      return {};
    case ',':
      if (first_[static_cast<std::size_t>(depth_)]) break;
      ++pos_;
      if (peek() == ']') return unexpected(peek_error(ErrorCode::TrailingComma));
      return unexpected(peek_error(ErrorCode::TrailingCharacters));
    case kEof: return unexpected(peek_error(ErrorCode::EofWhileParsingList));
    default: break;
  }
  // An element stands where the array should have closed.
  if (first_[static_cast<std::size_t>(depth_)]) return unexpected(peek_error(ErrorCode::TrailingCharacters));
  return unexpected(peek_error(ErrorCode::ExpectedListCommaOrEnd));
}

Expected<bool, Error> Reader::next_member(std::string_view& key) {
  if (pos_ >= next_stop_check_) [[unlikely]] look_for_stop();
  const auto d = static_cast<std::size_t>(depth_);
  // Compact text with a plain key: `"key":` right at the cursor or right
  // after the comma (and the one blank json.dumps puts after it by default).
  // Anything else goes the general way from the same place.
  if (n_ - pos_ >= 3) {
    const std::size_t quote = first_[d] ? pos_ : p_[pos_ + 1] == ' ' ? pos_ + 2 : pos_ + 1;
    if (p_[quote] == '"' && (first_[d] || p_[pos_] == ',')) {
      const std::size_t close = plain_string_end(quote);
      if (close != 0 && close + 1 < n_ && p_[close + 1] == ':') {
        first_[d] = false;
        key = std::string_view(p_ + quote + 1, close - quote - 1);
        key_end_ = close + 1;
        pos_ = close + 2;
        return true;
      }
    }
  }
  return next_member_general(key);
}

[[gnu::noinline]] Expected<bool, Error> Reader::next_member_general(std::string_view& key) {
  const auto d = static_cast<std::size_t>(depth_);
  int c = peek();
  if (first_[d]) {
    first_[d] = false;
    if (c == '}') {
      ++pos_;
      --depth_;
      return false;
    }
    if (c == kEof) return unexpected(peek_error(ErrorCode::EofWhileParsingObject));
  } else {
    switch (c) {
      case ',':
        ++pos_;
        c = peek();
        if (c == '}') return unexpected(peek_error(ErrorCode::TrailingComma));
        if (c == kEof) return unexpected(peek_error(ErrorCode::EofWhileParsingValue));
        break;
      case '}':
        ++pos_;
        --depth_;
        return false;
      case kEof: return unexpected(peek_error(ErrorCode::EofWhileParsingObject));
      default: return unexpected(peek_error(ErrorCode::ExpectedObjectCommaOrEnd));
    }
  }
  if (c != '"') return unexpected(peek_error(ErrorCode::KeyMustBeAString));
  auto s = scan_string();
  if (!s) return unexpected(std::move(s.error()));
  key = *s;
  key_end_ = pos_;
  c = peek();
  if (c == ':') {
    ++pos_;
    return true;
  }
  if (c == kEof) return unexpected(peek_error(ErrorCode::EofWhileParsingObject));
  return unexpected(peek_error(ErrorCode::ExpectedColon));
}

Expected<void, Error> Reader::finish() {
  if (peek() != kEof) return unexpected(peek_error(ErrorCode::TrailingCharacters));
  return {};
}

Error Reader::invalid_type(std::string_view expected) {
  const int c = peek();
  switch (c) {
    case kEof: return peek_error(ErrorCode::EofWhileParsingValue);
    case '[': return locate_peek(Error::invalid_type(kFoundSequence, expected));
    case '{': return locate_peek(Error::invalid_type(kFoundMap, expected));
    case '"': {
      auto s = scan_string();
      if (!s) return std::move(s.error());
      return locate(Error::invalid_type(describe_string(*s), expected));
    }
    case 'n':
    case 't':
    case 'f': {
      if (auto r = parse_value<false>(nullptr); !r) return std::move(r.error());
      if (c == 'n') return locate(Error::invalid_type(kFoundNull, expected));
      return locate(Error::invalid_type(describe_bool(c == 't'), expected));
    }
    default: break;
  }
  if (c == '-' || is_digit(c)) {
    auto num = scan_number<true>();
    if (!num) return std::move(num.error());
    switch (num->kind) {
      case Kind::U64: return locate(Error::invalid_type(describe_u64(num->u), expected));
      case Kind::I64: return locate(Error::invalid_type(describe_i64(num->i), expected));
      default: return locate(Error::invalid_type(describe_f64(num->d), expected));
    }
  }
  return peek_error(ErrorCode::ExpectedSomeValue);
}

Expected<Reader::Number, Error> Reader::read_number(std::string_view expected) {
  const int c = peek();
  if (c == '-' || is_digit(c)) return scan_number<true>();
  return unexpected(invalid_type(expected));
}

bool Reader::try_f64(double& out) {
  Number num;
  if (!plain_number(num)) {
    const std::size_t at = pos_;
    if (pos_ >= n_ || !(p_[pos_] == '-' || is_digit(p_[pos_]))) return false;
    auto general = scan_number<true>();
    if (!general) {
      pos_ = at;
      return false;
    }
    num = *general;
  }
  out = num.to_f64();
  return true;
}

bool Reader::try_i64(std::int64_t& out) {
  // Integers that need the general scan (20 digits and more) are left to the
  // general reader, which accepts or refuses them with its message.
  const std::size_t at = pos_;
  Number num;
  if (!plain_number(num)) return false;
  if (num.kind == Kind::I64) {
    out = num.i;
    return true;
  }
  if (num.kind == Kind::U64 && num.u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    out = static_cast<std::int64_t>(num.u);
    return true;
  }
  pos_ = at;
  return false;
}

Expected<double, Error> Reader::read_f64(std::string_view expected) {
  auto num = read_number(expected);
  if (!num) return unexpected(std::move(num.error()));
  return num->to_f64();
}

Expected<std::int64_t, Error> Reader::read_i64(std::string_view expected) {
  auto num = read_number(expected);
  if (!num) return unexpected(std::move(num.error()));
  switch (num->kind) {
    case Kind::I64: return num->i;
    case Kind::U64:
      if (num->u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return unexpected(locate(Error::invalid_value(describe_u64(num->u), expected)));
      }
      return static_cast<std::int64_t>(num->u);
    default: return unexpected(locate(Error::invalid_type(describe_f64(num->d), expected)));
  }
}

Expected<std::uint64_t, Error> Reader::read_u64(std::string_view expected) {
  auto num = read_number(expected);
  if (!num) return unexpected(std::move(num.error()));
  switch (num->kind) {
    case Kind::U64: return num->u;
    case Kind::I64: return unexpected(locate(Error::invalid_value(describe_i64(num->i), expected)));
    default: return unexpected(locate(Error::invalid_type(describe_f64(num->d), expected)));
  }
}

Expected<std::uint32_t, Error> Reader::read_u32(std::string_view expected) {
  auto num = read_u64(expected);
  if (!num) return unexpected(std::move(num.error()));
  if (*num > std::numeric_limits<std::uint32_t>::max()) {
    return unexpected(locate(Error::invalid_value(describe_u64(*num), expected)));
  }
  return static_cast<std::uint32_t>(*num);
}

Expected<bool, Error> Reader::read_bool(std::string_view expected) {
  const int c = peek();
  if (c == 't' || c == 'f') {
    if (auto r = parse_value<false>(nullptr); !r) return unexpected(std::move(r.error()));
    return c == 't';
  }
  return unexpected(invalid_type(expected));
}

Expected<std::string_view, Error> Reader::read_str(std::string_view expected) {
  if (peek() == '"') return scan_string();
  return unexpected(invalid_type(expected));
}

Expected<bool, Error> Reader::read_null() {
  if (peek() != 'n') return false;
  ++pos_;
  if (auto r = literal("ull"); !r) return unexpected(std::move(r.error()));
  return true;
}

Expected<Value, Error> parse(std::string_view text) {
  Reader r(text);
  auto v = r.read_value();
  if (!v) return v;
  if (auto f = r.finish(); !f) return unexpected(std::move(f.error()));
  return v;
}

bool skip_checked(Reader& r) {
  const int c = r.peek();
  if (c == '{') {
    if (!r.begin_object().ok()) return false;
    std::string_view key;
    for (;;) {
      auto more = r.next_member(key);
      if (!more) return false;
      if (!*more) return true;
      if (!skip_checked(r)) return false;
    }
  }
  if (c == '[') {
    if (!r.begin_array().ok()) return false;
    for (;;) {
      auto more = r.next_element();
      if (!more) return false;
      if (!*more) return true;
      if (!skip_checked(r)) return false;
    }
  }
  if (c == '-' || (c >= '0' && c <= '9')) return r.read_f64().ok();
  return r.skip_value().ok();
}

bool is_valid_json(std::string_view text) {
  Reader r(text);
  return skip_checked(r) && r.finish().ok();
}

}  // namespace vsci::json
