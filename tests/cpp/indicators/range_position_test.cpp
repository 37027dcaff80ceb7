// Range-position oscillators against batch loops written from their formulas
// over random and trending candle tapes, their constructor checks, and the
// flat-window results (0 for the CCI kinds, 50 for meeting bands).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/batch_reference.h"
#include "support/candle_checks.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// The CCI of the typical prices about their plain mean or, when adaptive,
// about a mean that moves by the window's efficiency; 0 on a flat window.
Series cci_of(const Candles& cs, std::size_t n, bool adaptive) {
  const auto tp = candle_field(cs, [](const Candle& c) { return (c.high + c.low + c.close) / 3.0; });
  Series out(cs.size());
  double mean = 0.0;
  for (std::size_t i = n - 1; i < cs.size(); ++i) {
    const std::size_t from = i + 1 - n;
    double sum = -0.0, path = 0.0, dev = 0.0;
    for (std::size_t j = from; j <= i; ++j) sum += tp[j], path += j > from ? std::fabs(tp[j] - tp[j - 1]) : 0.0;
    const bool flat = std::count(tp.begin() + long(from), tp.begin() + long(i + 1), tp[i]) == long(n);
    const double er = path > 0 ? std::min(std::fabs(tp[i] - tp[from]) / path, 1.0) : 0.0;
    const double slow = 2.0 / 31.0, sc = std::pow(er * (2.0 / 3.0 - slow) + slow, 2);
    mean = !adaptive || i + 1 == n ? (flat ? tp[i] : sum / double(n)) : mean + sc * (tp[i] - mean);
    for (std::size_t j = from; j <= i; ++j) dev += std::fabs(tp[j] - mean);
    out[i] = flat || dev == 0.0 ? 0.0 : (tp[i] - mean) / (dev / double(n) * 0.015);
  }
  return out;
}
Series cci(const Candles& cs, const Params& p) { return cci_of(cs, count_at(p, 0), false); }
Series adaptive_cci(const Candles& cs, const Params& p) { return cci_of(cs, count_at(p, 0), true); }

Series stochastic_cci(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0);
  return ref::over_present(cci(cs, p), [n](const std::vector<double>& v) {
    Series out(v.size());
    for (std::size_t i = n - 1; i < v.size(); ++i) {
      const auto [lo, hi] = std::minmax_element(v.begin() + long(i + 1 - n), v.begin() + long(i + 1));
      out[i] = *hi - *lo == 0.0 ? 50.0 : 100.0 * (v[i] - *lo) / (*hi - *lo);
    }
    return out;
  });
}

Series smi(const Candles& cs, const Params& p) {
  const std::size_t k = count_at(p, 0), a = count_at(p, 1), b = count_at(p, 2);
  Series rel(cs.size()), range(cs.size());
  for (std::size_t i = k - 1; i < cs.size(); ++i) {
    double hh = cs[i].high, ll = cs[i].low;
    for (std::size_t j = i + 1 - k; j < i; ++j) hh = std::max(hh, cs[j].high), ll = std::min(ll, cs[j].low);
    rel[i] = cs[i].close - (hh + ll) * 0.5;
    range[i] = hh - ll;
  }
  Series num = ref::mean_seeded(ref::mean_seeded(rel, a), b), den = ref::mean_seeded(ref::mean_seeded(range, a), b);
  for (auto& v : num) v = v ? std::optional(100.0 * *v) : v;
  for (auto& v : den) v = v ? std::optional(0.5 * *v) : v;
  return ratio_or_last(num, den);
}

// Bars since the newest highest high and lowest low of n + 1 bars.
Series aroon_oscillator(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0);
  Series out(cs.size());
  for (std::size_t i = n; i < cs.size(); ++i) {
    std::size_t since_high = 0, since_low = 0;
    for (std::size_t ago = 1; ago <= n; ++ago) {
      if (cs[i - ago].high > cs[i - since_high].high) since_high = ago;
      if (cs[i - ago].low < cs[i - since_low].low) since_low = ago;
    }
    out[i] = double(n - since_high) * 100.0 / double(n) - double(n - since_low) * 100.0 / double(n);
  }
  return out;
}

// Least-squares slope against x = 0 (oldest) .. n - 1 of the values from `from`.
double slope(const std::vector<double>& v, std::size_t from, std::size_t n) {
  const double nf = double(n), sx = nf * (nf - 1) / 2, sxx = nf * (nf - 1) * (2 * nf - 1) / 6;
  double mean = -0.0, s1 = 0, s2 = 0;
  for (std::size_t j = 0; j < n; ++j) mean += v[from + j];
  mean /= nf;
  for (std::size_t j = 0; j < n; ++j) s1 += v[from + j] - mean, s2 += double(j) * (v[from + j] - mean);
  return (nf * s2 - s1 * sx) / (nf * sxx - sx * sx);
}

Series projection_percent(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0);
  const auto hs = candle_field(cs, [](const Candle& c) { return c.high; });
  const auto ls = candle_field(cs, [](const Candle& c) { return c.low; });
  Series out(cs.size());
  for (std::size_t i = n - 1; i < cs.size(); ++i) {
    const std::size_t from = i + 1 - n;
    const double sh = slope(hs, from, n), sl = slope(ls, from, n);
    double upper = -kInf, lower = kInf;
    for (std::size_t j = 0; j < n; ++j) {
      upper = std::max(upper, hs[from + j] + sh * double(n - 1 - j));
      lower = std::min(lower, ls[from + j] + sl * double(n - 1 - j));
    }
    out[i] = upper == lower ? 50.0 : 100.0 * (cs[i].close - lower) / (upper - lower);
  }
  return out;
}

TEST(RangePosition, MatchBatchReferences) {
  Candles flat_start(5, Candle{0, 0.1, 0.1, 0.1, 0.1, 1});
  for (const Candle& c : make_tape(300, 54).candles) flat_start.push_back(c);
  expect_candle_references(
      {
          {"Cci", {20}, cci, 1e-9},          {"Cci", {1}, cci},
          {"StochasticCci", {14}, stochastic_cci, 1e-8}, {"StochasticCci", {1}, stochastic_cci},
          {"AdaptiveCci", {20}, adaptive_cci, 1e-9}, {"AdaptiveCci", {3}, adaptive_cci, 1e-9},
          {"Smi", {10, 3, 3}, smi},          {"Smi", {5, 1, 4}, smi},
          {"AroonOscillator", {14}, aroon_oscillator}, {"AroonOscillator", {1}, aroon_oscillator},
          {"ProjectionBandPercent", {14}, projection_percent, 1e-9},
          {"ProjectionBandPercent", {2}, projection_percent, 1e-9},
      },
      {make_tape(1500, 51).candles, make_tape(1500, 52, 80.0, 0.5).candles, grid_tape(600, 53, 4.0), flat_start});
}

TEST(RangePosition, ConstructionChecksInOrder) {
  const std::string too_short = "invalid period: projection bands need period >= 2";
  expect_build_outcomes({
      {"Cci", {kZeroCount}, kPeriodZeroText}, {"Cci", {16777217}, kMaxPeriodText},
      {"StochasticCci", {kZeroCount}, kPeriodZeroText}, {"AdaptiveCci", {kZeroCount}, kPeriodZeroText},
      {"AdaptiveCci", {1}, "invalid period: adaptive CCI needs period >= 2"},
      {"AdaptiveCci", {16777217}, kMaxPeriodText},
      {"Smi", {5, 3, kZeroCount}, kPeriodZeroText}, {"Smi", {1e30, 16777217, 3}, kMaxPeriodText},
      {"Smi", {16777217, 3, 3}, kMaxPeriodText}, {"Smi", {1, 1, 1}, ""},
      {"AroonOscillator", {kZeroCount}, kPeriodZeroText}, {"AroonOscillator", {16777216}, ""},
      {"ProjectionBandPercent", {kZeroCount}, too_short}, {"ProjectionBandPercent", {1}, too_short},
      {"ProjectionBandPercent", {16777217}, kMaxPeriodText},
  });
}

TEST(RangePosition, FlatWindowsAndFixedPoints) {
  // A window of one repeated typical price after a run of large ones: the
  // running sum keeps residue, the result must still be 0.
  Candles cs = make_tape(40, 55, 1e5).candles;
  for (int i = 0; i < 25; ++i) cs.push_back({0, 0.1, 0.1, 0.1, 0.1, 1});
  for (const char* kind : {"Cci", "AdaptiveCci"}) EXPECT_EQ(feed_candles(*build_ok(kind, {7}), cs).back(), 0.0) << kind;
  // Constant high 12 and low 10: the close at the low is 0, at the high 100.
  auto pbp = build_ok("ProjectionBandPercent", {4});
  for (double close : {11.0, 10.5, 11.5}) pbp->update(BarContext(Candle{0, close, 12, 10, close, 1}));
  EXPECT_EQ(pbp->update(BarContext(Candle{0, 10, 12, 10, 10, 1})), 0.0);
  EXPECT_EQ(pbp->update(BarContext(Candle{0, 12, 12, 10, 12, 1})), 100.0);
  // The highest high repeated on the oldest and the current bar counts as today's.
  const Candles tie = {{0, 1, 5, 1, 1, 1}, {0, 2, 4, 2, 2, 1}, {0, 3, 3, 3, 3, 1}, {0, 4, 5, 4, 4, 1}};
  EXPECT_EQ(feed_candles(*build_ok("AroonOscillator", {3}), tie).back(), 100.0);
  // No range at all: Smi never has a value to give.
  EXPECT_EQ(first_value_bar(feed_candles(*build_ok("Smi", {5, 3, 3}), Candles(40, Candle{0, 2, 2, 2, 2, 1}))), -1);
}

}  // namespace
}  // namespace vsci
