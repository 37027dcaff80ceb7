#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "indicators/adaptive_averages.h"
#include "support/batch_reference.h"
#include "support/compare.h"
#include "support/counted_sums.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// ---------------------------------------------------------------------------
// References, written bar by bar from the definitions.

Series kama_reference(const std::vector<double>& xs, std::size_t n, double fast, double slow) {
  const double fc = 2.0 / (fast + 1.0);
  const double sc_slow = 2.0 / (slow + 1.0);
  Series out(xs.size());
  std::optional<double> prev;
  for (std::size_t t = n; t < xs.size(); ++t) {
    const double first = xs[t - n];
    double vol = -0.0;
    for (std::size_t j = t - n; j < t; ++j) vol += std::fabs(xs[j + 1] - xs[j]);
    const double er = vol == 0.0 ? 0.0 : std::fabs(xs[t] - first) / vol;
    const double sc = sc_slow + er * (fc - sc_slow);
    const double p = prev ? *prev : first;
    prev = p + (sc * sc) * (xs[t] - p);
    out[t] = prev;
  }
  return out;
}

// The Chande momentum of the last m moves scales the step; the first value is
// the close itself.
Series vidya_reference(const std::vector<double>& xs, std::size_t n, std::size_t m) {
  const double alpha = 2.0 / (n + 1.0);
  const Series cmo = ref::cmo(xs, m);
  Series out(xs.size());
  std::optional<double> prev;
  for (std::size_t t = 0; t < xs.size(); ++t) {
    if (!cmo[t]) continue;
    const double k = std::fabs(*cmo[t]) / 100.0 * alpha;
    prev = prev ? xs[t] * k + (1.0 - k) * *prev : xs[t];
    out[t] = prev;
  }
  return out;
}

Series jma_reference(const std::vector<double>& xs, double n, double phase, int power) {
  const double b = (n - 1.0) * 0.45;
  const double beta = b / (b + 2.0);
  const double a = power == 1 ? beta
                   : power == 2 ? beta * beta
                   : power == 3 ? beta * (beta * beta)
                                : (beta * beta) * (beta * beta);
  const double pr = std::clamp(phase / 100.0 + 1.5, 0.5, 2.5);
  Series out(xs.size());
  double e0 = xs[0], det0 = 0.0, det1 = 0.0, jma = xs[0];
  out[0] = jma;
  for (std::size_t t = 1; t < xs.size(); ++t) {
    const double x = xs[t];
    e0 = x * (1 - a) + a * e0;
    det0 = (x - e0) * (1 - beta) + beta * det0;
    det1 = (a * a) * det1 + (1 - a) * ((1 - a) * ((e0 + pr * det0) - jma));
    jma = jma + det1;
    out[t] = jma;
  }
  return out;
}

Series mcginley_reference(const std::vector<double>& xs, std::size_t n) {
  Series out(xs.size());
  double sum = 0.0;
  for (std::size_t t = 0; t < n; ++t) sum = sum + xs[t];
  double md = sum / n;
  out[n - 1] = md;
  for (std::size_t t = n; t < xs.size(); ++t) {
    const double x = xs[t];
    if (x > 0.0 && md > 0.0) {
      const double r = x / md;
      md = md + (x - md) / (((r * r) * (r * r)) * (n * 0.6));
    }
    out[t] = md;
  }
  return out;
}

Series frama_reference(const std::vector<double>& xs, std::size_t n) {
  const std::size_t half = n / 2;
  auto range = [&](std::size_t from, std::size_t len) {
    const auto [lo, hi] = std::minmax_element(xs.begin() + from, xs.begin() + from + len);
    return *hi - *lo;
  };
  Series out(xs.size());
  std::optional<double> prev;
  for (std::size_t t = n - 1; t < xs.size(); ++t) {
    const std::size_t start = t + 1 - n;
    const double n3 = range(start, n) / n;
    const double n1 = range(start, half) / half;
    const double n2 = range(start + half, half) / half;
    double alpha = 0.01;
    if (n3 > 0 && n1 > 0 && n2 > 0) {
      const double dim = (std::log(n1 + n2) - std::log(n3)) / std::log(2.0);
      alpha = std::clamp(std::exp((dim - 1.0) * -4.6), 0.01, 1.0);
    }
    const double p = prev ? *prev : xs[t];
    prev = xs[t] * alpha + (1.0 - alpha) * p;
    out[t] = prev;
  }
  return out;
}

Series holt_reference(const std::vector<double>& xs, double alpha, double beta) {
  Series out(xs.size());
  double level = xs[1], trend = xs[1] - xs[0];
  out[1] = level + trend;
  for (std::size_t t = 2; t < xs.size(); ++t) {
    const double next = xs[t] * alpha + (level + trend) * (1.0 - alpha);
    trend = trend * (1.0 - beta) + beta * (next - level);
    level = next;
    out[t] = level + trend;
  }
  return out;
}

Series laguerre_reference(const std::vector<double>& xs, std::size_t n) {
  Series out(xs.size());
  std::vector<double> devs, ranks;
  double alpha = 1.0, l0 = xs[0], l1 = xs[0], l2 = xs[0], l3 = xs[0];
  std::optional<double> filter;
  for (std::size_t t = 0; t < xs.size(); ++t) {
    const double x = xs[t];
    const double d = filter ? std::fabs(x - *filter) : 0.0;
    devs.push_back(d);
    if (devs.size() > n) devs.erase(devs.begin());
    const double hi = *std::max_element(devs.begin(), devs.end());
    const double lo = *std::min_element(devs.begin(), devs.end());
    if (hi - lo > 0) {
      ranks.push_back((d - lo) / (hi - lo));
      if (ranks.size() > 5) ranks.erase(ranks.begin());
      std::vector<double> s = ranks;
      std::sort(s.begin(), s.end());
      alpha = s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) * 0.5;
    }
    const double g = 1.0 - alpha;
    const double n0 = x * alpha + g * l0;
    const double n1 = g * l1 + (l0 - g * n0);
    const double n2 = g * l2 + (l1 - g * n1);
    const double n3 = g * l3 + (l2 - g * n2);
    l0 = n0, l1 = n1, l2 = n2, l3 = n3;
    filter = (((n0 + 2 * n1) + 2 * n2) + n3) / 6.0;
    if (devs.size() == n) out[t] = filter;
  }
  return out;
}

Series trendline_reference(const std::vector<double>& xs, double n) {
  const double a = 2.0 / (n + 1.0);
  Series out(xs.size());
  std::vector<double> it(xs.size());
  for (std::size_t t = 0; t < xs.size(); ++t) {
    const double x = xs[t];
    if (t < 6) {
      const double x1 = t >= 1 ? xs[t - 1] : x;
      const double x2 = t >= 2 ? xs[t - 2] : x;
      it[t] = (x2 + (x + 2 * x1)) * 0.25;
    } else {
      it[t] = (((xs[t - 1] * (a * a * 0.5) + x * (a - a * a * 0.25)) - xs[t - 2] * (a - a * a * 0.75)) +
               2 * (1 - a) * it[t - 1]) -
              ((1 - a) * (1 - a)) * it[t - 2];
    }
    out[t] = it[t];
  }
  return out;
}

std::vector<std::vector<double>> test_series() {
  return {random_walk(3000, 11), random_walk(3000, 12, 50.0, 0.3), geometric_walk(3000, 13, 2e4, 0.2),
          random_walk(3000, 14, 0.01)};
}

// ---------------------------------------------------------------------------

TEST(AdaptiveAverages, ConstructionChecksInOrder) {
  const std::string fast_slow = "invalid period: KAMA fast period must be strictly less than slow";
  const std::string power = "invalid period: JMA power must be in 1..=4";
  const std::string alpha = "invalid period: HoltWinters alpha must be in (0.0, 1.0]";
  const std::string beta = "invalid period: HoltWinters beta must be in (0.0, 1.0]";
  std::vector<BuildCase> cases = {
      {"Kama", {kZeroCount, 2, 30}, kPeriodZeroText},
      {"Kama", {10, 2, kZeroCount}, kPeriodZeroText},
      {"Kama", {10, 30, 30}, fast_slow},
      {"Kama", {16777217, 31, 30}, fast_slow},
      {"Kama", {16777217, 2, 30}, kMaxPeriodText},
      {"Kama", {10, 2}, "missing parameter #2"},
      {"Vidya", {kZeroCount, 5}, kPeriodZeroText},
      {"Vidya", {16777217, kZeroCount}, kPeriodZeroText},
      {"Vidya", {5, 16777217}, kMaxPeriodText},
      {"Vidya", {16777217, 5}, ""},
      {"Jma", {kZeroCount, 0, 9}, kPeriodZeroText},
      {"Jma", {16777217, 0, 9}, kMaxPeriodText},
      {"Jma", {7, 0, 0}, power},
      {"Jma", {7, 0, 5}, power},
      {"Jma", {7, 0, -1}, "parameter #2 must be a u32, got -1"},
      {"Jma", {7, kInf, 2}, "parameter #1 must be finite"},
      {"Jma", {7, -1e9, 4}, ""},
      {"Frama", {16777218}, kMaxPeriodText},
      {"Frama", {1}, "invalid period: FRAMA period must be at least 2"},
      {"Frama", {7}, "invalid period: FRAMA period must be even"},
      {"Frama", {2}, ""},
      {"HoltWinters", {0.0, 0.0}, alpha},
      {"HoltWinters", {1.0000001, 0.5}, alpha},
      {"HoltWinters", {-0.5, 0.5}, alpha},
      {"HoltWinters", {0.5, 0.0}, beta},
      {"HoltWinters", {0.5, 2.0}, beta},
      {"HoltWinters", {1.0, 1.0}, ""},
      {"HoltWinters", {0.5}, "missing parameter #1"},
  };
  for (const char* kind : {"McGinleyDynamic", "AdaptiveLaguerreFilter", "InstantaneousTrendline", "Frama"}) {
    cases.push_back({kind, {kZeroCount}, kPeriodZeroText});
    cases.push_back({kind, {16777217}, kMaxPeriodText});
  }
  expect_build_outcomes(cases);
  EXPECT_EQ(Jma::create(7, kNaN, 2).error().to_string(), "invalid period: JMA phase must be a finite value");
}

TEST(AdaptiveAverages, MatchReferencesOnLongSeries) {
  for (const auto& xs : test_series()) {
    for (std::size_t n : {1u, 2u, 10u, 37u}) {
      expect_series(run_kind("Kama", {double(n), 2, 30}, xs), kama_reference(xs, n, 2, 30), 0, "Kama");
      expect_series(run_kind("McGinleyDynamic", {double(n)}, xs), mcginley_reference(xs, n), 0, "McGinley");
      expect_series(run_kind("AdaptiveLaguerreFilter", {double(n)}, xs), laguerre_reference(xs, n), 0, "ALF");
      expect_series(run_kind("InstantaneousTrendline", {double(n)}, xs), trendline_reference(xs, n), 0, "ITrend");
      expect_series(run_kind("Vidya", {double(n + 3), double(n)}, xs), vidya_reference(xs, n + 3, n), 0, "Vidya");
      expect_series(run_kind("Frama", {double(2 * n)}, xs), frama_reference(xs, 2 * n), 0, "Frama");
    }
    expect_series(run_kind("Kama", {5, 3, 4}, xs), kama_reference(xs, 5, 3, 4), 0, "Kama 5/3/4");
    for (int power = 1; power <= 4; ++power) {
      for (double phase : {-300.0, -40.0, 0.0, 75.0, 200.0}) {
        expect_series(run_kind("Jma", {9, phase, double(power)}, xs), jma_reference(xs, 9, phase, power), 0, "Jma");
      }
    }
    expect_series(run_kind("Jma", {1, 0, 1}, xs), jma_reference(xs, 1, 0, 1), 0, "Jma n=1");
    for (double a : {1.0, 0.5, 0.05}) {
      for (double b : {1.0, 0.3, 0.01}) {
        expect_series(run_kind("HoltWinters", {a, b}, xs), holt_reference(xs, a, b), 0, "HoltWinters");
      }
    }
  }
}

// Chande windows 2 to 5 and one longer than a flat stretch.
TEST(AdaptiveAverages, VidyaAcrossFlatStretches) {
  const auto xs = closes_with_flat_stretches(400, 79);
  for (std::size_t m : kStretchWindows) {
    expect_series(run_kind("Vidya", {double(m + 3), double(m)}, xs), vidya_reference(xs, m + 3, m), 0, "Vidya");
  }
}

TEST(AdaptiveAverages, KamaStartsFromOldestCloseAndCrawlsOnFlatWindows) {
  const double fc = 2.0 / 3.0, sc = 2.0 / 31.0;
  const Series got = run_kind("Kama", {3, 2, 30}, {1, 2, 3, 4, 4, 4, 4, 4});
  ASSERT_FALSE(got[2].has_value());
  // A straight climb is fully efficient: the step uses the fast constant,
  // from the oldest close of the window (1), not the previous close (3).
  const double first = 1.0 + (fc * fc) * (4.0 - 1.0);
  EXPECT_EQ(*got[3], first);
  // [4, 4, 4, 4]: no volatility, so the slow constant squared.
  EXPECT_DOUBLE_EQ(*got[6], *got[5] + (sc * sc) * (4.0 - *got[5]));
  EXPECT_DOUBLE_EQ(*got[7], *got[6] + (sc * sc) * (4.0 - *got[6]));
}

TEST(AdaptiveAverages, VidyaFirstValueIsTheCloseItself) {
  for (unsigned seed = 0; seed < 40; ++seed) {
    const std::vector<double> xs = geometric_walk(12, seed, 1000.0);
    const Series got = run_kind("Vidya", {3, 10}, xs);
    ASSERT_FALSE(got[9].has_value());
    EXPECT_EQ(*got[10], xs[10]) << "seed " << seed;
  }
}

TEST(AdaptiveAverages, McGinleyRepeatsItselfOnUnusableCloses) {
  // Non-positive closes, and a close so small against the value that the
  // divisor underflows to 0: the value repeats and the state is kept.
  const std::vector<double> clean = {1e50, 2e50, 1.5e50, 1.2e50, 1.8e50};
  const Series want = mcginley_reference(clean, 2);
  const Series got = run_kind("McGinleyDynamic", {2}, {1e50, 2e50, 0.0, 1.5e50, -3.0, 1e-60, 1.2e50, 1.8e50});
  EXPECT_EQ(*got[1], *want[1]);
  EXPECT_EQ(*got[2], *want[1]);
  EXPECT_EQ(*got[3], *want[2]);
  EXPECT_EQ(*got[4], *want[2]);
  EXPECT_EQ(*got[5], *want[2]);
  EXPECT_EQ(*got[6], *want[3]);
  EXPECT_EQ(*got[7], *want[4]);

  // A seed mean that is not positive holds for good.
  const Series stuck = run_kind("McGinleyDynamic", {2}, {-1, 1, 5, 7});
  EXPECT_EQ(*stuck[1], 0.0);
  EXPECT_EQ(*stuck[3], 0.0);
}

TEST(AdaptiveAverages, FlatWindowsAndFirstValues) {
  // Frama over a flat window has no fractal dimension: factor 0.01.
  std::vector<double> xs = random_walk(16, 5);
  xs.insert(xs.end(), 20, 42.0);
  const Series frama = run_kind("Frama", {8}, xs);
  for (std::size_t t = 23; t < xs.size(); ++t) EXPECT_EQ(*frama[t], 42.0 * 0.01 + 0.99 * *frama[t - 1]);

  // The Laguerre filter over a flat series stays on the close.
  for (double level : {0.1, 3.0, 123.456, -7.25}) {
    const Series alf = run_kind("AdaptiveLaguerreFilter", {4}, std::vector<double>(30, level));
    for (std::size_t t = 3; t < 30; ++t) EXPECT_NEAR(*alf[t], level, 4e-16 * std::fabs(level));
  }
}

}  // namespace
}  // namespace vsci
