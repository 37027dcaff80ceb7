// Session kinds against batch loops over half-hourly bars that start three
// days before the epoch (so a bar at -1 ms falls on the day before), at
// offsets of 0 and +-60 minutes, with a bar out of time order and zero
// closes and opens where days change; the opening range starts from the
// infinities, not from zero.
#include <gtest/gtest.h>

#include "support/candle_run.h"
#include "support/conformance.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

const ConformanceRows kConformance{{"InitialBalance"}, {"OpeningRange"}, {"SessionHighLow"}, {"SessionRange"},
                                   {"OvernightIntradayReturn", FirstValue::Free}};

Candles session_tape() {
  Candles c = candle_run_tapes()[1];
  for (std::size_t i = 0; i < c.size(); ++i) {
    c[i].time = -3 * 86'400'000LL + std::int64_t(i) * 1'800'000 - std::int64_t(i % 2 == 0);
    if (i >= 140 && i <= 150) c[i].low = c[i].close = 0.0;  // across a day's end at every offset
    if (i >= 188 && i <= 198) c[i].low = c[i].open = 0.0;   // across a day's start
  }
  c[500].time = c[100].time;
  return c;
}

std::int64_t floor_div(__int128 a, __int128 b) { return std::int64_t((a - ((a % b) + b) % b) / b); }

// The three day kinds: high/low, session ranges, overnight/intraday.
std::array<OutputSeries, 3> day_kinds(const Candles& c, int offset) {
  std::array<OutputSeries, 3> out{OutputSeries(c.size()), OutputSeries(c.size()), OutputSeries(c.size())};
  std::optional<std::int64_t> day;
  std::optional<double> prev, overnight;
  double hi = 0, lo = 0, open = 0, sh[3], sl[3];
  for (std::size_t i = 0; i < c.size(); ++i) {
    const std::int64_t seconds = floor_div(c[i].time, 1000) + 60 * offset, d = floor_div(seconds, 86400);
    if (day != d) {
      day = d, hi = -kInf, lo = kInf, open = c[i].open;
      for (int s = 0; s < 3; ++s) sh[s] = -kInf, sl[s] = kInf;
      if (prev) overnight = *prev == 0 ? 0.0 : c[i].open / *prev - 1;
    }
    const std::size_t s = std::size_t(seconds - 86400 * d) / 3600 / 8;
    hi = std::max(hi, c[i].high), lo = std::min(lo, c[i].low);
    sh[s] = std::max(sh[s], c[i].high), sl[s] = std::min(sl[s], c[i].low);
    prev = c[i].close;
    out[0][i] = {hi, lo};
    out[1][i] = std::vector<double>();
    for (int k = 0; k < 3; ++k) out[1][i]->push_back(sh[k] >= sl[k] ? sh[k] - sl[k] : 0.0);
    if (overnight) out[2][i] = {*overnight, open == 0 ? 0.0 : c[i].close / open - 1};
  }
  return out;
}

OutputSeries opening(const Candles& c, std::size_t n, bool range) {
  OutputSeries out(c.size());
  double hi = -kInf, lo = kInf;
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (i < n) hi = std::max(hi, c[i].high), lo = std::min(lo, c[i].low);
    out[i] = range ? std::vector<double>{hi, lo, c[i].close - (hi + lo) * 0.5} : std::vector<double>{hi, lo};
  }
  return out;
}

TEST(SessionLevels, MatchTheirBatchReferences) {
  const Candles tape = session_tape();
  for (int offset : {0, 60, -60}) {
    const auto want = day_kinds(tape, offset);
    expect_outputs("SessionHighLow", {double(offset)}, tape, want[0], "high low");
    expect_outputs("SessionRange", {double(offset)}, tape, want[1], "asia eu us");
    expect_outputs("OvernightIntradayReturn", {double(offset)}, tape, want[2], "overnight intraday");
  }
  for (std::size_t n : {1, 3, 50}) {
    expect_outputs("InitialBalance", {double(n)}, tape, opening(tape, n, false), "high low");
    expect_outputs("OpeningRange", {double(n)}, tape, opening(tape, n, true), "high low breakout_distance");
  }
}

TEST(SessionLevels, ConstructorChecks) {
  expect_build_outcomes({{"InitialBalance", {kZeroCount}, kPeriodZeroText}, {"InitialBalance", {16777217}, kMaxPeriodText},
                         {"OpeningRange", {kZeroCount}, kPeriodZeroText}, {"OpeningRange", {16777217}, kMaxPeriodText},
                         {"SessionHighLow", {-300}, ""}, {"SessionRange", {2147483647}, ""},
                         {"SessionHighLow", {2147483648.0}, "parameter #0 must be an i32, got 2147483648"},
                         {"OvernightIntradayReturn", {-720}, ""},
                         {"OvernightIntradayReturn", {1.5}, "parameter #0 must be an i32, got 1.5"}});
}

}  // namespace
}  // namespace vsci
