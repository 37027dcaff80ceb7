#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "support/compare.h"
#include "support/series.h"

namespace vsci {
namespace {

using testing::build_error;
using testing::build_ok;
using testing::expect_series_near;
using testing::feed_closes;
using testing::random_walk;
using testing::Series;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const std::string kMax = "invalid period: period exceeds the maximum supported window length (see MAX_PERIOD)";

Series run(const std::string& kind, std::vector<double> params, const std::vector<double>& closes) {
  auto ind = build_ok(kind, std::move(params));
  return feed_closes(*ind, closes);
}

// Plain seeded EMA of a series with gaps: the mean of the first p inputs,
// then alpha * x fused onto (1 - alpha) * value.
Series ema_ref(const Series& in, std::size_t p) {
  Series out(in.size());
  const double a = 2.0 / (static_cast<double>(p) + 1.0);
  double seed = -0.0, value = 0.0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (!in[i]) continue;
    if (count >= p) {
      value = std::fma(a, *in[i], (1.0 - a) * value);
      out[i] = value;
    } else {
      seed = *in[i] + seed;
      if (++count == p) {
        value = seed / static_cast<double>(p);
        out[i] = value;
      }
    }
  }
  return out;
}

TEST(TrendStrength, ConstructionChecksInOrder) {
  EXPECT_EQ(build_error("VerticalHorizontalFilter", {1e-300}),
            "invalid parameters for indicator VerticalHorizontalFilter: period must be greater than zero");
  EXPECT_EQ(build_error("VerticalHorizontalFilter", {16777217}),
            "invalid parameters for indicator VerticalHorizontalFilter: " + kMax);
  EXPECT_EQ(build_error("PolarizedFractalEfficiency", {3, 1e-300}),
            "invalid parameters for indicator PolarizedFractalEfficiency: period must be greater than zero");
  EXPECT_EQ(build_error("WavePm", {16777217, 1e-300}), "invalid parameters for indicator WavePm: " + kMax);
  EXPECT_EQ(build_error("TrendStrengthIndex", {1}),
            "invalid parameters for indicator TrendStrengthIndex: invalid period: period must be >= 2 for a regression");
  EXPECT_EQ(build_error("TrendLabel", {1e-300}),
            "invalid parameters for indicator TrendLabel: invalid period: trend label needs period >= 2");
  EXPECT_EQ(build_error("TrendLabel", {1}),
            "invalid parameters for indicator TrendLabel: invalid period: trend label needs period >= 2");
  EXPECT_EQ(build_error("RegimeLabel", {1, 1}),
            "invalid parameters for indicator RegimeLabel: invalid period: regime label needs vol_period >= 2");
  EXPECT_EQ(build_error("RegimeLabel", {16777217, 1}), "invalid parameters for indicator RegimeLabel: " + kMax);
  EXPECT_EQ(build_error("RegimeLabel", {2, 1}),
            "invalid parameters for indicator RegimeLabel: invalid period: regime label needs lookback >= 2");
  for (const char* kind : {"PercentageTrailingStop", "RenkoTrailingStop", "StepTrailingStop"}) {
    for (double bad : {0.0, -1.0}) {
      EXPECT_EQ(build_error(kind, {bad}),
                std::string("invalid parameters for indicator ") + kind + ": multiplier must be greater than zero");
    }
    EXPECT_EQ(build_error(kind, {kInf}), std::string("invalid parameters for indicator ") + kind +
                                             ": parameter #0 must be finite");
  }
}

TEST(TrendStrength, WarmupsMatchFirstValueBar) {
  const auto closes = random_walk(400, 7);
  struct Case {
    std::string kind;
    std::vector<double> params;
    long warmup;
  } cases[] = {{"VerticalHorizontalFilter", {5}, 6}, {"PolarizedFractalEfficiency", {6, 3}, 9},
               {"TrendStrengthIndex", {5}, 5},       {"WavePm", {4, 3}, 10},
               {"TrendLabel", {4}, 4},               {"PercentageTrailingStop", {5}, 1},
               {"RenkoTrailingStop", {1}, 1},        {"StepTrailingStop", {1}, 1}};
  for (const auto& c : cases) {
    auto ind = build_ok(c.kind, c.params);
    EXPECT_EQ(ind->warmup(), static_cast<std::uint64_t>(c.warmup)) << c.kind;
    EXPECT_EQ(testing::first_value_bar(feed_closes(*ind, closes)) + 1, c.warmup) << c.kind;
    EXPECT_TRUE(ind->outputs().empty());
  }
}

TEST(TrendStrength, VerticalHorizontalFilterMatchesReference) {
  EXPECT_EQ(*run("VerticalHorizontalFilter", {3}, {1, 2, 3, 4})[3], (4.0 - 2.0) / 3.0);
  const auto flat = run("VerticalHorizontalFilter", {3}, std::vector<double>(20, 5.0));
  EXPECT_EQ(*flat.back(), 0.0);
  // Movement, then a flat stretch longer than the window: exactly 0 again.
  std::vector<double> xs = random_walk(50, 3);
  xs.insert(xs.end(), 10, xs.back());
  EXPECT_EQ(*run("VerticalHorizontalFilter", {4}, xs).back(), 0.0);

  const std::size_t n = 10;
  const auto closes = random_walk(3000, 11, 100.0, 0.05);
  Series want(closes.size());
  for (std::size_t t = n; t < closes.size(); ++t) {
    double hi = -kInf, lo = kInf, a = 0.0;
    for (std::size_t i = t + 1 - n; i <= t; ++i) {
      hi = std::max(hi, closes[i]);
      lo = std::min(lo, closes[i]);
      a += std::fabs(closes[i] - closes[i - 1]);
    }
    want[t] = (hi - lo) / a;
  }
  expect_series_near(run("VerticalHorizontalFilter", {10}, closes), want, 1e-10, "VHF");
}

TEST(TrendStrength, PolarizedFractalEfficiencyMatchesReference) {
  std::vector<double> line;
  for (int i = 0; i < 30; ++i) line.push_back(10.0 + i);
  auto pfe_line = run("PolarizedFractalEfficiency", {1, 3}, line);
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
  expect_series_near(run("PolarizedFractalEfficiency", {double(n), double(s)}, closes), ema_ref(raw, s), 1e-9, "PFE");
}

TEST(TrendStrength, TrendStrengthIndexAndTrendLabelExact) {
  EXPECT_EQ(*run("TrendStrengthIndex", {5}, {1, 2, 3, 4, 5})[4], 1.0);
  EXPECT_EQ(*run("TrendStrengthIndex", {5}, {5, 4, 3, 2, 1})[4], -1.0);
  EXPECT_EQ(*run("TrendStrengthIndex", {5}, {7, 7, 7, 7, 7})[4], 0.0);

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
  expect_series_near(run("TrendStrengthIndex", {double(n)}, closes), tsi, 0.0, "TSI");
  expect_series_near(run("TrendLabel", {double(n)}, closes), label, 0.0, "TrendLabel");
}

TEST(TrendStrength, WavePmMatchesReference) {
  const std::size_t n = 6, s = 4;
  const auto closes = random_walk(1500, 21);
  Series q(closes.size());
  for (std::size_t t = n; t < closes.size(); ++t) {
    const double d = closes[t] - closes[t - n];
    q[t] = d * d;
  }
  const Series v = ema_ref(q, n);
  Series w(closes.size());
  for (std::size_t t = 0; t < closes.size(); ++t)
    if (v[t]) w[t] = *v[t] > 0 ? 1.0 - std::exp(-*q[t] / (2.0 * *v[t])) : 0.0;
  Series want = ema_ref(w, s);
  for (auto& x : want)
    if (x) *x *= 100.0;
  expect_series_near(run("WavePm", {double(n), double(s)}, closes), want, 0.0, "WavePm");
}

TEST(TrendStrength, RegimeLabelMatchesReference) {
  // Closes of 0 or below are skipped like NaN: first value on the fourth
  // accepted close with n = 2, m = 2.
  auto skip = run("RegimeLabel", {2, 2}, {100, 0, 101, -5, 99, kNaN, 102});
  EXPECT_EQ(testing::first_value_bar(skip), 6);

  const std::size_t n = 10, m = 20;
  const auto closes = random_walk(2500, 33, 1000.0);
  std::vector<double> rets;
  std::vector<double> sigmas;
  Series want(closes.size());
  for (std::size_t t = 1; t < closes.size(); ++t) {
    rets.push_back(std::log(closes[t] / closes[t - 1]));
    if (rets.size() < n) continue;
    double mean = 0;
    for (std::size_t i = rets.size() - n; i < rets.size(); ++i) mean += rets[i];
    mean /= double(n);
    double ss = 0;
    for (std::size_t i = rets.size() - n; i < rets.size(); ++i) ss += (rets[i] - mean) * (rets[i] - mean);
    sigmas.push_back(std::sqrt(ss / double(n - 1)));
    if (sigmas.size() < m) continue;
    std::vector<double> hist(sigmas.end() - m, sigmas.end());
    std::sort(hist.begin(), hist.end());
    auto quart = [&](double f) {
      const double p = double(m - 1) * f;
      const std::size_t i = std::size_t(std::floor(p));
      return i >= m - 1 ? hist[m - 1] : hist[i] + (p - double(i)) * (hist[i + 1] - hist[i]);
    };
    const double sg = sigmas.back();
    want[t] = sg < quart(0.25) ? -1.0 : (sg > quart(0.75) ? 1.0 : 0.0);
  }
  expect_series_near(run("RegimeLabel", {double(n), double(m)}, closes), want, 0.0, "RegimeLabel");
}

TEST(TrendStrength, TrailingStopsFollowTheClose) {
  auto pct = run("PercentageTrailingStop", {10}, {100, 105, 90});
  EXPECT_EQ(*pct[0], 90.0);
  EXPECT_EQ(*pct[1], 94.5);
  EXPECT_EQ(*pct[2], 99.0);
  auto renko = run("RenkoTrailingStop", {2}, {10, 15, 13});
  EXPECT_EQ(*renko[0], 8.0);
  EXPECT_EQ(*renko[1], 12.0);
  EXPECT_EQ(*renko[2], 12.0);
  EXPECT_EQ(*run("StepTrailingStop", {5}, {12})[0], 5.0);

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
  expect_series_near(run("StepTrailingStop", {h}, closes), want, 0.0, "StepTrailingStop");
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

TEST(TrendStrength, NonFiniteClosesLeaveStateUntouched) {
  const auto closes = random_walk(600, 17);
  std::vector<double> gappy;
  for (std::size_t i = 0; i < closes.size(); ++i) {
    gappy.push_back(closes[i]);
    if (i % 37 == 5) gappy.push_back(i % 2 ? kNaN : -kInf);
  }
  for (const auto& [kind, params] : std::vector<std::pair<std::string, std::vector<double>>>{
           {"VerticalHorizontalFilter", {7}}, {"PolarizedFractalEfficiency", {5, 3}}, {"TrendStrengthIndex", {6}},
           {"WavePm", {5, 2}}, {"TrendLabel", {5}}, {"RegimeLabel", {4, 6}}, {"PercentageTrailingStop", {3}},
           {"RenkoTrailingStop", {0.5}}, {"StepTrailingStop", {0.5}}}) {
    const Series clean = run(kind, params, closes);
    Series filtered;
    const Series with_gaps = run(kind, params, gappy);
    for (std::size_t i = 0; i < gappy.size(); ++i) {
      if (std::isfinite(gappy[i])) filtered.push_back(with_gaps[i]);
      else EXPECT_FALSE(with_gaps[i].has_value()) << kind;
    }
    expect_series_near(filtered, clean, 0.0, kind);
  }
}

}  // namespace
}  // namespace vsci
