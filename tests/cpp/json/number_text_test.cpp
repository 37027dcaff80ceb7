// Float and integer text in both directions, checked against the standard
// library's conversions as the reference: the writer's digits must be the
// shortest ones std::to_chars gives, laid out by the document rules, and the
// reader's doubles must be the ones std::from_chars gives. Spreads cover the
// ranges prices and sizes live in, short decimals, ties and the edges of the
// 64-bit integer types.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "json/error.h"
#include "json/number_format.h"
#include "json/reader.h"
#include "json/typed.h"
#include "json/writer.h"

namespace vsci::json {
namespace {

double from_bits(std::uint64_t b) {
  double d;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

std::uint64_t to_bits(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

// The document form built from the library's shortest scientific text:
// digits and exponent taken apart, then plain for exponents -5..15 (".0" on
// whole numbers) and "d[.ddd]e[+-]X" otherwise.
std::string expected_text(double v) {
  if (!std::isfinite(v)) return "null";
  if (v == 0) return std::signbit(v) ? "-0.0" : "0.0";
  char buf[64];
  const char* end = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific).ptr;
  const std::string sci(buf, static_cast<std::size_t>(end - buf));
  const std::size_t e = sci.find('e');
  std::string digits = sci.substr(0, 1) + (e > 1 ? sci.substr(2, e - 2) : "");
  const int exp = std::stoi(sci.substr(e + 1));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = std::signbit(v) ? "-" : "";
  if (exp >= -5 && exp <= 15) {
    if (exp < 0) return out + "0." + std::string(static_cast<std::size_t>(-exp - 1), '0') + digits;
    const auto whole = static_cast<std::size_t>(exp + 1);
    if (digits.size() <= whole) return out + digits + std::string(whole - digits.size(), '0') + ".0";
    return out + digits.substr(0, whole) + "." + digits.substr(whole);
  }
  out += digits.substr(0, 1);
  if (digits.size() > 1) out += "." + digits.substr(1);
  return out + "e" + (exp < 0 ? "-" : "+") + std::to_string(std::abs(exp));
}

std::string written(double v) {
  std::string s;
  append_f64(s, v);
  return s;
}

// Writes v, checks the text, and checks that it reads back to the same bits.
void check_round_trip(double v) {
  const std::string text = written(v);
  ASSERT_EQ(text, expected_text(v)) << to_bits(v);
  if (!std::isfinite(v)) return;
  auto back = parse(text);
  ASSERT_TRUE(back.ok()) << text;
  ASSERT_EQ(to_bits(back->to_f64()), to_bits(v)) << text;
}

TEST(JsonNumberText, RandomDoublesOfEveryMagnitude) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 20000; ++i) check_round_trip(from_bits(rng()));
}

TEST(JsonNumberText, PricesSizesAndRates) {
  // Every binary exponent from 2^-12 to 2^54, random mantissas, both signs.
  std::mt19937_64 rng(12);
  for (int i = 0; i < 40000; ++i) {
    const std::uint64_t biased = 1011 + rng() % 66;
    const std::uint64_t bits = (biased << 52) | (rng() & ((std::uint64_t{1} << 52) - 1)) | (rng() & 1) << 63;
    check_round_trip(from_bits(bits));
  }
  // Random walks as price series produce them.
  double price = 100.0;
  for (int i = 0; i < 5000; ++i) {
    price += std::sin(i * 0.01) * 0.7 + std::cos(i * 0.37) * 0.3;
    check_round_trip(price);
    check_round_trip(price + 0.25);
    check_round_trip(price * 1e-4);
  }
}

TEST(JsonNumberText, ShortDecimalsAndTheirNeighbours) {
  std::mt19937_64 rng(13);
  for (int i = 0; i < 20000; ++i) {
    const int digits = 1 + static_cast<int>(rng() % 17);
    const auto n = static_cast<double>(rng() % static_cast<std::uint64_t>(std::pow(10.0, digits)));
    const double v = n / std::pow(10.0, static_cast<double>(rng() % 21));
    check_round_trip(v);
    check_round_trip(std::nextafter(v, 0.0));
    check_round_trip(std::nextafter(v, 1e300));
  }
  for (double v : {0.1, 0.2, 0.3, 1003.5, 99.99, 1e-3, 123456.789, 0.001, 0.0009765625, 1e15, 1e16, 1e-5, 1e-6}) {
    check_round_trip(v);
  }
}

TEST(JsonNumberText, PowersOfTwoAndHalfwayFractions) {
  for (int e = -1074; e <= 1023; ++e) {
    const double p = std::ldexp(1.0, e);
    check_round_trip(p);
    check_round_trip(std::nextafter(p, 0.0));
    check_round_trip(std::nextafter(p, 1e308));
  }
  // Above 2^50 a double has at most two fraction bits, so two decimals of
  // the same length can lie equally near it.
  std::mt19937_64 rng(14);
  for (int i = 0; i < 20000; ++i) {
    const int e = 44 + static_cast<int>(rng() % 10);
    check_round_trip(std::ldexp(1.0, e) + std::ldexp(static_cast<double>(rng() % 4096), e - 52));
  }
}

TEST(JsonNumberText, WhatTheStreamingAndTreeWritersProduce) {
  std::mt19937_64 rng(15);
  Writer w;
  w.begin_array();
  std::string expected = "[";
  Value tree = Value::array();
  for (int i = 0; i < 3000; ++i) {
    const double v = from_bits((std::uint64_t{1000 + rng() % 80} << 52) | (rng() >> 12));
    w.f64(v);
    tree.push_back(Value::f64(v));
    expected += (i ? "," : "") + expected_text(v);
  }
  w.end_array();
  expected += "]";
  EXPECT_EQ(w.text(), expected);
  EXPECT_EQ(write(tree), expected);
}

// Millions of values through the writer against the reference, grouped by how
// they arise: any bit pattern, the fixed-point range at every binary exponent,
// short decimals and their neighbours, decimal and binary edges, price walks.
TEST(JsonNumberText, MillionsOfDoublesMatchTheReference) {
  std::mt19937_64 rng(17);
  char got[kMaxF64Chars];
  std::size_t checked = 0;
  auto check = [&](double v) {
    const std::string_view text(got, static_cast<std::size_t>(write_f64(got, v) - got));
    ++checked;
    if (text != expected_text(v)) FAIL() << "bits " << to_bits(v) << ": wrote " << text;
  };
  for (int i = 0; i < 1000000; ++i) check(from_bits(rng()));
  for (int i = 0; i < 1500000; ++i) {
    const std::uint64_t biased = 1008 + rng() % 72;
    check(from_bits((biased << 52) | (rng() >> 12) | (rng() & 1) << 63));
  }
  for (int i = 0; i < 300000; ++i) {
    const int digits = 1 + static_cast<int>(rng() % 17);
    const auto n = static_cast<double>(rng() % static_cast<std::uint64_t>(std::pow(10.0, digits)));
    const double v = n / std::pow(10.0, static_cast<double>(rng() % 24));
    check(v);
    check(std::nextafter(v, 0.0));
    check(std::nextafter(v, 1e300));
  }
  for (int e = -330; e <= 310; ++e) {
    double v = std::pow(10.0, e);
    for (int s = 0; s < 64; ++s, v = std::nextafter(v, 1e308)) check(v);
    v = std::pow(10.0, e);
    for (int s = 0; s < 64; ++s, v = std::nextafter(v, 0.0)) check(v);
  }
  for (int e = -1074; e <= 1023; ++e) {
    const double p = std::ldexp(1.0, e);
    for (std::uint64_t s = 0; s < 32; ++s) {
      check(from_bits(to_bits(p) + s));
      if (to_bits(p) >= s) check(from_bits(to_bits(p) - s));
    }
  }
  double price = 100.0;
  for (int i = 0; i < 200000; ++i) {
    price += std::sin(i * 0.01) * 0.7 + std::cos(i * 0.37) * 0.3;
    check(price);
    check(price * 1e-4);
    check(std::round(price * 100.0) / 100.0);
  }
  EXPECT_GT(checked, std::size_t{4000000});
}

TEST(JsonNumberText, ErrorMessagesUsePlainDecimals) {
  std::mt19937_64 rng(16);
  for (int i = 0; i < 2000; ++i) {
    const double v = from_bits((std::uint64_t{1000 + rng() % 80} << 52) | (rng() >> 12));
    // Plain form always; the same text as the document form where that is plain.
    const std::string doc = expected_text(v);
    std::string plain;
    append_plain_f64(plain, v);
    auto back = parse(plain);
    ASSERT_TRUE(back.ok()) << plain;
    EXPECT_EQ(back->to_f64(), v) << plain;
    EXPECT_EQ(plain.find('e'), std::string::npos) << plain;
    if (doc.find('e') == std::string::npos) {
      EXPECT_EQ(plain, doc);
    }
  }
}

double reference_read(const std::string& text) {
  double d = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), d);
  EXPECT_EQ(r.ptr, text.data() + text.size()) << text;
  return d;
}

// Parses `text` as a float literal and compares with from_chars, both as a
// whole document and as an element followed by more text.
void check_read(const std::string& text) {
  const double want = reference_read(text);
  auto whole = parse(text);
  ASSERT_TRUE(whole.ok()) << text << ": " << whole.error().to_string();
  ASSERT_EQ(whole->kind(), Kind::F64) << text;
  ASSERT_EQ(to_bits(whole->as_f64()), to_bits(want)) << text;
  const std::string list = "[" + text + ",7]";
  Reader rl(list);
  ASSERT_TRUE(rl.begin_array().ok());
  ASSERT_TRUE(*rl.next_element());
  auto x = rl.read_f64();
  ASSERT_TRUE(x.ok()) << text;
  ASSERT_EQ(to_bits(*x), to_bits(want)) << text;
}

std::string random_digits(std::mt19937_64& rng, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
  return s;
}

TEST(JsonNumberText, DecimalLiteralsReadAsFromChars) {
  std::mt19937_64 rng(21);
  for (int i = 0; i < 40000; ++i) {
    const int int_len = static_cast<int>(rng() % 12);
    const int frac_len = 1 + static_cast<int>(rng() % 20);
    std::string ip = int_len == 0 ? "0" : random_digits(rng, int_len);
    if (ip.size() > 1 && ip[0] == '0') ip[0] = '1';
    std::string text = (rng() & 1 ? "-" : "") + ip + "." + random_digits(rng, frac_len);
    if (rng() % 3 == 0) text += (rng() & 1 ? "e" : "E") + std::string(rng() & 1 ? "-" : "+") + std::to_string(rng() % 40);
    check_read(text);
  }
}

// Millions of plain decimals of up to 19 digits (the literals the reader
// converts without the library), with the point at every place, against
// from_chars: whole runs of random digits, and 17-digit texts of doubles,
// whose neighbours lie closest to the halfway points.
TEST(JsonNumberText, MillionsOfDecimalsReadAsFromChars) {
  std::mt19937_64 rng(23);
  char text[48];
  std::size_t checked = 0;
  auto check = [&](std::size_t len) {
    double want = 0;
    std::from_chars(text, text + len, want);
    Reader r(std::string_view(text, len));
    auto got = r.read_f64();
    ++checked;
    if (!got.ok() || to_bits(*got) != to_bits(want)) FAIL() << std::string(text, len);
  };
  for (int i = 0; i < 2000000; ++i) {
    const int digits = 1 + static_cast<int>(rng() % 19);
    const int frac = 1 + static_cast<int>(rng() % static_cast<std::uint64_t>(digits));
    std::size_t len = 0;
    if (rng() & 1) text[len++] = '-';
    const int whole = digits - frac;
    if (whole == 0) text[len++] = '0';
    for (int d = 0; d < digits; ++d) {
      if (d == whole) text[len++] = '.';
      text[len++] = static_cast<char>('0' + (d == 0 && whole > 0 ? 1 + rng() % 9 : rng() % 10));
    }
    check(len);
  }
  for (int i = 0; i < 1000000; ++i) {
    // Between 2^-10 and 2^50: 17 significant digits keep at least one fraction digit.
    const double v = from_bits((std::uint64_t{1013 + rng() % 60} << 52) | (rng() >> 12));
    const std::size_t len = static_cast<std::size_t>(
        std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 16 - static_cast<int>(std::log10(v))).ptr -
        text);
    check(len);
  }
  EXPECT_EQ(checked, std::size_t{3000000});
}

TEST(JsonNumberText, ShortestTextsOfRandomDoublesReadBack) {
  std::mt19937_64 rng(22);
  char buf[64];
  for (int i = 0; i < 20000; ++i) {
    const double v = from_bits((std::uint64_t{960 + rng() % 140} << 52) | (rng() >> 12));
    std::string fixed(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed).ptr);
    if (fixed.find('.') == std::string::npos) fixed += ".0";
    check_read(fixed);
    check_read(std::string(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific).ptr));
    // Seventeen digits of a nearby value: not the shortest text of anything.
    check_read(std::string(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 16).ptr));
  }
  // Exactly halfway between two doubles: ties go to the even one.
  check_read("9007199254740993.0");
  check_read("9007199254740995.0");
  check_read("4503599627370496.5");
  check_read("4503599627370497.5");
  check_read("0.1000000000000000055511151231257827");
  check_read("1.00000000000000011102230246251565404236316680908203125");
  check_read("1.00000000000000011102230246251565404236316680908203124");
}

TEST(JsonNumberText, IntegersKeepTheirClassUpToTheTypeEdges) {
  EXPECT_EQ(*parse("18446744073709551615"), Value::u64(UINT64_MAX));
  EXPECT_EQ(*parse("18446744073709551614"), Value::u64(UINT64_MAX - 1));
  EXPECT_EQ(*parse("10000000000000000000"), Value::u64(10000000000000000000ull));
  EXPECT_EQ(*parse("9999999999999999999"), Value::u64(9999999999999999999ull));
  EXPECT_EQ(*parse("12345678901234567"), Value::u64(12345678901234567ull));
  EXPECT_EQ(*parse("9223372036854775807"), Value::u64(9223372036854775807ull));
  EXPECT_EQ(*parse("-9223372036854775807"), Value::i64(-9223372036854775807LL));
  EXPECT_EQ(*parse("-9223372036854775808"), Value::i64(INT64_MIN));
  EXPECT_EQ(*parse("-1700000000000"), Value::i64(-1700000000000LL));
  // One past the edges: the nearest double.
  EXPECT_EQ(*parse("18446744073709551616"), Value::f64(18446744073709551616.0));
  EXPECT_EQ(*parse("18446744073709551620"), Value::f64(18446744073709551616.0));
  EXPECT_EQ(*parse("99999999999999999999"), Value::f64(1e20));
  EXPECT_EQ(*parse("-9223372036854775809"), Value::f64(-9223372036854775808.0));
  EXPECT_EQ(*parse("-18446744073709551615"), Value::f64(-18446744073709551615.0));
  auto i64_of = [](const std::string& t) {
    Reader r(t);
    auto v = r.read_i64();
    return v ? std::to_string(*v) : v.error().to_string();
  };
  EXPECT_EQ(i64_of("9223372036854775807"), "9223372036854775807");
  EXPECT_EQ(i64_of("-9223372036854775808"), "-9223372036854775808");
  EXPECT_EQ(i64_of("9223372036854775808"),
            "invalid value: integer `9223372036854775808`, expected i64 at line 1 column 19");
  // Out of range they are floats, described by their shortest digits.
  EXPECT_EQ(i64_of("-9223372036854775809"),
            "invalid type: floating point `-9223372036854776000.0`, expected i64 at line 1 column 20");
  auto u64_of = [](const std::string& t) {
    Reader r(t);
    auto v = r.read_u64();
    return v ? std::to_string(*v) : v.error().to_string();
  };
  EXPECT_EQ(u64_of("18446744073709551615"), "18446744073709551615");
  EXPECT_EQ(u64_of("18446744073709551616"),
            "invalid type: floating point `18446744073709552000.0`, expected u64 at line 1 column 20");
  // Random integers of every length, against the standard conversions.
  std::mt19937_64 rng(23);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t u = rng() >> (rng() % 64);
    EXPECT_EQ(*parse(std::to_string(u)), Value::u64(u));
    const auto s = static_cast<std::int64_t>(rng() >> (1 + rng() % 63));
    if (s > 0) {
      EXPECT_EQ(*parse("-" + std::to_string(s)), Value::i64(-s));
    }
  }
}

TEST(JsonNumberText, NumbersEndingAtEveryDistanceFromTheEndOfText) {
  // The scanner reads eight bytes at a time where it can: numbers and
  // strings that end right at the end of the text, or a few bytes before it,
  // take the byte-wise tail.
  const std::string digits = "12345678901234567890123";
  for (std::size_t len = 1; len <= digits.size(); ++len) {
    for (std::size_t frac = 0; frac < len; ++frac) {
      std::string text = digits.substr(0, len - frac);
      if (frac > 0) text += "." + digits.substr(len - frac, frac);
      const bool is_int = frac == 0;
      for (const std::string& doc : {text, "[" + text + "]", "[" + text + "   ]", "{\"k\":" + text + "}"}) {
        auto v = parse(doc);
        ASSERT_TRUE(v.ok()) << doc;
        const Value& x = doc[0] == '[' ? v->as_array()[0] : doc[0] == '{' ? *v->find("k") : *v;
        if (is_int && len <= 20) {
          EXPECT_EQ(x, Value::u64(std::stoull(text))) << doc;
        } else {
          ASSERT_EQ(x.kind(), Kind::F64) << doc;
          EXPECT_EQ(to_bits(x.as_f64()), to_bits(reference_read(text))) << doc;
        }
      }
    }
  }
}

TEST(JsonNumberText, MalformedNumbersKeepTheirPositionsWhateverTheirLength) {
  // Each error stands at the byte after the digits, however many there are.
  for (std::size_t n = 1; n <= 20; ++n) {
    const std::string d(n, '7');
    const std::string col = std::to_string(n + 2);
    EXPECT_EQ(parse(d + ".x").error().to_string(), "invalid number at line 1 column " + col);
    EXPECT_EQ(parse(d + "e+").error().to_string(), "EOF while parsing a value at line 1 column " + col);
    EXPECT_EQ(parse("[" + d + "x]").error().to_string(), "expected `,` or `]` at line 1 column " + col);
    EXPECT_EQ(parse("[" + d + "." + d + "]").ok(), true);
  }
}

}  // namespace
}  // namespace vsci::json
