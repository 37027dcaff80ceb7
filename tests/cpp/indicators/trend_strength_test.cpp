#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "support/batch_reference.h"
#include "support/compare.h"
#include "support/counted_sums.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

TEST(TrendStrength, ConstructionChecksInOrder) {
  const std::string regime = "invalid period: regime label needs ";
  std::vector<BuildCase> cases = {
      {"VerticalHorizontalFilter", {kZeroCount}, kPeriodZeroText},
      {"VerticalHorizontalFilter", {16777217}, kMaxPeriodText},
      {"PolarizedFractalEfficiency", {3, kZeroCount}, kPeriodZeroText},
      {"WavePm", {16777217, kZeroCount}, kMaxPeriodText},
      {"TrendStrengthIndex", {1}, "invalid period: period must be >= 2 for a regression"},
      {"TrendLabel", {kZeroCount}, "invalid period: trend label needs period >= 2"},
      {"TrendLabel", {1}, "invalid period: trend label needs period >= 2"},
      {"RegimeLabel", {1, 1}, regime + "vol_period >= 2"},
      {"RegimeLabel", {16777217, 1}, kMaxPeriodText},
      {"RegimeLabel", {2, 1}, regime + "lookback >= 2"},
  };
  for (const char* kind : {"PercentageTrailingStop", "RenkoTrailingStop", "StepTrailingStop"}) {
    cases.push_back({kind, {0.0}, "multiplier must be greater than zero"});
    cases.push_back({kind, {-1.0}, "multiplier must be greater than zero"});
    cases.push_back({kind, {kInf}, "parameter #0 must be finite"});
  }
  expect_build_outcomes(cases);
}

TEST(TrendStrength, VerticalHorizontalFilterMatchesReference) {
  EXPECT_EQ(*run_kind("VerticalHorizontalFilter", {3}, {1, 2, 3, 4})[3], (4.0 - 2.0) / 3.0);
  const auto flat = run_kind("VerticalHorizontalFilter", {3}, std::vector<double>(20, 5.0));
  EXPECT_EQ(*flat.back(), 0.0);
  // Movement, then a flat stretch longer than the window: exactly 0 again.
  std::vector<double> xs = random_walk(50, 3);
  xs.insert(xs.end(), 10, xs.back());
  EXPECT_EQ(*run_kind("VerticalHorizontalFilter", {4}, xs).back(), 0.0);

  // The absolute changes in a counted running sum A, never re-summed; at
  // windows 2 to 5, 10 and one longer than a flat stretch.
  const auto reference = [](const std::vector<double>& closes, std::size_t n) {
    std::vector<double> changes;
    for (std::size_t t = 1; t < closes.size(); ++t) changes.push_back(std::fabs(closes[t] - closes[t - 1]));
    const auto a = window_sums(changes, n);
    Series want(closes.size());
    for (std::size_t t = n; t < closes.size(); ++t) {
      double hi = -kInf, lo = kInf;
      for (std::size_t i = t + 1 - n; i <= t; ++i) hi = std::max(hi, closes[i]), lo = std::min(lo, closes[i]);
      want[t] = a[t - 1] == 0.0 ? 0.0 : (hi - lo) / a[t - 1];
    }
    return want;
  };
  const auto walk = random_walk(3000, 11, 100.0, 0.05), stretches = closes_with_flat_stretches(400, 78);
  expect_series(run_kind("VerticalHorizontalFilter", {10}, walk), reference(walk, 10), 0.0, "VHF");
  for (std::size_t n : kStretchWindows) {
    expect_series(run_kind("VerticalHorizontalFilter", {double(n)}, stretches), reference(stretches, n), 0.0, "VHF");
  }
}

TEST(TrendStrength, PolarizedFractalEfficiencyMatchesReference) {
  std::vector<double> line;
  for (int i = 0; i < 30; ++i) line.push_back(10.0 + i);
  auto pfe_line = run_kind("PolarizedFractalEfficiency", {1, 3}, line);
  for (std::size_t i = 3; i < line.size(); ++i) EXPECT_EQ(*pfe_line[i], 100.0) << i;

  const std::size_t n = 8, s = 5;
  const auto closes = random_walk(2000, 5);
  Series raw(closes.size());
  for (std::size_t t = n; t < closes.size(); ++t) {
    double path = 0.0;
    for (std::size_t i = t + 1 - n; i <= t; ++i) {
      const double d = closes[i] - closes[i - 1];
      path += std::sqrt(std::fma(d, d, 1.0));
    }
    const double dist = closes[t] - closes[t - n];
    const double g = dist > 0 ? 100.0 : (dist < 0 ? -100.0 : 0.0);
    raw[t] = std::sqrt(std::fma(dist, dist, double(n) * double(n))) * g / path;
  }
  expect_series(run_kind("PolarizedFractalEfficiency", {double(n), double(s)}, closes), ref::ema(raw, s), 1e-9, "PFE");
}

TEST(TrendStrength, TrendStrengthIndexAndTrendLabelExact) {
  EXPECT_EQ(*run_kind("TrendStrengthIndex", {5}, {1, 2, 3, 4, 5})[4], 1.0);
  EXPECT_EQ(*run_kind("TrendStrengthIndex", {5}, {5, 4, 3, 2, 1})[4], -1.0);
  EXPECT_EQ(*run_kind("TrendStrengthIndex", {5}, {7, 7, 7, 7, 7})[4], 0.0);

  const std::size_t n = 12;
  const auto closes = random_walk(1500, 9);
  Series tsi(closes.size()), label(closes.size());
  const double len = double(n);
  for (std::size_t t = n - 1; t < closes.size(); ++t) {
    double total = 0.0;
    for (std::size_t i = 0; i < n; ++i) total += closes[t + 1 - n + i];
    const double m = total / len;
    double sx = 0, sxx = 0, sy = 0, syy = 0, sxy = 0;
    double cov = 0;
    const double mx = double(n - 1) * 0.5;
    for (std::size_t i = 0; i < n; ++i) {
      const double y = closes[t + 1 - n + i] - m;
      sx += double(i);
      sxx += double(i) * double(i);
      sy += y;
      syy += y * y;
      sxy += y * double(i);
      cov += (double(i) - mx) * (closes[t + 1 - n + i] - m);
    }
    const double vy = std::fma(len, syy, -(sy * sy));
    const double vx = std::fma(len, sxx, -(sx * sx));
    const double c = std::fma(len, sxy, -(sx * sy));
    tsi[t] = vy <= 0 ? 0.0 : (c < 0 ? -(c * c) / (vy * vx) : (c * c) / (vy * vx));
    label[t] = cov < 0 ? -1.0 : (cov > 0 ? 1.0 : 0.0);
  }
  expect_series(run_kind("TrendStrengthIndex", {double(n)}, closes), tsi, 0.0, "TSI");
  expect_series(run_kind("TrendLabel", {double(n)}, closes), label, 0.0, "TrendLabel");
}

TEST(TrendStrength, WavePmMatchesReference) {
  const std::size_t n = 6, s = 4;
  const auto closes = random_walk(1500, 21);
  Series q(closes.size());
  for (std::size_t t = n; t < closes.size(); ++t) {
    const double d = closes[t] - closes[t - n];
    q[t] = d * d;
  }
  const Series v = ref::ema(q, n);
  Series w(closes.size());
  for (std::size_t t = 0; t < closes.size(); ++t)
    if (v[t]) w[t] = *v[t] > 0 ? 1.0 - std::exp(-*q[t] / (2.0 * *v[t])) : 0.0;
  Series want = ref::ema(w, s);
  for (auto& x : want)
    if (x) *x *= 100.0;
  expect_series(run_kind("WavePm", {double(n), double(s)}, closes), want, 0.0, "WavePm");
}

// The label of each close against its own volatility history: the sample
// deviation of the last n log returns (exactly 0 over equal returns), below
// the lower or above the upper quartile of the last m deviations.
Series regime_reference(const std::vector<double>& closes, std::size_t n, std::size_t m) {
  std::vector<double> rets;
  std::vector<double> sigmas;
  Series want(closes.size());
  for (std::size_t t = 1; t < closes.size(); ++t) {
    rets.push_back(std::log(closes[t] / closes[t - 1]));
    if (rets.size() < n) continue;
    const std::vector<double> window(rets.end() - long(n), rets.end());
    const double mean = ref::flat_exact_mean(window);
    double ss = 0;
    for (double r : window) ss += (r - mean) * (r - mean);
    sigmas.push_back(std::sqrt(ss / double(n - 1)));
    if (sigmas.size() < m) continue;
    std::vector<double> hist(sigmas.end() - long(m), sigmas.end());
    std::sort(hist.begin(), hist.end());
    auto quart = [&](double f) {
      const double p = double(m - 1) * f;
      const std::size_t i = std::size_t(std::floor(p));
      return i >= m - 1 ? hist[m - 1] : hist[i] + (p - double(i)) * (hist[i + 1] - hist[i]);
    };
    const double sg = sigmas.back();
    want[t] = sg < quart(0.25) ? -1.0 : (sg > quart(0.75) ? 1.0 : 0.0);
  }
  return want;
}

TEST(TrendStrength, RegimeLabelMatchesReference) {
  // Closes of 0 or below are skipped like NaN: first value on the fourth
  // accepted close with n = 2, m = 2.
  auto skip = run_kind("RegimeLabel", {2, 2}, {100, 0, 101, -5, 99, kNaN, 102});
  EXPECT_EQ(first_value_bar(skip), 6);

  const auto closes = random_walk(2500, 33, 1000.0);
  expect_series(run_kind("RegimeLabel", {10, 20}, closes), regime_reference(closes, 10, 20), 0.0, "RegimeLabel");
  // Stretches of equal returns longer than short windows: every deviation of
  // the history is exactly 0 there, so the label is 0, not a residue below
  // its quartile.
  const auto stretches = flat_stretch_closes(true);
  for (std::size_t n = 2; n <= 5; ++n) {
    for (std::size_t m : {2, 3}) {
      expect_series(run_kind("RegimeLabel", {double(n), double(m)}, stretches), regime_reference(stretches, n, m), 0.0,
                    "RegimeLabel " + std::to_string(n) + " " + std::to_string(m));
    }
  }
}

TEST(TrendStrength, TrailingStopsFollowTheClose) {
  auto pct = run_kind("PercentageTrailingStop", {10}, {100, 105, 90});
  EXPECT_EQ(*pct[0], 90.0);
  EXPECT_EQ(*pct[1], 94.5);
  EXPECT_EQ(*pct[2], 99.0);
  auto renko = run_kind("RenkoTrailingStop", {2}, {10, 15, 13});
  EXPECT_EQ(*renko[0], 8.0);
  EXPECT_EQ(*renko[1], 12.0);
  EXPECT_EQ(*renko[2], 12.0);
  EXPECT_EQ(*run_kind("StepTrailingStop", {5}, {12})[0], 5.0);

  // Independent transcription of the step stop over a random walk.
  const double h = 0.75;
  const auto closes = random_walk(3000, 4);
  Series want(closes.size());
  double stop = 0;
  bool have = false, is_long = true;
  for (std::size_t t = 0; t < closes.size(); ++t) {
    const double x = closes[t];
    const double lo = h * std::floor((x - h) / h), up = h * std::ceil((x + h) / h);
    if (!have) {
      stop = lo;
      have = true;
    } else if (is_long) {
      if (x < stop) {
        is_long = false;
        stop = up;
      } else {
        stop = std::max(stop, lo);
      }
    } else if (x > stop) {
      is_long = true;
      stop = lo;
    } else {
      stop = std::min(stop, up);
    }
    want[t] = stop;
  }
  expect_series(run_kind("StepTrailingStop", {h}, closes), want, 0.0, "StepTrailingStop");
}

TEST(TrendStrength, OverflowingLevelsGiveNoValueAndKeepState) {
  // A percentage so large that the level overflows: no value, and the next
  // ordinary close continues from the previous stop.
  auto ind = build_ok("PercentageTrailingStop", {1e300});
  auto out = feed_closes(*ind, {1.0, 1e300, 2.0});
  EXPECT_TRUE(out[0].has_value());
  EXPECT_FALSE(out[1].has_value());
  EXPECT_TRUE(out[2].has_value());
  auto step = build_ok("StepTrailingStop", {1e-320});
  auto s = feed_closes(*step, {1e300});
  EXPECT_FALSE(s[0].has_value());
}

}  // namespace
}  // namespace vsci
