// The basic moving averages, built by name and fed bar by bar, against batch
// references composed from the formulas of their stages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "support/reference_averages.h"
#include "support/exact_series.h"

namespace vsci {
namespace {

namespace exact = testing::exact;

using exact::over_present;
using exact::Values;
namespace ref = testing::ref;

std::size_t half_of(std::size_t p) { return p < 2 ? 1 : p / 2; }
std::size_t root_of(std::size_t p) { return std::max<std::size_t>(1, std::llround(std::sqrt(double(p)))); }

// Combines two series bar by bar where both have a value.
Values zip(const Values& a, const Values& b, const std::function<double(double, double)>& f) {
  Values out(a.size());
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] && b[i]) out[i] = f(*a[i], *b[i]);
  return out;
}

Values hull(const std::vector<double>& xs, std::size_t p, Values (*stage)(const std::vector<double>&, std::size_t)) {
  const Values d = zip(stage(xs, half_of(p)), stage(xs, p), [](double a, double b) { return (a + a) - b; });
  return over_present(d, [&](const std::vector<double>& v) { return stage(v, root_of(p)); });
}

Values wma_of(const std::vector<double>& xs, std::size_t p) { return ref::wma(xs, p); }
Values ema_of(const std::vector<double>& xs, std::size_t p) { return ref::ema(xs, p); }

// The k chained Ema stages of length p, each over the values of the one before.
std::vector<Values> ema_chain(const std::vector<double>& xs, std::size_t p, int k) {
  std::vector<Values> stages{ref::ema(xs, p)};
  while (int(stages.size()) < k)
    stages.push_back(over_present(stages.back(), [&](const std::vector<double>& v) { return ref::ema(v, p); }));
  return stages;
}

Values t3_reference(const std::vector<double>& xs, std::size_t p, double v) {
  const auto e = ema_chain(xs, p, 6);
  const double c = v * (v * v);
  const double c1 = -c, c2 = (v * v) * 3.0 + c * 3.0, c3 = ((v * v) * -6.0 - v * 3.0) - c * 3.0;
  const double c4 = (v * v) * 3.0 + ((1.0 + v * 3.0) + c);
  Values out(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i)
    if (e[5][i]) out[i] = ((*e[5][i] * c1 + *e[4][i] * c2) + *e[3][i] * c3) + *e[2][i] * c4;
  return out;
}

Values zlema_reference(const std::vector<double>& xs, std::size_t p) {
  const std::size_t lag = (p - 1) / 2;
  Values d(xs.size());
  for (std::size_t i = lag; i < xs.size(); ++i) d[i] = std::fma(xs[i], 2.0, -xs[i - lag]);
  return over_present(d, [&](const std::vector<double>& v) { return ref::ema(v, p); });
}

// sum from `start`, oldest first, of close_i * w_i, over `divisor`.
Values weighted_reference(const std::vector<double>& xs, const std::vector<double>& w, double start, double divisor) {
  Values out(xs.size());
  const std::size_t p = w.size();
  for (std::size_t i = p - 1; i < xs.size(); ++i) {
    double s = start;
    for (std::size_t j = 0; j < p; ++j) s += xs[i + 1 - p + j] * w[j];
    out[i] = s / divisor;
  }
  return out;
}

Values sine_reference(const std::vector<double>& xs, std::size_t p) {
  std::vector<double> w;
  double total = -0.0;
  for (std::size_t i = 0; i < p; ++i) {
    w.push_back(std::sin(((i + 1.0) * std::numbers::pi) / (p + 1.0)));
    total += w.back();
  }
  return weighted_reference(xs, w, -0.0, total);
}

Values gaussian_reference(const std::vector<double>& xs, std::size_t p, double offset, double sigma) {
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
Values geometric_reference(const std::vector<double>& xs, std::size_t p) {
  Values out(xs.size());
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

Values median_reference(const std::vector<double>& xs, std::size_t p) {
  Values out(xs.size());
  for (std::size_t i = p - 1; i < xs.size(); ++i) {
    std::vector<double> w(xs.begin() + (i + 1 - p), xs.begin() + i + 1);
    std::sort(w.begin(), w.end());
    out[i] = p % 2 ? w[p / 2] : (w[p / 2 - 1] + w[p / 2]) * 0.5;
  }
  return out;
}

Values midpoint_reference(const std::vector<double>& xs, std::size_t p) {
  Values out(xs.size());
  for (std::size_t i = p - 1; i < xs.size(); ++i) {
    const auto [lo, hi] = std::minmax_element(xs.begin() + (i + 1 - p), xs.begin() + i + 1);
    out[i] = (*hi + *lo) * 0.5;
  }
  return out;
}

Values seeded_recursive_reference(const std::vector<double>& xs, std::size_t p) {
  Values out(xs.size());
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
  std::function<Values(const std::vector<double>&, std::size_t)> reference;
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
         const Values d = zip(e[0], e[1], [](double a, double b) { return (a * 3.0) - (b * 3.0); });
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
      const auto xs = testing::random_walk(500, unsigned(p * 31 + k.name.size()), 1000.0);
      const auto want = k.reference(xs, p);
      std::vector<double> params{double(p)};
      params.insert(params.end(), k.extra.begin(), k.extra.end());
      auto ind = testing::build_ok(k.name, params);
      const auto first = std::find_if(want.begin(), want.end(), [](auto& v) { return v.has_value(); });
      ASSERT_EQ(std::size_t(first - want.begin()) + 1, ind->warmup()) << k.name << " " << p;
      const auto g = exact::with_gaps(xs, unsigned(p));
      EXPECT_TRUE(exact::same_series(testing::feed_closes(*ind, g.closes), g.expand(want))) << k.name << " " << p;
    }
  }
}

TEST(MovingAverages, DegenerateLengthsAndVolumeFactors) {
  const auto xs = testing::random_walk(200, 9);
  const Values same(xs.begin(), xs.end());
  for (const char* name : {"Hma", "Trima", "TwoStageEma", "SineWeightedMa", "MedianMa", "MidPoint", "Zlema"}) {
    EXPECT_TRUE(exact::same_series(exact::run(name, {1}, xs), same)) << name;
  }
  // Zero lag below 3: 2x - x is x, so Zlema(2) is Ema(2).
  EXPECT_TRUE(exact::same_series(exact::run("Zlema", {2}, xs), exact::run("Ema", {2}, xs)));
  // GD with v = 1 is the two-stage Ema.
  EXPECT_TRUE(exact::same_series(exact::run("GeneralizedDema", {5, 1.0}, xs),
                                   exact::run("TwoStageEma", {5}, xs)));
  // GD with v = 0 gives the Ema's values from its own first value on.
  const auto gd0 = exact::run("GeneralizedDema", {5, 0.0}, xs);
  const auto ema = exact::run("Ema", {5}, xs);
  for (std::size_t i = 8; i < xs.size(); ++i) ASSERT_EQ(*gd0[i], *ema[i]);
  // T3 with v = 0 is the third stage (c4 = 1, the rest 0).
  const auto t3 = exact::run("T3", {4, 0.0}, xs);
  const auto e = ema_chain(xs, 4, 3);
  for (std::size_t i = 0; i < xs.size(); ++i) ASSERT_TRUE(exact::same_value(t3[i], i >= 18 ? e[2][i] : std::nullopt));
  // MedianMa of 2 is the mean of the last two closes.
  const auto med = exact::run("MedianMa", {2}, xs);
  for (std::size_t i = 1; i < xs.size(); ++i) ASSERT_EQ(*med[i], (xs[i - 1] + xs[i]) * 0.5);
}

TEST(MovingAverages, GeometricMaSkipsNonPositiveClosesWithoutMovingItsWindow) {
  const auto xs = testing::random_walk(300, 13, 80.0);
  std::vector<double> noisy;
  std::vector<bool> gap;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i % 6 == 2) {
      noisy.push_back(i % 12 == 2 ? 0.0 : (i % 4 ? -5.0 : -0.0));
      gap.push_back(true);
    }
    noisy.push_back(xs[i]);
    gap.push_back(false);
  }
  const exact::Gapped g{noisy, gap};
  EXPECT_TRUE(exact::same_series(exact::run("GeometricMa", {5}, noisy), g.expand(geometric_reference(xs, 5))));
}

TEST(MovingAverages, ExtremeClosesStayFiniteOrGiveNoValue) {
  const double big = std::numeric_limits<double>::max();
  const auto mid = exact::run("MidPoint", {2}, {big, big * 0.5, -big});
  EXPECT_EQ(*mid[1], big * 0.5 + big * 0.25);
  EXPECT_EQ(*mid[2], big * 0.25 - big * 0.5);
  // 2x - x as one fused step: no overflow where the exact result is finite.
  EXPECT_EQ(*exact::run("Zlema", {1}, {big})[0], big);
  // The fixed-weight sums start from -0.0 (sine) and +0.0 (Gaussian).
  EXPECT_TRUE(std::signbit(*exact::run("SineWeightedMa", {3}, {-0.0, -0.0, -0.0})[2]));
  EXPECT_FALSE(std::signbit(*exact::run("GaussianWeightedMa", {3, 0.5, 2}, {-0.0, -0.0, -0.0})[2]));
  // The weighted sums overflow: no value on that bar, nor while the running
  // sums hold the overflow; the next exact re-summation restores them.
  std::vector<double> xs(120, 1.0);
  xs[5] = big;
  const auto h = exact::run("Hma", {4}, xs);
  EXPECT_TRUE(h[4]);
  EXPECT_FALSE(h[5]);
  EXPECT_EQ(*h.back(), 1.0);
}

TEST(MovingAverages, ConstructorChecksInOrder) {
  const std::string zero = "period must be greater than zero";
  const std::string max = "invalid period: period exceeds the maximum supported window length (see MAX_PERIOD)";
  for (const KindCase& k : kind_cases()) {
    const std::string head = "invalid parameters for indicator " + k.name + ": ";
    std::vector<double> params{1e-300};  // reaches the kind as a period of 0
    params.insert(params.end(), k.extra.begin(), k.extra.end());
    EXPECT_EQ(testing::build_error(k.name, params), head + zero);
    params[0] = 16777217;
    EXPECT_EQ(testing::build_error(k.name, params), head + max);
  }
  const std::string t3 = "invalid parameters for indicator T3: invalid period: T3 volume factor must be a finite value in [0.0, 1.0]";
  const std::string gd = "invalid parameters for indicator GeneralizedDema: invalid period: GD volume factor must be a finite value in [0.0, 1.0]";
  for (double v : {-0.1, 1.0000001, 7.0}) {
    EXPECT_EQ(testing::build_error("T3", {5, v}), t3);
    EXPECT_EQ(testing::build_error("GeneralizedDema", {5, v}), gd);
  }
  EXPECT_EQ(testing::build_error("T3", {1e-300, 7.0}), "invalid parameters for indicator T3: " + zero);
  EXPECT_EQ(testing::build_error("T3", {5, -0.0}), "<built>");
  const std::string alma = "invalid parameters for indicator GaussianWeightedMa: invalid period: ALMA ";
  EXPECT_EQ(testing::build_error("GaussianWeightedMa", {5, 1.5, 6}), alma + "offset must be a finite value in [0, 1]");
  EXPECT_EQ(testing::build_error("GaussianWeightedMa", {5, -0.5, -1}), alma + "offset must be a finite value in [0, 1]");
  EXPECT_EQ(testing::build_error("GaussianWeightedMa", {5, 0.5, 0}), alma + "sigma must be a finite positive value");
  EXPECT_EQ(testing::build_error("GaussianWeightedMa", {1e-300, 1.5, 0}), "invalid parameters for indicator GaussianWeightedMa: " + zero);
  EXPECT_EQ(testing::build_error("GaussianWeightedMa", {5, 1.0, 1e-300}), "<built>");
  // A sigma so large that every weight underflows (centre on a bar or between bars).
  EXPECT_EQ(testing::build_error("GaussianWeightedMa", {5, 0.5, 1e300}), alma + "sigma must be a finite positive value");
  EXPECT_EQ(testing::build_error("GaussianWeightedMa", {4, 0.5, 1e300}), alma + "sigma must be a finite positive value");
  const auto narrow = exact::run("GaussianWeightedMa", {5, 0.5, 1e6}, testing::random_walk(10, 2));
  for (std::size_t i = 4; i < 10; ++i) EXPECT_TRUE(std::isfinite(*narrow[i]));
}

}  // namespace
}  // namespace vsci
