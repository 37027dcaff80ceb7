// The stochastic family and the squeeze against batch references over
// random, trending and rough candle tapes; TtmSqueeze over one repeated price
// after volatile bars; Stochastic's unbounded %K window costing only what it
// holds; and the construction checks in order.
#include <gtest/gtest.h>

#include "support/alloc_counter.h"
#include "support/output_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// Stochastic (%D a rolling mean) or, with `kase`, the raw value smoothed by
// two exponential averages.
LineSeries stochastic(const Candles& c, const Values& p, bool kase) {
  const std::size_t n = std::size_t(p[0]), m = std::size_t(p[1]);
  const Values highs = field(c, &Candle::high), lows = field(c, &Candle::low);
  Series raw(c.size());
  for (std::size_t i = n - 1; i < c.size(); ++i) {
    const double hh = max_of(highs, i, n), ll = min_of(lows, i, n);
    raw[i] = hh > ll ? (c[i].close - ll) * 100 / (hh - ll) : 50;
  }
  if (!kase) return lines_of({raw, ref::sma(raw, m)});
  const Series fast = ref::mean_seeded(raw, m);
  return lines_of({fast, ref::mean_seeded(fast, m)});
}

// Population bands and the n-bar mean of the closes, Wilder's ATR (rounded
// step), and the end of the least-squares line through close - base.
LineSeries ttm_squeeze(const Candles& c, const Values& p) {
  const std::size_t n = std::size_t(p[0]);
  const double nf = p[0], xm = (nf - 1) / 2;
  const Series atr = wilder_atr(c, nf, false);
  const Values highs = field(c, &Candle::high), lows = field(c, &Candle::low);
  LineSeries out(c.size());
  for (std::size_t i = n - 1; i < c.size(); ++i) {
    double mean = 0, var = 0, ym = 0, sxy = 0, sxx = 0;
    for (std::size_t j = i + 1 - n; j <= i; ++j) mean += c[j].close / nf;
    for (std::size_t j = i + 1 - n; j <= i; ++j) var += (c[j].close - mean) * (c[j].close - mean) / nf;
    const double base = ((max_of(highs, i, n) + min_of(lows, i, n)) / 2 + mean) / 2;
    for (std::size_t j = i + 1 - n; j <= i; ++j) ym += (c[j].close - base) / nf;
    for (std::size_t j = 0; j < n; ++j)
      sxy += (double(j) - xm) * (c[i + 1 - n + j].close - base - ym), sxx += (double(j) - xm) * (double(j) - xm);
    out[i] = Values{p[1] * std::sqrt(var) <= p[2] * *atr[i] ? 1.0 : 0.0, ym + sxy / sxx * (nf - 1 - xm)};
  }
  return out;
}

TEST(StochasticFamily, MatchBatchReferences) {
  const auto stoch = [](const Candles& c, const Values& p) { return stochastic(c, p, false); };
  const auto kase = [](const Candles& c, const Values& p) { return stochastic(c, p, true); };
  expect_output_references({{"Stochastic", "k d", stoch, {{5, 3}, {1, 1}, {14, 3}}},
                            {"KasePermissionStochastic", "fast slow", kase, {{10, 3}, {1, 1}, {5, 8}}},
                            {"TtmSqueeze", "squeeze momentum", ttm_squeeze, {{2, 2, 1.5}, {20, 2, 1.5}, {9, 1, 3}},
                             1e-9}},
                           candle_tapes());
}

TEST(StochasticFamily, SqueezeOverOneRepeatedPriceAndAHugeKWindow) {
  // After volatile bars, one price whose sums are inexact: both bands lie on
  // it, so the squeeze holds and the momentum is exactly 0.
  Candles c = make_tape(300, 9).candles;
  c.insert(c.end(), 60, Candle{0, 100.1, 100.1, 100.1, 100.1, 1});
  for (double n : {2, 7, 20, 33}) {
    const CandleRun run = run_candle_kind("TtmSqueeze", {n, 2, 0.5}, c);
    for (std::size_t i = 300 + std::size_t(n); i < c.size(); ++i)
      EXPECT_TRUE(run.outputs[i][0].value == 1.0 && run.outputs[i][1].value == 0.0) << n << " bar " << i;
  }
  // Stochastic's %K window has no MAX_PERIOD bound, yet costs what it holds.
  CountAllocations counting;
  EXPECT_EQ(first_value_bar(run_candles("Stochastic", {4294967296, 3}, c)), -1);
  EXPECT_LT(counting.tally().bytes, 1u << 16);
}

TEST(StochasticFamily, ConstructionChecksInOrder) {
  const std::string ttm = "invalid period: TTM squeeze needs period >= 2 for the momentum regression";
  const std::string mult = "multiplier must be greater than zero";
  const double z = kZeroCount, big = 16777217;
  expect_build_outcomes({
      {"Stochastic", {z, big}, kPeriodZeroText}, {"Stochastic", {14, z}, kPeriodZeroText},
      {"Stochastic", {14, big}, kMaxPeriodText}, {"Stochastic", {big, 3}, ""}, {"Stochastic", {4294967296, 3}, ""},
      {"Stochastic", {4294967297, 3}, kMaxPeriodText}, {"Stochastic", {1e19, 16777216}, kMaxPeriodText},
      {"KasePermissionStochastic", {z, big}, kPeriodZeroText}, {"KasePermissionStochastic", {big, z}, kMaxPeriodText},
      {"KasePermissionStochastic", {10, z}, kPeriodZeroText}, {"KasePermissionStochastic", {10, big}, kMaxPeriodText},
      {"TtmSqueeze", {1, -1, -1}, ttm}, {"TtmSqueeze", {z, 2, 2}, ttm}, {"TtmSqueeze", {big, 0, 2}, kMaxPeriodText},
      {"TtmSqueeze", {20, 2, -1}, mult}, {"TtmSqueeze", {20, 0, 2}, mult}, {"TtmSqueeze", {2, 5e-324, 5e-324}, ""},
  });
}

}  // namespace
}  // namespace vsci
