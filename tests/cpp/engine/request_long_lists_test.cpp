// Long candle lists are read in pieces in parallel when every candle is in a
// compact form; the candles, and every error with its position, must be those
// of reading the list from start to end.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/request.h"
#include "engine_test_support.h"
#include "support/compare.h"
#include "support/request_text.h"

namespace vsci {
namespace {

using testing::at_byte;
using testing::identical_bits;
using testing::kPrefix;
using testing::num;
using testing::kSpec;
using testing::read_error;
using testing::read_ok;

constexpr std::size_t kLong = 60'000;  // about 5 MB of text: several pieces

std::vector<Candle> generated(std::size_t n) {
  std::uint64_t state = 99;
  const auto next = [&] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return state;
  };
  std::vector<Candle> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    Candle& c = out[i];
    c.time = static_cast<std::int64_t>(next() >> 20) - (std::int64_t{1} << 42);
    double* prices[] = {&c.open, &c.high, &c.low, &c.close, &c.volume};
    for (double* p : prices) {
      const std::uint64_t bits = next();
      if ((bits & 7) == 0) {
        // Any finite double, exponents and all.
        std::uint64_t b = bits >> 3;
        std::memcpy(p, &b, sizeof *p);
        if (!std::isfinite(*p)) *p = -0.0;
      } else {
        *p = static_cast<double>(bits >> 36) / 100.0;
      }
    }
  }
  return out;
}

// Candle i in one of the three compact forms, by `form(i)`: 0 key order, 1
// declared order, 2 array.
std::string candle_text(const Candle& c, int form) {
  const std::string t = std::to_string(c.time);
  if (form == 0) {
    return R"({"close":)" + num(c.close) + R"(,"high":)" + num(c.high) + R"(,"low":)" + num(c.low) + R"(,"open":)" +
           num(c.open) + R"(,"time":)" + t + R"(,"volume":)" + num(c.volume) + "}";
  }
  if (form == 1) {
    return R"({"time":)" + t + R"(,"open":)" + num(c.open) + R"(,"high":)" + num(c.high) + R"(,"low":)" +
           num(c.low) + R"(,"close":)" + num(c.close) + R"(,"volume":)" + num(c.volume) + "}";
  }
  return "[" + t + "," + num(c.open) + "," + num(c.high) + "," + num(c.low) + "," + num(c.close) + "," +
         num(c.volume) + "]";
}

template <class Form>
std::string list_text(const std::vector<Candle>& candles, Form form) {
  std::string s = "[";
  for (std::size_t i = 0; i < candles.size(); ++i) s += (i ? "," : "") + candle_text(candles[i], form(i));
  return s + "]";
}

// The candles first, as the harness writes a request, and a spec after them
// that holds the joint between two objects too.
std::string request(const std::string& candles) {
  const std::string spec = testing::spec_set("entry", R"({"all":[{"all":[]},{"any":[]}]})");
  return R"({"candles":)" + candles + R"(,"spec":)" + spec + "}";
}

void expect_candles(const std::vector<Candle>& got, const std::vector<Candle>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    const Candle& g = got[i];
    const Candle& w = want[i];
    ASSERT_TRUE(g.time == w.time && identical_bits(g.open, w.open) && identical_bits(g.high, w.high) &&
                identical_bits(g.low, w.low) && identical_bits(g.close, w.close) && identical_bits(g.volume, w.volume))
        << "candle " << i;
  }
}

TEST(RequestLongLists, EveryCompactFormAndMixturesReadExactly) {
  const std::vector<Candle> candles = generated(kLong);
  for (int form = 0; form < 3; ++form) {
    expect_candles(read_ok(request(list_text(candles, [&](std::size_t) { return form; }))).candles, candles);
  }
  const std::string mixed = list_text(candles, [](std::size_t i) { return static_cast<int>(i % 3); });
  expect_candles(read_ok(request(mixed)).candles, candles);
  // A second long list right after the first: the cuts run on into it, and
  // the pieces beyond the first list's end are no part of it.
  const RunRequest both = read_ok(request(mixed + R"(,"reference":)" + mixed));
  expect_candles(both.candles, candles);
  ASSERT_TRUE(both.reference);
  expect_candles(*both.reference, candles);
}

TEST(RequestLongLists, UnusualTextLateInTheListReadsAsFromTheStart) {
  const std::vector<Candle> candles = generated(kLong);
  const std::string list = list_text(candles, [](std::size_t) { return 0; });
  const std::size_t late = list.size() - list.size() / 10;
  const std::size_t joint = list.find("},{", late);
  // Blanks between two late candles, and a volume left out of one.
  std::string blanks = list;
  blanks.insert(joint + 2, " \n ");
  expect_candles(read_ok(request(blanks)).candles, candles);

  std::vector<Candle> no_volume = candles;
  const std::size_t k = kLong - kLong / 20;
  no_volume[k].volume = 0.0;
  const std::string open = list_text(no_volume, [&](std::size_t i) { return i == k ? 1 : 0; });
  std::string shortened = open;
  const std::size_t vol = shortened.find(",\"volume\":", shortened.find("{\"time\":"));
  shortened.erase(vol, shortened.find('}', vol) - vol);
  expect_candles(read_ok(request(shortened)).candles, no_volume);
}

TEST(RequestLongLists, ErrorsInALatePieceKeepTheirTextAndPosition) {
  const std::vector<Candle> candles = generated(kLong);
  const std::string list = list_text(candles, [](std::size_t) { return 1; });
  const std::size_t late = list.find("{\"time\":", list.size() - list.size() / 7);
  struct Case {
    std::string from;  // replaced at its first occurrence in the late candle
    std::string to;
    std::string message;
    std::string marker;  // the error stands at the last byte of this, within `to`
  };
  const Case cases[] = {
      {"\"open\":", "\"open\":true,\"x\":", "invalid type: boolean `true`, expected f64", "true"},
      {"{\"time\":", "{\"time\":1.5,\"z\":", "invalid type: floating point `1.5`, expected i64", "1.5"},
      {"\"low\":", "\"low\":1e999,\"w\":", "number out of range", "1e999"},
      {"\"high\":", "\"open\":2,\"high\":", "duplicate field `open`", "\"open\""},
  };
  const std::string head = R"({"candles":)";
  for (const Case& c : cases) {
    std::string bad = list;
    const std::size_t at = bad.find(c.from, late);
    bad.replace(at, c.from.size(), c.to);
    const std::string text = request(bad);
    const std::size_t stop = head.size() + at + c.to.find(c.marker) + c.marker.size() - 1;
    EXPECT_EQ(read_error(text), kPrefix + c.message + at_byte(text, stop)) << c.to;
  }
  // A list that never closes fails where the text ends.
  const std::string open = R"({"candles":)" + list.substr(0, list.size() - 1);
  EXPECT_EQ(read_error(open), kPrefix + "EOF while parsing a list" + at_byte(open, open.size() - 1));
}

}  // namespace
}  // namespace vsci
