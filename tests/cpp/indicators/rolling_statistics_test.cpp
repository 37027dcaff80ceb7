#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "indicators/rolling_statistics.h"
#include "support/batch_reference.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

const std::vector<std::size_t> kPeriods = {1, 2, 5, 37};

// Population central moment of order k.
double central_moment(const std::vector<double>& w, int k) {
  const double m = ref::mean(w);
  double s = 0.0;
  for (double v : w) s += std::pow(v - m, k);
  return s / static_cast<double>(w.size());
}

TEST(RollingStatistics, SpreadKindsMatchBatchMoments) {
  expect_matches_reference_on_walks("Variance", {}, kPeriods, [](const auto& w) { return central_moment(w, 2); },
                                    1e-9);
  expect_matches_reference_on_walks("StdDev", {}, kPeriods,
                                    [](const auto& w) { return std::sqrt(central_moment(w, 2)); }, 1e-9);
  expect_matches_reference_on_walks("ZScore", {}, kPeriods, [](const auto& w) {
    const double var = central_moment(w, 2);
    return var < 1e-18 ? 0.0 : (w.back() - ref::mean(w)) / std::sqrt(var);
  }, 1e-6);  // two nearly equal closes make the running variance lose digits
  expect_matches_reference_on_walks("CoefficientOfVariation", {}, kPeriods, [](const auto& w) {
    return std::sqrt(central_moment(w, 2)) / ref::mean(w);
  }, 1e-9);
}

TEST(RollingStatistics, SpreadKindsDegenerateWindows) {
  // Mean exactly 0 gives 0; a negative mean a negative coefficient.
  auto cv = build_ok("CoefficientOfVariation", {2});
  const auto got = feed_closes(*cv, {-1.0, 1.0, -3.0});
  EXPECT_EQ(*got[1], 0.0);
  EXPECT_DOUBLE_EQ(*got[2], -2.0);  // window 1, -3: deviation 2 over mean -1
  // Closes so large that the squares overflow: no NaN comes out.
  auto sd = build_ok("StdDev", {3});
  for (auto v : feed_closes(*sd, {1e300, -1e300, 1e300, 1e300, -1e300, 5.0})) {
    if (v) {
      EXPECT_FALSE(std::isnan(*v));
    }
  }
}

TEST(RollingStatistics, StdDevIsUsableDirectly) {
  auto sd = StdDev::create(3).value();
  EXPECT_FALSE(sd.update_value(1.0));
  EXPECT_FALSE(sd.update_value(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(sd.update_value(2.0));
  EXPECT_DOUBLE_EQ(*sd.update_value(3.0), std::sqrt(2.0 / 3.0));
  EXPECT_EQ(sd.warmup(), 3u);
}

double median_of(const std::vector<double>& w) {
  const auto s = ref::sorted(w);
  const std::size_t n = s.size();
  return n % 2 == 1 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) * 0.5;
}

TEST(RollingStatistics, ShapeKindsMatchBatchMoments) {
  const std::vector<std::size_t> periods = {4, 9, 37};
  expect_matches_reference_on_walks("Skewness", {}, periods, [](const auto& w) {
    return central_moment(w, 3) / std::pow(central_moment(w, 2), 1.5);
  }, 1e-7);
  expect_matches_reference_on_walks("Kurtosis", {}, periods, [](const auto& w) {
    return central_moment(w, 4) / std::pow(central_moment(w, 2), 2) - 3.0;
  }, 1e-7);
  // Recomputed from the window in a fixed order: exact.
  expect_matches_reference_on_walks("JarqueBera", {}, periods, [](const auto& w) {
    const double n = static_cast<double>(w.size());
    double sum = -0.0;
    for (double v : w) sum += v;
    const double mean = sum / n;
    double m2 = 0.0, m3 = 0.0, m4 = 0.0;
    for (double v : w) {
      const double d = v - mean;
      m2 += d * d;
      m3 += d * (d * d);
      m4 += (d * d) * (d * d);
    }
    m2 /= n;
    const double skew = (m3 / n) / (m2 * std::sqrt(m2));
    const double kurt = (m4 / n) / (m2 * m2) - 3.0;
    return n / 6.0 * (skew * skew + kurt * kurt * 0.25);
  });
}

TEST(RollingStatistics, ShapeKindsNeverDivideByAnUnderflowedPower) {
  // Variance about 1e-300: positive, but its 3/2 and 2nd powers underflow to 0.
  const std::vector<double> tiny = {0.0, 1e-150, 3e-150, 0.5e-150, 2e-150};
  for (const char* kind : {"Skewness", "Kurtosis", "JarqueBera"}) {
    auto ind = build_ok(kind, {4});
    for (auto v : feed_closes(*ind, tiny)) {
      if (v) {
        EXPECT_EQ(*v, 0.0) << kind;
      }
    }
  }
}

// Median of the absolute deviations from the median.
double mad_of(const std::vector<double>& w) {
  const double c = median_of(w);
  std::vector<double> dev;
  for (double v : w) dev.push_back(std::fabs(v - c));
  return median_of(dev);
}

double iqr_of(const std::vector<double>& w) { return ref::quantile(w, 0.75) - ref::quantile(w, 0.25); }

TEST(RollingStatistics, OrderStatisticsMatchSortedWindow) {
  const std::vector<std::size_t> periods = {1, 2, 6, 37};
  expect_matches_reference_on_walks("MedianAbsoluteDeviation", {}, periods, mad_of);
  expect_matches_reference_on_walks("RollingIqr", {}, periods, iqr_of);
  for (double p : {0.0, 0.1, 0.5, 0.9, 1.0}) {
    expect_matches_reference_on_walks("RollingQuantile", {p}, periods,
                                      [p](const auto& w) { return ref::quantile(w, p); });
  }
  expect_matches_reference_on_walks("RollingPercentileRank", {}, periods, [](const auto& w) {
    double below = 0.0, ties = 0.0;
    for (double v : w) {
      below += v < w.back();
      ties += v == w.back();
    }
    return (below + ties / 2.0) / static_cast<double>(w.size()) * 100.0;
  });
}

// Short windows scan and long ones count in a sorted window: both give the
// scan's mid-rank over ties, flat stretches and signed zeros.
TEST(RollingStatistics, PercentileRankCountsTiesAsAScan) {
  expect_matches_reference_on("RollingPercentileRank", {}, {1, 2, 14, 48, 49, 200, 2000}, {tie_series(4500, 9)},
                              [](const auto& w) {
                                double below = 0.0, ties = 0.0;
                                for (double v : w) {
                                  below += v < w.back();
                                  ties += v == w.back();
                                }
                                return (ties / 2.0 + below) / static_cast<double>(w.size()) * 100.0;
                              });
}

// Windows far longer than the storage they start with.
TEST(RollingStatistics, OrderStatisticsOfLongWindowsMatchSortedWindow) {
  const std::vector<std::size_t> periods = {100, 257};
  expect_matches_reference_on_walks("MedianAbsoluteDeviation", {}, periods, mad_of);
  expect_matches_reference_on_walks("RollingIqr", {}, periods, iqr_of);
  expect_matches_reference_on_walks("RollingQuantile", {0.9}, periods,
                                    [](const auto& w) { return ref::quantile(w, 0.9); });
}

TEST(RollingStatistics, OrderStatisticsEdgeCases) {
  // Rounded closes so that ties occur.
  std::vector<double> ties = random_walk(400, 3);
  for (double& v : ties) v = std::round(v / 2.0);
  expect_matches_reference("RollingPercentileRank", {8}, 8, ties, [](const auto& w) {
    double rank = 0.0;
    for (double v : w) rank += v < w.back() ? 1.0 : v == w.back() ? 0.5 : 0.0;
    return rank / 8.0 * 100.0;
  });
  auto rank = build_ok("RollingPercentileRank", {4});
  EXPECT_EQ(*feed_closes(*rank, {2.0, 1.0, 3.0, 4.0})[3], 87.5);
  auto q = build_ok("RollingQuantile", {4, 0.5});
  EXPECT_EQ(*feed_closes(*q, {7.0, 1.0, 3.0, 4.0})[3], 3.5);
  // Two values near the largest double still have a finite midpoint.
  auto mad = build_ok("MedianAbsoluteDeviation", {2});
  EXPECT_DOUBLE_EQ(*feed_closes(*mad, {1.7e308, 1.6e308})[1], 0.05e308);
  for (const char* kind : {"MedianAbsoluteDeviation", "RollingIqr"}) {
    auto one = build_ok(kind, {1});
    EXPECT_EQ(*feed_closes(*one, {5.0})[0], 0.0) << kind;
  }
  auto one = build_ok("RollingPercentileRank", {1});
  EXPECT_EQ(*feed_closes(*one, {-5.0})[0], 50.0);
}

TEST(RollingStatistics, RangeAndTrendKindsMatchReference) {
  const std::vector<std::size_t> periods = {2, 5, 37};
  expect_matches_reference_on_walks("RollingMinMaxScaler", {}, periods, [](const auto& w) {
    const auto [lo, hi] = std::minmax_element(w.begin(), w.end());
    return *hi > *lo ? (w.back() - *lo) / (*hi - *lo) : 0.5;
  });
  // Residuals of the ordinary least-squares line through (i, v).
  expect_matches_reference_on_walks("DetrendedStdDev", {}, periods, [](const auto& w) {
    const double n = static_cast<double>(w.size());
    double st = 0.0, sy = 0.0, stt = 0.0, sty = 0.0;
    for (std::size_t i = 0; i < w.size(); ++i) {
      const double t = static_cast<double>(i);
      st += t;
      sy += w[i];
      stt += t * t;
      sty += t * w[i];
    }
    const double slope = (n * sty - st * sy) / (n * stt - st * st);
    const double intercept = (sy - slope * st) / n;
    double sse = 0.0;
    for (std::size_t i = 0; i < w.size(); ++i) {
      const double e = w[i] - (intercept + slope * static_cast<double>(i));
      sse += e * e;
    }
    return std::sqrt(sse / n);
  }, 1e-7);
  // Closes whose differences overflow leave inf - inf in the residuals: that
  // variance counts as 0, as it does for the other spread kinds.
  auto wide = build_ok("DetrendedStdDev", {3});
  for (auto v : feed_closes(*wide, {1e308, -1e308, 1e308, -1e308, 1e308})) {
    if (v) {
      EXPECT_FALSE(std::isnan(*v));
    }
  }
  // A straight line has no deviation around itself.
  auto line = build_ok("DetrendedStdDev", {5});
  const auto got = feed_closes(*line, {1.0, 3.0, 5.0, 7.0, 9.0, 11.0, 13.0});
  EXPECT_NEAR(*got[6], 0.0, 1e-12);
}

// Standard sample-entropy counting with tolerance r_factor * population deviation.
double sample_entropy_of(const std::vector<double>& x, std::size_t m, double r_factor) {
  const double n = static_cast<double>(x.size());
  const double mean = ref::flat_exact_mean(x);
  double sq = 0.0;
  for (double v : x) sq += (v - mean) * (v - mean);
  if (sq == 0.0) return 0.0;
  const double r = std::sqrt(sq / n) * r_factor;
  const std::size_t starts = x.size() - m;
  double a = 0.0, b = 0.0;
  for (std::size_t i = 0; i < starts; ++i) {
    for (std::size_t j = i + 1; j < starts; ++j) {
      bool match = true;
      for (std::size_t k = 0; k < m; ++k) match = match && std::fabs(x[i + k] - x[j + k]) <= r;
      if (!match) continue;
      b += 1.0;
      if (std::fabs(x[i + m] - x[j + m]) <= r) a += 1.0;
    }
  }
  if (b == 0.0) return 0.0;
  if (a == 0.0) return std::log(b);
  return -std::log(a / b);
}

double shannon_entropy_of(const std::vector<double>& w, std::size_t bins) {
  const auto [lo, hi] = std::minmax_element(w.begin(), w.end());
  if (*hi <= *lo) return 0.0;
  const double width = (*hi - *lo) / static_cast<double>(bins);
  std::vector<double> counts(bins, 0.0);
  for (double v : w) counts[std::min(bins - 1, static_cast<std::size_t>((v - *lo) / width))] += 1.0;
  double h = 0.0;
  for (double c : counts) {
    if (c > 0.0) h -= c / static_cast<double>(w.size()) * std::log2(c / static_cast<double>(w.size()));
  }
  return h;
}

TEST(RollingStatistics, EntropyKindsMatchReference) {
  for (std::size_t m : {1, 2, 3}) {
    for (double r_factor : {0.2, 0.5}) {
      expect_matches_reference_on_walks("SampleEntropy", {static_cast<double>(m), r_factor}, {m + 2, 30},
                                        [=](const auto& w) { return sample_entropy_of(w, m, r_factor); }, 1e-12);
    }
  }
  for (std::size_t bins : {2, 5, 16}) {
    expect_matches_reference_on_walks("ShannonEntropy", {static_cast<double>(bins)}, {1, 3, 40},
                                      [=](const auto& w) { return shannon_entropy_of(w, bins); }, 1e-12);
  }
}

// With far more bins than held values, most bins are empty; the entropy is
// still the sum over the occupied bins in ascending order, bit for bit.
TEST(RollingStatistics, ShannonEntropyWithFarMoreBinsThanValues) {
  for (std::size_t bins : {27, 28, 29, 1000}) {
    expect_matches_reference_on_walks("ShannonEntropy", {static_cast<double>(bins)}, {1, 7, 40},
                                      [=](const auto& w) { return shannon_entropy_of(w, bins); });
  }
  const double most_bins = 16777216;
  auto spread = build_ok("ShannonEntropy", {4, most_bins});
  EXPECT_EQ(*feed_closes(*spread, {1.0, 2.0, 3.0, 4.0})[3], 2.0);
  auto pair = build_ok("ShannonEntropy", {4, most_bins});
  EXPECT_EQ(*feed_closes(*pair, {1.0, 4.0, 1.0, 2.0})[3], 1.5);
}

TEST(RollingStatistics, EntropyEdgeCases) {
  // Three matches of length 1 (the zeros), none extending to length 2: ln 3.
  auto se = build_ok("SampleEntropy", {6, 1, 0.1});
  EXPECT_DOUBLE_EQ(*feed_closes(*se, {0.0, 10.0, 0.0, 20.0, 0.0, 30.0})[5], std::log(3.0));

  auto two = build_ok("ShannonEntropy", {4, 2});
  EXPECT_EQ(*feed_closes(*two, {1.0, 5.0, 5.0, 1.0})[3], 1.0);
  // A range that overflows: offsets that stay finite fall into bin 0, the
  // maximum and the value whose offset overflows into the last bin.
  auto wide = build_ok("ShannonEntropy", {4, 2});
  EXPECT_EQ(*feed_closes(*wide, {-1e308, 0.0, 9e307, 1e308})[3], 1.0);
  const double third = 1.0 / 3.0;
  // A range so small that its bin width underflows to 0.
  auto narrow = build_ok("ShannonEntropy", {3, 4});
  const double tiny = std::numeric_limits<double>::denorm_min();
  EXPECT_DOUBLE_EQ(*feed_closes(*narrow, {0.0, tiny, 0.0})[2],
                   -third * std::log2(third) - 2 * third * std::log2(2 * third));
}

TEST(RollingStatistics, BollingerKindsMatchBands) {
  const std::vector<std::size_t> periods = {1, 5, 37};
  for (double k : {1.0, 2.5}) {
    expect_matches_reference_on_walks("BollingerBandwidth", {k}, periods, [k](const auto& w) {
      return 2.0 * k * std::sqrt(central_moment(w, 2)) / ref::mean(w);
    }, 1e-9);
    expect_matches_reference_on_walks("PercentB", {k}, periods, [k](const auto& w) {
      const double band = k * std::sqrt(central_moment(w, 2));
      return band < 1e-12 ? 0.5 : (w.back() - (ref::mean(w) - band)) / (2.0 * band);
    }, 1e-8);
  }
  auto bw = build_ok("BollingerBandwidth", {3, 2});
  EXPECT_EQ(*feed_closes(*bw, {-1.0, 0.0, 1.0})[2], 0.0);  // middle 0
}

// Mean and population variance of a window under the flat-window rule: one
// repeated value is exactly the mean, with exactly 0 variance.
struct FlatExactMoments {
  double mean;
  double variance;
  explicit FlatExactMoments(const std::vector<double>& w)
      : mean(ref::flat_exact_mean(w)), variance(ref::flat(w) ? 0.0 : central_moment(w, 2)) {}
};

// Stretches of one close longer than short windows (zeros and negative
// closes among them): the coefficient and the band kinds give their flat
// values exactly (signed as their formulas sign them), and follow the
// reference again once the window leaves the stretch.
TEST(RollingStatistics, ShortFlatStretchesGiveExactValues) {
  const double k = 2.0;
  expect_matches_reference_over_flat_stretches("CoefficientOfVariation", {}, [](const auto& w) {
    const FlatExactMoments m(w);
    return m.mean == 0.0 ? 0.0 : std::sqrt(m.variance) / m.mean;
  }, 1e-9);
  expect_matches_reference_over_flat_stretches("BollingerBandwidth", {k}, [k](const auto& w) {
    const FlatExactMoments m(w);
    const double band = k * std::sqrt(m.variance);
    const double width = (m.mean + band) - (m.mean - band);
    return m.mean == 0.0 || width == 0.0 ? 0.0 : width / m.mean;
  }, 1e-9);
  expect_matches_reference_over_flat_stretches("PercentB", {k}, [k](const auto& w) {
    const FlatExactMoments m(w);
    const double band = k * std::sqrt(m.variance), lower = m.mean - band, width = (m.mean + band) - lower;
    return width == 0.0 ? 0.5 : (w.back() - lower) / width;
  }, 1e-8);
  expect_matches_reference_over_flat_stretches("SampleEntropy", {1, 0.2}, [](const auto& w) {
    return sample_entropy_of(w, 1, 0.2);
  }, 1e-12, 3);
}

TEST(RollingStatistics, FlatWindowAfterVariedHistoryGivesExactValues) {
  // Running sums carry residue from the varied closes, and 0.1 has no exact
  // mean over 7 values: the promised values must still come out exactly.
  auto closes = random_walk(100, 21);
  closes.insert(closes.end(), 30, 0.1);
  struct Case {
    const char* kind;
    std::vector<double> params;
    double flat_value;
  };
  const Case cases[] = {
      {"StdDev", {7}, 0.0},          {"Variance", {7}, 0.0},
      {"ZScore", {7}, 0.0},          {"CoefficientOfVariation", {7}, 0.0},
      {"Skewness", {7}, 0.0},        {"Kurtosis", {7}, 0.0},
      {"JarqueBera", {7}, 0.0},      {"MedianAbsoluteDeviation", {7}, 0.0},
      {"RollingIqr", {7}, 0.0},      {"DetrendedStdDev", {7}, 0.0},
      {"SampleEntropy", {7, 2, 0.2}, 0.0}, {"ShannonEntropy", {7, 4}, 0.0},
      {"BollingerBandwidth", {7, 2}, 0.0}, {"RollingMinMaxScaler", {7}, 0.5},
      {"PercentB", {7, 2}, 0.5},     {"RollingPercentileRank", {7}, 50.0},
  };
  for (const Case& c : cases) {
    const auto got = feed_closes(*build_ok(c.kind, c.params), closes);
    for (std::size_t i = 106; i < got.size(); ++i) {
      ASSERT_TRUE(same_bits(got[i], c.flat_value)) << c.kind << " bar " << i << ": " << show(got[i]);
    }
  }
}

TEST(RollingStatistics, ConstructorChecksInOrder) {
  const double big = 16777217;
  expect_build_outcomes({
      {"StdDev", {kZeroCount}, kPeriodZeroText},
      {"Variance", {big}, kMaxPeriodText},
      {"ZScore", {big}, kMaxPeriodText},
      {"CoefficientOfVariation", {big}, kMaxPeriodText},
      {"MedianAbsoluteDeviation", {big}, kMaxPeriodText},
      {"RollingIqr", {big}, kMaxPeriodText},
      {"RollingPercentileRank", {big}, kMaxPeriodText},
      {"Skewness", {2}, "invalid period: skewness needs period >= 3"},
      {"Skewness", {big}, kMaxPeriodText},
      {"Kurtosis", {3}, "invalid period: kurtosis needs period >= 4"},
      {"Kurtosis", {big}, kMaxPeriodText},
      {"JarqueBera", {3}, "invalid period: Jarque-Bera needs period >= 4"},
      {"JarqueBera", {kZeroCount}, kPeriodZeroText},
      {"JarqueBera", {big}, kMaxPeriodText},
      {"RollingMinMaxScaler", {1}, "invalid period: min-max scaler needs period >= 2"},
      {"RollingMinMaxScaler", {big}, kMaxPeriodText},
      {"DetrendedStdDev", {1}, "invalid period: detrended stddev needs period >= 2"},
      {"DetrendedStdDev", {big}, kMaxPeriodText},
      {"RollingQuantile", {big, 1.5}, kMaxPeriodText},
      {"RollingQuantile", {5, 1.5}, "invalid parameter: rolling quantile must be a finite value in [0.0, 1.0]"},
      {"RollingQuantile", {5, -0.1}, "invalid parameter: rolling quantile must be a finite value in [0.0, 1.0]"},
      {"RollingQuantile", {5, kNaN}, "parameter #1 must be finite"},
      {"RollingQuantile", {5, 0.0}, ""},
      {"RollingQuantile", {5, 1.0}, ""},
      {"SampleEntropy", {5, kZeroCount, 0.2}, kPeriodZeroText},
      {"SampleEntropy", {5, 4, 0.2}, "invalid period: sample entropy needs period >= m + 2"},
      {"SampleEntropy", {5, 1e20, 0.2}, "invalid period: sample entropy needs period >= m + 2"},
      {"SampleEntropy", {1, 1, 0.2}, "invalid period: sample entropy needs period >= m + 2"},
      {"SampleEntropy", {5, 3, 0.0}, "invalid parameter: sample entropy r_factor must be finite and positive"},
      {"SampleEntropy", {5, 3, -1.0}, "invalid parameter: sample entropy r_factor must be finite and positive"},
      {"SampleEntropy", {5, 3, 5e-324}, ""},
      {"SampleEntropy", {1e20, 3, 0.2}, kMaxPeriodText},
      {"ShannonEntropy", {5, kZeroCount}, kPeriodZeroText},
      {"ShannonEntropy", {5, 1}, "invalid period: Shannon entropy needs bins >= 2"},
      {"ShannonEntropy", {5, big}, kMaxPeriodText},
      {"ShannonEntropy", {big, 4}, kMaxPeriodText},
      {"BollingerBandwidth", {big, 0.0}, kMaxPeriodText},
      {"BollingerBandwidth", {5, 0.0}, "multiplier must be greater than zero"},
      {"PercentB", {5, -2.0}, "multiplier must be greater than zero"},
      {"PercentB", {5, 5e-324}, ""},
      {"PercentB", {kZeroCount, -2.0}, kPeriodZeroText},
  });
}

}  // namespace
}  // namespace vsci
