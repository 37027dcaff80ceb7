// The basic moving averages, built by name and fed bar by bar, against batch
// references composed from the formulas of their stages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "support/batch_reference.h"
#include "support/compare.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

using ref::over_present;

std::size_t half_of(std::size_t p) { return p < 2 ? 1 : p / 2; }
std::size_t root_of(std::size_t p) { return std::max<std::size_t>(1, std::llround(std::sqrt(double(p)))); }

// Combines two series bar by bar where both have a value.
Series zip(const Series& a, const Series& b, const std::function<double(double, double)>& f) {
  Series out(a.size());
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] && b[i]) out[i] = f(*a[i], *b[i]);
  return out;
}

Series hull(const std::vector<double>& xs, std::size_t p, Series (*stage)(const std::vector<double>&, std::size_t)) {
  const Series d = zip(stage(xs, half_of(p)), stage(xs, p), [](double a, double b) { return (a + a) - b; });
  return over_present(d, [&](const std::vector<double>& v) { return stage(v, root_of(p)); });
}

Series wma_of(const std::vector<double>& xs, std::size_t p) { return ref::wma(xs, p); }
Series ema_of(const std::vector<double>& xs, std::size_t p) { return ref::ema(xs, p); }

// The k chained Ema stages of length p, each over the values of the one before.
std::vector<Series> ema_chain(const std::vector<double>& xs, std::size_t p, int k) {
  std::vector<Series> stages{ref::ema(xs, p)};
  while (int(stages.size()) < k)
    stages.push_back(over_present(stages.back(), [&](const std::vector<double>& v) { return ref::ema(v, p); }));
  return stages;
}

Series t3_reference(const std::vector<double>& xs, std::size_t p, double v) {
  const auto e = ema_chain(xs, p, 6);
  const double c = v * (v * v);
  const double c1 = -c, c2 = (v * v) * 3.0 + c * 3.0, c3 = ((v * v) * -6.0 - v * 3.0) - c * 3.0;
  const double c4 = (v * v) * 3.0 + ((1.0 + v * 3.0) + c);
  Series out(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i)
    if (e[5][i]) out[i] = ((*e[5][i] * c1 + *e[4][i] * c2) + *e[3][i] * c3) + *e[2][i] * c4;
  return out;
}

Series zlema_reference(const std::vector<double>& xs, std::size_t p) {
  const std::size_t lag = (p - 1) / 2;
  Series d(xs.size());
  for (std::size_t i = lag; i < xs.size(); ++i) d[i] = std::fma(xs[i], 2.0, -xs[i - lag]);
  return over_present(d, [&](const std::vector<double>& v) { return ref::ema(v, p); });
}

// sum from `start`, oldest first, of close_i * w_i, over `divisor`.
Series weighted_reference(const std::vector<double>& xs, const std::vector<double>& w, double start, double divisor) {
  Series out(xs.size());
  const std::size_t p = w.size();
  for (std::size_t i = p - 1; i < xs.size(); ++i) {
    double s = start;
    for (std::size_t j = 0; j < p; ++j) s += xs[i + 1 - p + j] * w[j];
    out[i] = s / divisor;
  }
  return out;
}

Series sine_reference(const std::vector<double>& xs, std::size_t p) {
  std::vector<double> w;
  double total = -0.0;
  for (std::size_t i = 0; i < p; ++i) {
    w.push_back(std::sin(((i + 1.0) * std::numbers::pi) / (p + 1.0)));
    total += w.back();
  }
  return weighted_reference(xs, w, -0.0, total);
}

Series gaussian_reference(const std::vector<double>& xs, std::size_t p, double offset, double sigma) {
  const double m = offset * (p - 1.0), s = p / sigma;
  std::vector<double> w;
  double total = -0.0;
  for (std::size_t i = 0; i < p; ++i) {
    const double d = double(i) - m;
    w.push_back(std::exp(-(d * d) / (s * (s + s))));
    total += w.back();
  }
  for (double& x : w) x /= total;
  return weighted_reference(xs, w, 0.0, 1.0);
}

// Running log sum, re-summed from -0.0 every p accepted closes.
Series geometric_reference(const std::vector<double>& xs, std::size_t p) {
  Series out(xs.size());
  double sum = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i >= p) sum -= std::log(xs[i - p]);
    sum = std::log(xs[i]) + sum;
    if ((i + 1) % p == 0) {
      sum = -0.0;
      for (std::size_t j = i + 1 - p; j <= i; ++j) sum += std::log(xs[j]);
    }
    if (i + 1 >= p) out[i] = std::exp(sum / double(p));
  }
  return out;
}

Series median_reference(const std::vector<double>& xs, std::size_t p) {
  Series out(xs.size());
  for (std::size_t i = p - 1; i < xs.size(); ++i) {
    std::vector<double> w(xs.begin() + (i + 1 - p), xs.begin() + i + 1);
    std::sort(w.begin(), w.end());
    out[i] = p % 2 ? w[p / 2] : (w[p / 2 - 1] + w[p / 2]) * 0.5;
  }
  return out;
}

Series midpoint_reference(const std::vector<double>& xs, std::size_t p) {
  Series out(xs.size());
  for (std::size_t i = p - 1; i < xs.size(); ++i) {
    const auto [lo, hi] = std::minmax_element(xs.begin() + (i + 1 - p), xs.begin() + i + 1);
    out[i] = (*hi + *lo) * 0.5;
  }
  return out;
}

Series seeded_recursive_reference(const std::vector<double>& xs, std::size_t p) {
  Series out(xs.size());
  double sum = 0.0, value = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i < p) {
      sum += xs[i];
      if (i + 1 == p) out[i] = value = sum / double(p);
    } else {
      out[i] = value = (xs[i] + value * (p - 1.0)) / double(p);
    }
  }
  return out;
}

struct KindCase {
  std::string name;
  std::vector<double> extra;  // parameters after the period
  std::function<Series(const std::vector<double>&, std::size_t)> reference;
};

std::vector<KindCase> kind_cases() {
  return {
      {"Hma", {}, [](auto& xs, std::size_t p) { return hull(xs, p, wma_of); }},
      {"ExponentialHma", {}, [](auto& xs, std::size_t p) { return hull(xs, p, ema_of); }},
      {"Trima", {},
       [](auto& xs, std::size_t p) {
         return over_present(ref::sma(xs, p - p / 2), [&](const std::vector<double>& v) { return ref::sma(v, p / 2 + 1); });
       }},
      {"TwoStageEma", {},
       [](auto& xs, std::size_t p) {
         const auto e = ema_chain(xs, p, 2);
         return zip(e[0], e[1], [](double a, double b) { return (a + a) - b; });
       }},
      {"ThreeStageEma", {},
       [](auto& xs, std::size_t p) {
         const auto e = ema_chain(xs, p, 3);
         const Series d = zip(e[0], e[1], [](double a, double b) { return (a * 3.0) - (b * 3.0); });
         return zip(d, e[2], [](double a, double b) { return a + b; });
       }},
      {"GeneralizedDema", {0.7},
       [](auto& xs, std::size_t p) {
         const auto e = ema_chain(xs, p, 2);
         return zip(e[0], e[1], [](double a, double b) { return a * (0.7 + 1.0) - b * 0.7; });
       }},
      {"T3", {0.7}, [](auto& xs, std::size_t p) { return t3_reference(xs, p, 0.7); }},
      {"Zlema", {}, zlema_reference},
      {"SineWeightedMa", {}, sine_reference},
      {"GaussianWeightedMa", {0.85, 6.0}, [](auto& xs, std::size_t p) { return gaussian_reference(xs, p, 0.85, 6.0); }},
      {"GeometricMa", {}, geometric_reference},
      {"MedianMa", {}, median_reference},
      {"MidPoint", {}, midpoint_reference},
      {"SeededRecursiveMa", {}, seeded_recursive_reference},
  };
}

TEST(MovingAverages, MatchReferencesWithFirstValueOnTheWarmupthCloseThroughNanBars) {
  for (const KindCase& k : kind_cases()) {
    for (std::size_t p : {1u, 2u, 3u, 4u, 9u, 16u}) {
      const auto xs = random_walk(500, unsigned(p * 31 + k.name.size()), 1000.0);
      const auto want = k.reference(xs, p);
      std::vector<double> params{double(p)};
      params.insert(params.end(), k.extra.begin(), k.extra.end());
      auto ind = build_ok(k.name, params);
      const auto first = std::find_if(want.begin(), want.end(), [](auto& v) { return v.has_value(); });
      ASSERT_EQ(std::size_t(first - want.begin()) + 1, ind->warmup()) << k.name << " " << p;
      const auto g = with_random_gaps(xs, unsigned(p));
      EXPECT_TRUE(same_series(feed_closes(*ind, g.closes), g.expand(want))) << k.name << " " << p;
    }
  }
}

// Windows far longer than the storage they start with grow while filling;
// the values and the re-summation points stay those of the definitions.
TEST(MovingAverages, LongWindowsMatchReferencesPastTheirResummations) {
  for (const KindCase& k : kind_cases()) {
    for (std::size_t p : {100u, 333u}) {
      const auto xs = random_walk(6000, unsigned(p + k.name.size()), 1000.0);
      std::vector<double> params{double(p)};
      params.insert(params.end(), k.extra.begin(), k.extra.end());
      EXPECT_TRUE(same_series(run_kind(k.name, params, xs), k.reference(xs, p))) << k.name << " " << p;
    }
  }
}

TEST(MovingAverages, DegenerateLengthsAndVolumeFactors) {
  const auto xs = random_walk(200, 9);
  const Series same(xs.begin(), xs.end());
  for (const char* name : {"Hma", "Trima", "TwoStageEma", "SineWeightedMa", "MedianMa", "MidPoint", "Zlema"}) {
    EXPECT_TRUE(same_series(run_kind(name, {1}, xs), same)) << name;
  }
  // Zero lag below 3: 2x - x is x, so Zlema(2) is Ema(2).
  EXPECT_TRUE(same_series(run_kind("Zlema", {2}, xs), run_kind("Ema", {2}, xs)));
  // GD with v = 1 is the two-stage Ema.
  EXPECT_TRUE(same_series(run_kind("GeneralizedDema", {5, 1.0}, xs), run_kind("TwoStageEma", {5}, xs)));
  // GD with v = 0 gives the Ema's values from its own first value on.
  const auto gd0 = run_kind("GeneralizedDema", {5, 0.0}, xs);
  const auto ema = run_kind("Ema", {5}, xs);
  for (std::size_t i = 8; i < xs.size(); ++i) ASSERT_EQ(*gd0[i], *ema[i]);
  // T3 with v = 0 is the third stage (c4 = 1, the rest 0).
  const auto t3 = run_kind("T3", {4, 0.0}, xs);
  const auto e = ema_chain(xs, 4, 3);
  for (std::size_t i = 0; i < xs.size(); ++i) ASSERT_TRUE(same_bits(t3[i], i >= 18 ? e[2][i] : std::nullopt));
  // MedianMa of 2 is the mean of the last two closes.
  const auto med = run_kind("MedianMa", {2}, xs);
  for (std::size_t i = 1; i < xs.size(); ++i) ASSERT_EQ(*med[i], (xs[i - 1] + xs[i]) * 0.5);
}

TEST(MovingAverages, GeometricMaSkipsNonPositiveClosesWithoutMovingItsWindow) {
  const auto xs = random_walk(300, 13, 80.0);
  Gapped noisy;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i % 6 == 2) noisy.add(i % 12 == 2 ? 0.0 : (i % 4 ? -5.0 : -0.0), true);
    noisy.add(xs[i], false);
  }
  EXPECT_TRUE(same_series(run_kind("GeometricMa", {5}, noisy.closes), noisy.expand(geometric_reference(xs, 5))));
}

TEST(MovingAverages, ExtremeClosesStayFiniteOrGiveNoValue) {
  const double big = std::numeric_limits<double>::max();
  const auto mid = run_kind("MidPoint", {2}, {big, big * 0.5, -big});
  EXPECT_EQ(*mid[1], big * 0.5 + big * 0.25);
  EXPECT_EQ(*mid[2], big * 0.25 - big * 0.5);
  // 2x - x as one fused step: no overflow where the exact result is finite.
  EXPECT_EQ(*run_kind("Zlema", {1}, {big})[0], big);
  // The fixed-weight sums start from -0.0 (sine) and +0.0 (Gaussian).
  EXPECT_TRUE(std::signbit(*run_kind("SineWeightedMa", {3}, {-0.0, -0.0, -0.0})[2]));
  EXPECT_FALSE(std::signbit(*run_kind("GaussianWeightedMa", {3, 0.5, 2}, {-0.0, -0.0, -0.0})[2]));
  // The weighted sums overflow: no value on that bar, nor while the running
  // sums hold the overflow; the next exact re-summation restores them.
  std::vector<double> xs(120, 1.0);
  xs[5] = big;
  const auto h = run_kind("Hma", {4}, xs);
  EXPECT_TRUE(h[4]);
  EXPECT_FALSE(h[5]);
  EXPECT_EQ(*h.back(), 1.0);
}

TEST(MovingAverages, ConstructorChecksInOrder) {
  const std::string t3 = "invalid period: T3 volume factor must be a finite value in [0.0, 1.0]";
  const std::string gd = "invalid period: GD volume factor must be a finite value in [0.0, 1.0]";
  const std::string offset = "invalid period: ALMA offset must be a finite value in [0, 1]";
  const std::string sigma = "invalid period: ALMA sigma must be a finite positive value";
  std::vector<BuildCase> cases = {
      {"T3", {kZeroCount, 7.0}, kPeriodZeroText},
      {"T3", {5, -0.0}, ""},
      {"GaussianWeightedMa", {5, 1.5, 6}, offset},
      {"GaussianWeightedMa", {5, -0.5, -1}, offset},
      {"GaussianWeightedMa", {5, 0.5, 0}, sigma},
      {"GaussianWeightedMa", {kZeroCount, 1.5, 0}, kPeriodZeroText},
      {"GaussianWeightedMa", {5, 1.0, 1e-300}, ""},
      // A sigma so large that every weight underflows (centre on a bar or between bars).
      {"GaussianWeightedMa", {5, 0.5, 1e300}, sigma},
      {"GaussianWeightedMa", {4, 0.5, 1e300}, sigma},
  };
  for (const KindCase& k : kind_cases()) {
    std::vector<double> params{kZeroCount};
    params.insert(params.end(), k.extra.begin(), k.extra.end());
    cases.push_back({k.name, params, kPeriodZeroText});
    params[0] = 16777217;
    cases.push_back({k.name, params, kMaxPeriodText});
  }
  for (double v : {-0.1, 1.0000001, 7.0}) {
    cases.push_back({"T3", {5, v}, t3});
    cases.push_back({"GeneralizedDema", {5, v}, gd});
  }
  expect_build_outcomes(cases);
  const auto narrow = run_kind("GaussianWeightedMa", {5, 0.5, 1e6}, random_walk(10, 2));
  for (std::size_t i = 4; i < 10; ++i) EXPECT_TRUE(std::isfinite(*narrow[i]));
}

}  // namespace
}  // namespace vsci
