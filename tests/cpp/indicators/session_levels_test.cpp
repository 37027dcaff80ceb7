// Session kinds against batch loops over half-hourly bars that start three
// days before the epoch (so a bar at -1 ms falls on the day before), at
// offsets of 0 and +-60 minutes, with a bar out of time order and zero
// closes and opens where days change; the opening range starts from the
// infinities, not from zero.
#include <gtest/gtest.h>

#include "support/candle_run.h"

namespace vsci {
namespace {

using namespace vsci::testing;

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

// SessionHighLow, SessionRange, OvernightIntradayReturn at `offset`; then
// InitialBalance and OpeningRange over the first n bars.
std::array<OutputSeries, 5> sessions(const Candles& c, int offset, std::size_t n) {
  std::array<OutputSeries, 5> out;
  out.fill(OutputSeries(c.size()));
  std::optional<std::int64_t> day;
  std::optional<double> prev, overnight;
  double open = 0, hi[5] = {-kInf, 0, 0, 0, 0}, lo[5] = {kInf, 0, 0, 0, 0};  // the first n bars', the day's, each session's
  for (std::size_t i = 0; i < c.size(); ++i) {
    const std::int64_t seconds = floor_div(c[i].time, 1000) + 60 * offset, d = floor_div(seconds, 86400);
    if (day != d) {
      day = d, open = c[i].open, std::fill(hi + 1, hi + 5, -kInf), std::fill(lo + 1, lo + 5, kInf);
      if (prev) overnight = *prev == 0 ? 0.0 : c[i].open / *prev - 1;
    }
    for (std::size_t s : {std::size_t(i < n ? 0 : 1), std::size_t(1), 2 + std::size_t(seconds - 86400 * d) / 3600 / 8})
      hi[s] = std::max(hi[s], c[i].high), lo[s] = std::min(lo[s], c[i].low);
    prev = c[i].close;
    out[0][i] = {hi[1], lo[1]}, out[1][i].emplace(), out[3][i] = {hi[0], lo[0]};
    for (int s = 2; s < 5; ++s) out[1][i]->push_back(hi[s] >= lo[s] ? hi[s] - lo[s] : 0.0);
    if (overnight) out[2][i] = {*overnight, open == 0 ? 0.0 : c[i].close / open - 1};
    out[4][i] = {hi[0], lo[0], c[i].close - (hi[0] + lo[0]) * 0.5};
  }
  return out;
}

TEST(SessionLevels, MatchBatchReferencesAndCheckTheirParameters) {
  const Candles tape = session_tape();
  for (auto [offset, n] : {std::pair<int, std::size_t>{0, 1}, {60, 3}, {-60, 50}}) {
    const auto want = sessions(tape, offset, n);
    const std::string names[] = {"high low", "asia eu us", "overnight intraday", "high low", "high low breakout_distance"};
    const char* kinds[] = {"SessionHighLow", "SessionRange", "OvernightIntradayReturn", "InitialBalance", "OpeningRange"};
    for (std::size_t k = 0; k < 5; ++k) expect_outputs(kinds[k], {double(k < 3 ? offset : int(n))}, tape, want[k], names[k]);
  }
  // The constructor checks, in order.
  expect_build_outcomes({{"InitialBalance", {kZeroCount}, kPeriodZeroText}, {"OpeningRange", {16777217}, kMaxPeriodText},
                         {"InitialBalance", {16777217}, kMaxPeriodText}, {"SessionHighLow", {-300}, ""},
                         {"SessionRange", {2147483648.0}, "parameter #0 must be an i32, got 2147483648"},
                         {"OvernightIntradayReturn", {1.5}, "parameter #0 must be an i32, got 1.5"}});
}

}  // namespace
}  // namespace vsci
