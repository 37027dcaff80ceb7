// Candle momentum oscillators against batch loops written from their formulas
// over random and trending candle tapes, their constructor checks, and the
// flat-window results that running-sum residue must not disturb.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "support/batch_reference.h"
#include "support/candle_checks.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

Series awesome(const Candles& cs, const Params& p) {
  const auto median = candle_field(cs, [](const Candle& c) { return (c.high + c.low) * 0.5; });
  return zip(ref::sma(median, count_at(p, 0)), ref::sma(median, count_at(p, 1)), std::minus<>());
}

// The oscillator less its value lag bars earlier.
Series histogram(const Candles& cs, const Params& p) {
  const Series ao = awesome(cs, p);
  Series earlier(ao.size());
  std::copy(ao.begin(), ao.end() - long(p[2]), earlier.begin() + long(p[2]));
  return zip(ao, earlier, std::minus<>());
}

// The oscillator less its own simple average.
Series accelerator(const Candles& cs, const Params& p) {
  const Series ao = awesome(cs, p);
  return zip(ao, ref::over_present(ao, [&](const std::vector<double>& v) { return ref::sma(v, count_at(p, 2)); }),
             std::minus<>());
}

Series pgo(const Candles& cs, const Params& p) {
  const Series avg = ref::sma(candle_field(cs, [](const Candle& c) { return c.close; }), count_at(p, 0));
  Series tr(cs.size()), dist(cs.size());
  for (std::size_t i = 0; i < cs.size(); ++i) {
    const Candle& c = cs[i];
    const double pc = i ? cs[i - 1].close : c.close;
    tr[i] = std::max({c.high - c.low, std::fabs(c.high - pc), std::fabs(c.low - pc)});
    if (avg[i]) dist[i] = c.close - *avg[i];
  }
  return ratio_or_last(dist, ref::mean_seeded(tr, count_at(p, 0)));
}

Series heikin_body(const Candles& cs, const Params& p) {
  Series body(cs.size());
  double open = 0, close = 0;
  for (std::size_t i = 0; i < cs.size(); ++i) {
    const Candle& c = cs[i];
    open = i == 0 ? (c.open + c.close) * 0.5 : (open + close) * 0.5;
    close = (c.open + c.high + c.low + c.close) * 0.25;
    body[i] = close - open;
  }
  return ref::mean_seeded(body, count_at(p, 0));
}

// The gain and loss sums are counted running windows, never re-summed.
Series intraday_momentum(const Candles& cs, const Params& p) {
  return over_windows(
      cs, count_at(p, 0), count_at(p, 0) - 1, [&](std::size_t j) { return std::max(cs[j].close - cs[j].open, 0.0); },
      [&](std::size_t j) { return std::max(cs[j].open - cs[j].close, 0.0); },
      [](double g, double l, double) { return g + l == 0 ? 50.0 : 100.0 * g / (g + l); }, WindowSumRule{});
}

// Bodies and ranges weighted 1, 2, 2, 1 over four bars (the outer terms
// added last), in counted running sums over n bars, never re-summed.
Series vigor(const Candles& cs, const Params& p) {
  const auto sums = [&](double (*f)(const Candle&)) {
    const Term w = [&](std::size_t i) {
      const double a = f(cs[i - 3]), b = f(cs[i - 2]), c = f(cs[i - 1]), d = f(cs[i]);
      return (a + ((b + b) + ((c + c) + d))) / 6.0;
    };
    return over_windows(
        cs, count_at(p, 0), count_at(p, 0) + 2, w, w, [](double s, double, double) { return s; }, WindowSumRule{});
  };
  return ratio_or_last(sums([](const Candle& c) { return c.close - c.open; }),
                       sums([](const Candle& c) { return c.high - c.low; }));
}

// The relative volatility index of the closes, then the least-squares line
// through its values: the two kinds chained by hand.
Series inertia(const Candles& cs, const Params& p) {
  const Series rvi = run_kind("RviVolatility", {p[0]}, candle_field(cs, [](const Candle& c) { return c.close; }));
  return ref::over_present(rvi, [&](const std::vector<double>& y) { return run_kind("LinearRegression", {p[1]}, y); });
}

Series qstick(const Candles& cs, const Params& p) {
  return ref::sma(candle_field(cs, [](const Candle& c) { return c.close - c.open; }), count_at(p, 0));
}

TEST(MomentumOscillators, MatchBatchReferences) {
  expect_candle_references(
      {
          {"AwesomeOscillator", {5, 34}, awesome},         {"AwesomeOscillator", {1, 2}, awesome},
          {"AwesomeOscillatorHistogram", {3, 9, 4}, histogram}, {"AcceleratorOscillator", {5, 34, 5}, accelerator},
          {"Qstick", {7}, qstick},                         {"Pgo", {14}, pgo},
          {"Pgo", {1}, pgo},                               {"HeikinAshiBodyOscillator", {10}, heikin_body},
          {"IntradayMomentumIndex", {14}, intraday_momentum}, {"Rvi", {10}, vigor},
          {"Rvi", {1}, vigor},                             {"Inertia", {6, 9}, inertia, 1e-9},
          {"Inertia", {2, 2}, inertia, 1e-9},
      },
      {make_tape(1500, 41).candles, make_tape(1500, 42, 50.0, 0.4).candles, make_tape(900, 43, 2000.0, -0.8).candles});
}

// Windows 2 to 5 and one longer than a stretch of flat bars (no body, no
// range), after which the sums hold non-zero terms again.
TEST(MomentumOscillators, CountedSumsAcrossFlatStretches) {
  std::vector<CandleRow> rows;
  for (std::size_t n : kStretchWindows) {
    rows.insert(rows.end(), {{"IntradayMomentumIndex", {double(n)}, intraday_momentum}, {"Rvi", {double(n)}, vigor}});
  }
  expect_candle_references(rows, {candles_with_flat_stretches(400, 73)});
}

TEST(MomentumOscillators, ConstructionChecksInOrder) {
  const std::string ao_order = "invalid period: AO fast period must be strictly less than slow";
  const std::string aoh_order = "invalid period: AwesomeOscillatorHistogram fast must be strictly less than slow";
  expect_build_outcomes({
      {"AwesomeOscillator", {kZeroCount, 5}, kPeriodZeroText},
      {"AwesomeOscillator", {16777218, 16777217}, ao_order},
      {"AwesomeOscillator", {5, 16777217}, kMaxPeriodText},
      {"AwesomeOscillatorHistogram", {34, 5, kZeroCount}, kPeriodZeroText},
      {"AwesomeOscillatorHistogram", {34, 5, 1}, aoh_order},
      {"AwesomeOscillatorHistogram", {5, 16777217, 1}, kMaxPeriodText},
      {"AwesomeOscillatorHistogram", {5, 34, 16777217}, kMaxPeriodText},
      {"AcceleratorOscillator", {5, 5, kZeroCount}, ao_order},
      {"AcceleratorOscillator", {5, 34, kZeroCount}, kPeriodZeroText},
      {"AcceleratorOscillator", {5, 34, 16777217}, kMaxPeriodText},
      {"Qstick", {kZeroCount}, kPeriodZeroText}, {"Pgo", {16777217}, kMaxPeriodText},
      {"HeikinAshiBodyOscillator", {kZeroCount}, kPeriodZeroText}, {"Rvi", {16777216}, ""},
      {"IntradayMomentumIndex", {16777217}, kMaxPeriodText}, {"Inertia", {1, kZeroCount}, kPeriodZeroText},
      {"Inertia", {1, 1}, "invalid period: RVI period must be >= 2"}, {"Inertia", {2, 16777217}, kMaxPeriodText},
      {"Inertia", {2, 1}, "invalid period: linear regression needs period >= 2"},
  });
}

TEST(MomentumOscillators, FlatWindowsKeepTheirPromisedResults) {
  // Large bodies, then bodiless bars: the sums must come back to exactly zero.
  Candles cs;
  for (double body : {1e6, 0.3, -1e6, -1e-3}) cs.push_back({0, std::max(-body, 0.0), 2e6, 0, std::max(body, 0.0), 1});
  for (int i = 0; i < 30; ++i) cs.push_back({0, 0.1, 0.3, 0.05, 0.1, 1});
  EXPECT_EQ(feed_candles(*build_ok("IntradayMomentumIndex", {4}), cs).back(), 50.0);
  // Flat ranges: Rvi repeats its last value; Pgo over one unchanged price never divides.
  for (int i = 0; i < 20; ++i) cs.push_back({0, 0.1, 0.1, 0.1, 0.1, 1});
  const Series rvi = feed_candles(*build_ok("Rvi", {4}), cs);
  EXPECT_TRUE(same_bits(rvi.back(), rvi[cs.size() - 21])) << show(rvi.back());
  const Candles flat(40, Candle{0, 3.0, 3.0, 3.0, 3.0, 1});
  EXPECT_EQ(first_value_bar(feed_candles(*build_ok("Pgo", {5}), flat)), -1);
}

}  // namespace
}  // namespace vsci
