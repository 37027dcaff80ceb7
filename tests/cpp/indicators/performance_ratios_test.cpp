#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "indicators/performance_ratios.h"
#include "support/batch_reference.h"
#include "support/counted_sums.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

const std::vector<std::size_t> kRatioPeriods = {2, 5, 40};

// Per-period returns: a quiet series, a trending one, and one rounded to whole
// percents so that zero returns and ties occur.
const std::vector<std::vector<double>>& return_series() {
  static const std::vector<std::vector<double>> series = [] {
    auto rounded = random_returns(1500, 5, 0.0, 0.015);
    for (double& r : rounded) r = std::round(r * 100.0) / 100.0;
    return std::vector<std::vector<double>>{random_returns(1500, 3), random_returns(1500, 4, 0.004),
                                            rounded};
  }();
  return series;
}

// Price levels, including a walk that crosses zero so that peaks <= 0 occur.
const std::vector<std::vector<double>>& level_series() {
  static const std::vector<std::vector<double>> series = {random_walk(1500, 8),
                                                          random_walk(1500, 9, 3.0, 0.01)};
  return series;
}

double sum_of(const std::vector<double>& w) {
  double s = 0.0;
  for (double v : w) s += v;
  return s;
}

double sample_sd(const std::vector<double>& w) {
  const double m = ref::mean(w);
  double s = 0.0;
  for (double v : w) s += (v - m) * (v - m);
  return std::sqrt(s / static_cast<double>(w.size() - 1));
}

// The equity compounded from the returns, starting at 1 before the first.
std::vector<double> equity_of(const std::vector<double>& returns) {
  std::vector<double> e;
  double level = 1.0;
  for (double r : returns) e.push_back(level *= 1.0 + r);
  return e;
}

// Depths of the drawdown episodes of a curve, the one open at the end included;
// episodes whose peak is not positive are left out.
std::vector<double> episode_depths(const std::vector<double>& curve, double start_peak) {
  std::vector<double> depths;
  double peak = start_peak;
  bool open = false;
  double episode_peak = 0.0, trough = 0.0;
  auto close = [&] {
    if (open && episode_peak > 0.0) depths.push_back((episode_peak - trough) / episode_peak);
    open = false;
  };
  for (double v : curve) {
    if (v >= peak) {
      close();
      peak = v;
    } else if (!open) {
      open = true;
      episode_peak = peak;
      trough = v;
    } else {
      trough = std::min(trough, v);
    }
  }
  close();
  return depths;
}

// Slope of the cumulative returns against time over its standard error.
double k_ratio_of(const std::vector<double>& w) {
  const double n = static_cast<double>(w.size());
  double c = 0.0, st = 0.0, sc = 0.0, stt = 0.0, stc = 0.0;
  std::vector<double> cum;
  for (std::size_t i = 0; i < w.size(); ++i) {
    const double t = static_cast<double>(i + 1);
    cum.push_back(c += w[i]);
    st += t;
    sc += c;
    stt += t * t;
    stc += t * c;
  }
  const double sxx = stt - st * st / n;
  const double slope = (stc - st * sc / n) / sxx;
  const double intercept = (sc - slope * st) / n;
  double sse = 0.0;
  for (std::size_t i = 0; i < cum.size(); ++i) {
    sse += std::pow(cum[i] - (intercept + slope * static_cast<double>(i + 1)), 2);
  }
  // Cumulative sums on a line: every return after the first is the same.
  const bool on_a_line = std::all_of(w.begin() + 1, w.end(), [&](double r) { return r == w[1]; });
  return on_a_line ? 0.0 : slope / std::sqrt(sse / (n - 2.0) / sxx);
}

TEST(PerformanceRatios, LevelKindsMatchReference) {
  expect_matches_reference_on("MaxDrawdown", {}, kRatioPeriods, level_series(), [](const auto& w) {
    double peak = -kInf, worst = 0.0;
    for (double v : w) {
      peak = std::max(peak, v);
      if (peak > 0.0) worst = std::max(worst, (peak - v) / peak);
    }
    return worst;
  });
  expect_matches_reference_on("PainIndex", {}, kRatioPeriods, level_series(), [](const auto& w) {
    double peak = -kInf, pain = 0.0;
    for (double v : w) {
      peak = std::max(peak, v);
      if (peak > 0.0) pain += (peak - v) / peak;
    }
    return pain / static_cast<double>(w.size());
  });
  expect_matches_reference_on("AverageDrawdown", {}, kRatioPeriods, level_series(), [](const auto& w) {
    const auto depths = episode_depths(w, -kInf);
    return depths.empty() ? 0.0 : sum_of(depths) / static_cast<double>(depths.size());
  });
}

TEST(PerformanceRatios, LevelKindsOnAKnownCurve) {
  const std::vector<double> curve = {100.0, 80.0, 120.0, 90.0};
  EXPECT_EQ(*feed_closes(*build_ok("MaxDrawdown", {4}), curve)[3], 0.25);
  EXPECT_DOUBLE_EQ(*feed_closes(*build_ok("PainIndex", {4}), curve)[3], (0.2 + 0.25) / 4.0);
  EXPECT_DOUBLE_EQ(*feed_closes(*build_ok("AverageDrawdown", {4}), curve)[3], 0.225);

  auto rf = build_ok("RecoveryFactor", {});
  EXPECT_EQ(rf->warmup(), 1u);
  const auto got = feed_closes(*rf, {100.0, kNaN, 80.0, -kInf, 120.0, 60.0});
  EXPECT_EQ(*got[0], 0.0);
  EXPECT_FALSE(got[1]);
  EXPECT_NEAR(*got[2], -1.0, 1e-12);
  EXPECT_FALSE(got[3]);
  EXPECT_NEAR(*got[4], 1.0, 1e-12);
  EXPECT_NEAR(*got[5], (60.0 / 100.0 - 1.0) / 0.5, 1e-12);  // the largest drawdown is now 0.5
  auto from_zero = build_ok("RecoveryFactor", {7, 8});      // extra parameters are ignored
  for (auto v : feed_closes(*from_zero, {0.0, 5.0, 1.0, 7.0})) EXPECT_FALSE(v);
}

TEST(PerformanceRatios, CompoundedDrawdownRatiosMatchReference) {
  const auto& series = return_series();
  expect_matches_reference_on("CalmarRatio", {}, kRatioPeriods, series, [](const auto& w) {
    double peak = 1.0, worst = 0.0;
    for (double e : equity_of(w)) {
      peak = std::max(peak, e);
      worst = std::max(worst, (peak - e) / peak);
    }
    return worst == 0.0 ? 0.0 : ref::mean(w) / worst;
  }, 1e-9);
  expect_matches_reference_on("BurkeRatio", {}, kRatioPeriods, series, [](const auto& w) {
    double squares = 0.0;
    for (double d : episode_depths(equity_of(w), 1.0)) squares += d * d;
    return squares > 0.0 ? ref::mean(w) / std::sqrt(squares) : 0.0;
  });
  expect_matches_reference_on("SterlingRatio", {}, kRatioPeriods, series, [](const auto& w) {
    const auto depths = episode_depths(equity_of(w), 1.0);
    return depths.empty() ? 0.0 : ref::mean(w) / (sum_of(depths) / static_cast<double>(depths.size()));
  });
  expect_matches_reference_on("ReturnToUlcerRatio", {}, kRatioPeriods, series, [](const auto& w) {
    double peak = 1.0, squares = 0.0;
    for (double e : equity_of(w)) {
      peak = std::max(peak, e);
      const double pct = (peak - e) * 100.0 / peak;
      squares += pct * pct;
    }
    const double ulcer2 = squares / static_cast<double>(w.size());
    return ulcer2 > 0.0 ? ref::mean(w) / std::sqrt(ulcer2) : 0.0;
  });
}

TEST(PerformanceRatios, CompoundingOverflowGivesNoValueAndKeepsGoing) {
  // Price levels fed as returns: the compounded equity overflows while the
  // window holds them, and values resume, unharmed, once they have left it.
  std::vector<double> closes(300, 1e6);
  const auto tail = random_returns(100, 2);
  closes.insert(closes.end(), tail.begin(), tail.end());
  for (const char* kind : {"CalmarRatio", "BurkeRatio", "SterlingRatio", "ReturnToUlcerRatio"}) {
    const auto got = feed_closes(*build_ok(kind, {60}), closes);
    EXPECT_FALSE(got[59].has_value()) << kind;
    const auto fresh = feed_closes(*build_ok(kind, {60}), tail);
    ASSERT_TRUE(got.back().has_value()) << kind;
    EXPECT_NEAR(*got.back(), *fresh.back(), 1e-12) << kind;
  }
}

TEST(PerformanceRatios, MeanAndDeviationRatiosMatchReference) {
  const auto& series = return_series();
  for (double rf : {0.0, 0.001}) {
    expect_matches_reference_on("SharpeRatio", {rf}, kRatioPeriods, series, [rf](const auto& w) {
      const double sd = sample_sd(w);
      return sd < 1e-15 ? 0.0 : (ref::mean(w) - rf) / sd;
    }, 1e-8);
    expect_matches_reference_on("M2Measure", {rf, 0.02}, kRatioPeriods, series, [rf](const auto& w) {
      const double sd = sample_sd(w);
      return sd < 1e-15 ? 0.0 : rf + 0.02 * ((ref::mean(w) - rf) / sd);
    }, 1e-8);
  }
  for (double target : {0.0, 0.002}) {
    expect_matches_reference_on("SortinoRatio", {target}, kRatioPeriods, series, [target](const auto& w) {
      double down = 0.0;
      for (double r : w) down += r < target ? (r - target) * (r - target) : 0.0;
      down /= static_cast<double>(w.size());
      return down == 0.0 ? 0.0 : (ref::mean(w) - target) / std::sqrt(down);
    }, 1e-9);
    expect_matches_reference_on("UpsidePotentialRatio", {target}, kRatioPeriods, series, [target](const auto& w) {
      double up = 0.0, down = 0.0;
      for (double r : w) {
        up += std::max(r - target, 0.0);
        down += std::pow(std::min(r - target, 0.0), 2);
      }
      const double n = static_cast<double>(w.size());
      return down == 0.0 ? 0.0 : (up / n) / std::sqrt(down / n);
    }, 1e-9);
  }
  expect_matches_reference_on("KRatio", {}, {3, 5, 40}, series, k_ratio_of, 1e-6);
}

// Short windows over runs of 1 to 7 zero returns: the running sum of the
// window restarts from exactly +0.0 as its last non-zero return leaves, and is
// re-summed from -0.0 every n returns; the mean is that sum over n.
TEST(PerformanceRatios, RunningMeansRestartFromZeroAfterZeroReturnRuns) {
  auto r = random_returns(2000, 11, 0.0, 0.02);
  for (std::size_t i = 0; i < r.size(); ++i) {
    r[i] = std::round(r[i] * 1000.0) / 1000.0 * std::pow(10.0, double(i % 3) - 1.0);
    if (i % 23 >= 5 && i % 23 < 6 + (i / 23) % 7) r[i] = 0.0;
  }
  for (std::size_t n = 2; n <= 5; ++n) {
    const auto sums = ref::counted_sums(r, n, n, -0.0);
    Series calmar(r.size()), sortino(r.size());
    const double target = 0.002;
    for (std::size_t i = n - 1; i < r.size(); ++i) {
      const double mean = sums[i] / double(n);
      double e = 1.0, peak = 1.0, worst = 0.0, down = 0.0;
      for (std::size_t j = i + 1 - n; j <= i; ++j) {
        e = e * (r[j] + 1.0);
        if (e > peak) peak = e;
        worst = std::max(worst, (peak - e) / peak);
        if (r[j] - target < 0.0) down += (r[j] - target) * (r[j] - target);
      }
      calmar[i] = worst == 0.0 ? 0.0 : mean / worst;
      down /= double(n);
      sortino[i] = down == 0.0 ? 0.0 : (mean - target) / std::sqrt(down);
    }
    EXPECT_TRUE(same_series(feed_closes(*build_ok("CalmarRatio", {double(n)}), r), calmar)) << n;
    EXPECT_TRUE(same_series(feed_closes(*build_ok("SortinoRatio", {double(n), target}), r), sortino)) << n;
  }
}

TEST(PerformanceRatios, SortinoDividesByTheWholeWindow) {
  auto sortino = build_ok("SortinoRatio", {4, 0.0});
  const double mean = (0.01 + 0.03 + 0.02 - 0.02) / 4.0;
  EXPECT_NEAR(*feed_closes(*sortino, {0.01, 0.03, 0.02, -0.02})[3], mean / std::sqrt(0.02 * 0.02 / 4.0), 1e-12);
}

// Sums and counts of gains (> 0) and loss magnitudes (< 0).
struct Tally {
  double gains = 0.0, losses = 0.0, wins = 0.0, loss_count = 0.0;
  explicit Tally(const std::vector<double>& w) {
    for (double r : w) {
      if (r > 0.0) {
        gains += r;
        wins += 1.0;
      } else if (r < 0.0) {
        losses -= r;
        loss_count += 1.0;
      }
    }
  }
};

double common_sense_ratio_of(const std::vector<double>& w) {
  const Tally t(w);
  const double q05 = ref::quantile(w, 0.05);
  if (t.losses == 0.0 || q05 == 0.0) return 0.0;
  return (t.gains / t.losses) * (ref::quantile(w, 0.95) / std::fabs(q05));
}

TEST(PerformanceRatios, GainAndLossRatiosMatchReference) {
  const auto& series = return_series();
  const std::vector<std::size_t> periods = {1, 2, 5, 40};
  for (double threshold : {0.0, 0.005}) {
    expect_matches_reference_on("OmegaRatio", {threshold}, periods, series, [threshold](const auto& w) {
      double above = 0.0, below = 0.0;
      for (double r : w) (r >= threshold ? above : below) += std::fabs(r - threshold);
      return below == 0.0 ? (above == 0.0 ? 1.0 : kInf) : above / below;
    });
  }
  expect_matches_reference_on("GainLossRatio", {}, periods, series, [](const auto& w) {
    const Tally t(w);
    if (t.loss_count == 0.0) return t.wins == 0.0 ? 1.0 : kInf;
    return (t.wins == 0.0 ? 0.0 : t.gains / t.wins) / (t.losses / t.loss_count);
  });
  expect_matches_reference_on("ProfitFactor", {}, periods, series, [](const auto& w) {
    const Tally t(w);
    return t.losses == 0.0 ? (t.gains == 0.0 ? 1.0 : kInf) : t.gains / t.losses;
  });
  expect_matches_reference_on("KellyCriterion", {}, periods, series, [](const auto& w) {
    const Tally t(w);
    const double win = t.wins / static_cast<double>(w.size());
    if (t.loss_count == 0.0) return win;
    if (t.wins == 0.0) return -1.0;
    return win - (1.0 - win) / ((t.gains / t.wins) / (t.losses / t.loss_count));
  });
  expect_matches_reference_on("WinRate", {}, periods, series,
                              [](const auto& w) { return Tally(w).wins / static_cast<double>(w.size()); });
  expect_matches_reference_on("GainToPainRatio", {}, periods, series, [](const auto& w) {
    const Tally t(w);
    return t.losses > 0.0 ? sum_of(w) / t.losses : 0.0;
  }, 1e-9);
  expect_matches_reference_on("Expectancy", {}, periods, series, [](const auto& w) {
    const Tally t(w);
    return t.loss_count == 0.0 ? 0.0 : ref::mean(w) / (t.losses / t.loss_count);
  }, 1e-9);
}

TEST(PerformanceRatios, DegenerateWindows) {
  const std::vector<double> gains(6, 0.25);  // exact cumulative sums
  const std::vector<double> zeros(6, 0.0);
  struct Case {
    const char* kind;
    std::vector<double> params;
    double on_equal_gains;
    double on_zeros;
  };
  const Case cases[] = {
      {"SharpeRatio", {3, 0.0}, 0.0, 0.0},   {"M2Measure", {3, 0.001, 0.02}, 0.0, 0.0},
      {"SortinoRatio", {3, 0.0}, 0.0, 0.0},  {"UpsidePotentialRatio", {3, 0.0}, 0.0, 0.0},
      {"ProfitFactor", {3}, kInf, 1.0},      {"GainLossRatio", {3}, kInf, 1.0},
      {"OmegaRatio", {3, 0.0}, kInf, 1.0},   {"WinRate", {3}, 1.0, 0.0},
      {"KellyCriterion", {3}, 1.0, 0.0},     {"CalmarRatio", {3}, 0.0, 0.0},
      {"BurkeRatio", {3}, 0.0, 0.0},         {"SterlingRatio", {3}, 0.0, 0.0},
      {"ReturnToUlcerRatio", {3}, 0.0, 0.0}, {"GainToPainRatio", {3}, 0.0, 0.0},
      {"Expectancy", {3}, 0.0, 0.0},         {"ValueAtRisk", {3, 0.95}, 0.0, 0.0},
      {"KRatio", {3}, 0.0, 0.0},             {"TailRatio", {3}, 1.0, 0.0},
      {"CommonSenseRatio", {3}, 0.0, 0.0},   {"ConditionalValueAtRisk", {3, 0.9}, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(*feed_closes(*build_ok(c.kind, c.params), gains).back(), c.on_equal_gains) << c.kind;
    EXPECT_EQ(*feed_closes(*build_ok(c.kind, c.params), zeros).back(), c.on_zeros) << c.kind;
  }
}

TEST(PerformanceRatios, RunningLossSumsReturnToExactlyZero) {
  // The loss magnitudes 0.1 + 0.2 leave rounding residue once both are taken
  // out again; the squared shortfalls 0.09 + 0.49 likewise.
  EXPECT_EQ(*feed_closes(*build_ok("GainToPainRatio", {2}), {-0.1, -0.2, 0.5, 0.5})[3], 0.0);
  EXPECT_EQ(*feed_closes(*build_ok("UpsidePotentialRatio", {2, 0.0}), {-0.3, -0.7, 0.5, 0.5})[3], 0.0);
  // The eviction that takes out the last loss clears the sum before the new
  // loss of the same bar is added.
  const auto upr = feed_closes(*build_ok("UpsidePotentialRatio", {2, 0.0}), {-0.3, -0.7, 0.5, -0.2});
  EXPECT_EQ(*upr[3], (0.5 / 2.0) / std::sqrt((0.2 * 0.2) / 2.0));
}

TEST(PerformanceRatios, TailMeasuresMatchReference) {
  const auto& series = return_series();
  for (double confidence : {0.75, 0.95, 0.99}) {
    expect_matches_reference_on("ValueAtRisk", {confidence}, kRatioPeriods, series, [confidence](const auto& w) {
      const double q = ref::quantile(w, 1.0 - confidence);
      return q < 0.0 ? -q : 0.0;
    });
    expect_matches_reference_on("ConditionalValueAtRisk", {confidence}, kRatioPeriods, series,
                                [confidence](const auto& w) {
                                  const auto s = ref::sorted(w);
                                  const std::size_t k = std::max<std::size_t>(
                                      1, static_cast<std::size_t>((1.0 - confidence) * static_cast<double>(s.size())));
                                  double sum = 0.0;
                                  for (std::size_t i = 0; i < k; ++i) sum += s[i];
                                  return sum < 0.0 ? -sum / static_cast<double>(k) : 0.0;
                                });
  }
  expect_matches_reference_on("TailRatio", {}, kRatioPeriods, series, [](const auto& w) {
    const double q05 = ref::quantile(w, 0.05);
    return q05 == 0.0 ? 0.0 : ref::quantile(w, 0.95) / std::fabs(q05);
  });
  // Long runs of gains make the sorted copy stop and restart.
  auto streaky = series[1];
  for (std::size_t i = 0; i < streaky.size(); ++i) {
    if (i % 200 < 90) streaky[i] = std::fabs(streaky[i]);
  }
  expect_matches_reference_on("CommonSenseRatio", {}, kRatioPeriods, {series[0], series[2], streaky}, common_sense_ratio_of);
}

// Windows far longer than the storage they start with.
TEST(PerformanceRatios, LongWindowsMatchReference) {
  const auto& series = return_series();
  expect_matches_reference_on("KRatio", {}, {100}, series, k_ratio_of, 1e-6);
  auto streaky = series[1];
  for (std::size_t i = 0; i < streaky.size(); ++i) {
    if (i % 400 < 250) streaky[i] = std::fabs(streaky[i]);
  }
  expect_matches_reference_on("CommonSenseRatio", {}, {150}, {series[0], streaky}, common_sense_ratio_of);
}

TEST(PerformanceRatios, TailMeasuresOnKnownWindows) {
  // Confidence 0.75 over 5 returns: position exactly 1, the second smallest.
  EXPECT_EQ(*feed_closes(*build_ok("ValueAtRisk", {5, 0.75}), {0.03, -0.05, 0.01, -0.02, 0.04})[4], 0.02);
  EXPECT_EQ(*feed_closes(*build_ok("ValueAtRisk", {5, 0.75}), {0.03, -0.05, 0.01, 0.02, 0.04})[4], 0.0);
  // Confidence 0.99 over 50 returns: floor(0.5) is raised to 1, the smallest.
  auto returns = random_returns(50, 12);
  const double smallest = *std::min_element(returns.begin(), returns.end());
  EXPECT_EQ(*feed_closes(*build_ok("ConditionalValueAtRisk", {50, 0.99}), returns)[49], -smallest);
}

TEST(PerformanceRatios, ConstructorChecksInOrder) {
  const double big = 16777217;
  const std::string confidence = "invalid period: confidence must lie strictly between 0 and 1";
  expect_build_outcomes({
      {"MaxDrawdown", {kZeroCount}, kPeriodZeroText},
      {"AverageDrawdown", {big}, kMaxPeriodText},
      {"PainIndex", {big}, kMaxPeriodText},
      {"GainLossRatio", {big}, kMaxPeriodText},
      {"ProfitFactor", {big}, kMaxPeriodText},
      {"KellyCriterion", {big}, kMaxPeriodText},
      {"GainToPainRatio", {big}, kMaxPeriodText},
      {"Expectancy", {big}, kMaxPeriodText},
      {"WinRate", {kZeroCount}, kPeriodZeroText},
      {"OmegaRatio", {big, 0.0}, kMaxPeriodText},
      {"OmegaRatio", {3, kNaN}, "parameter #1 must be finite"},
      {"BurkeRatio", {1}, "invalid period: burke ratio needs period >= 2"},
      {"CalmarRatio", {1}, "invalid period: calmar ratio needs period >= 2"},
      {"SterlingRatio", {1}, "invalid period: sterling ratio needs period >= 2"},
      {"ReturnToUlcerRatio", {1}, "invalid period: martin ratio needs period >= 2"},
      {"CommonSenseRatio", {1}, "invalid period: common sense ratio needs period >= 2"},
      {"TailRatio", {1}, "invalid period: tail ratio needs period >= 2"},
      {"KRatio", {2}, "invalid period: k-ratio needs period >= 3"},
      {"KRatio", {big}, kMaxPeriodText},
      {"SharpeRatio", {1, 0.0}, "invalid period: sharpe ratio needs period >= 2"},
      {"SharpeRatio", {kZeroCount, 0.0}, "invalid period: sharpe ratio needs period >= 2"},
      {"SortinoRatio", {1, 0.0}, "invalid period: sortino ratio needs period >= 2"},
      {"UpsidePotentialRatio", {1, 0.0}, "invalid period: upside potential ratio needs period >= 2"},
      {"UpsidePotentialRatio", {big, 0.0}, kMaxPeriodText},
      {"M2Measure", {1, 0.0, 0.1}, "invalid period: m2 measure needs period >= 2"},
      {"M2Measure", {big, 0.0, -1.0}, kMaxPeriodText},
      {"M2Measure", {5, 0.0, -0.1},
       "invalid parameter: risk_free must be finite and benchmark_stddev finite and non-negative"},
      {"M2Measure", {5, 0.0, -0.0}, ""},
      {"ValueAtRisk", {1, 0.95}, "invalid period: value-at-risk needs period >= 2"},
      {"ValueAtRisk", {big, 1.0}, kMaxPeriodText},
      {"ValueAtRisk", {5, 1.0}, confidence},
      {"ValueAtRisk", {5, 0.0}, confidence},
      {"ConditionalValueAtRisk", {1, 0.95}, "invalid period: conditional value-at-risk needs period >= 2"},
      {"ConditionalValueAtRisk", {big, 0.0}, kMaxPeriodText},
      {"ConditionalValueAtRisk", {5, -0.5}, confidence},
      {"RecoveryFactor", {}, ""},
  });
  // Checks the factory's getters make first, run by the constructors themselves.
  EXPECT_EQ(ValueAtRisk::create(5, kNaN).error().to_string(), confidence);
  EXPECT_EQ(UpsidePotentialRatio::create(5, kInf).error().to_string(), "invalid parameter: mar must be finite");
  EXPECT_EQ(M2Measure::create(5, kNaN, 0.1).error().to_string(),
            "invalid parameter: risk_free must be finite and benchmark_stddev finite and non-negative");
}

// Returns with stretches of zeros (no loss, no gain), windows 2 to 5 and one
// longer than the longest stretch: the loss sums and the upside and downside
// sums are counted window sums, the plain sum of the returns is not.
TEST(PerformanceRatios, LossAndUpsideSumsAcrossZeroStretches) {
  const std::vector<double> moves = moves_with_zero_stretches(300, {1, 2, 3, 4, 7}, 64);
  std::vector<double> r, loss, up, down2;
  for (double m : moves) {
    r.push_back(0.01 * m);
    loss.push_back(r.back() < 0.0 ? -r.back() : 0.0);
    up.push_back(r.back() > 0.0 ? r.back() : 0.0);
    down2.push_back(r.back() < 0.0 ? r.back() * r.back() : 0.0);
  }
  for (std::size_t n : {2, 3, 4, 5, 8}) {
    const double dn = double(n);
    const auto sum = window_sums(r, n, {.counted = false}), sl = window_sums(loss, n);
    const auto su = window_sums(up, n), sd = window_sums(down2, n);
    Series gain_to_pain(r.size()), expectancy(r.size()), upside(r.size());
    for (std::size_t j = n - 1; j < r.size(); ++j) {
      const double losses = double(std::count_if(r.begin() + long(j + 1 - n), r.begin() + long(j + 1), [](double x) { return x < 0.0; }));
      gain_to_pain[j] = sl[j] > 0.0 ? sum[j] / sl[j] : 0.0;
      expectancy[j] = losses == 0.0 ? 0.0 : (sum[j] / dn) / (sl[j] / losses);
      upside[j] = sd[j] / dn > 0.0 ? (su[j] / dn) / std::sqrt(sd[j] / dn) : 0.0;
    }
    const std::string at = " period " + std::to_string(n);
    expect_series(run_kind("GainToPainRatio", {dn}, r), gain_to_pain, 0.0, "GainToPainRatio" + at);
    expect_series(run_kind("Expectancy", {dn}, r), expectancy, 0.0, "Expectancy" + at);
    expect_series(run_kind("UpsidePotentialRatio", {dn, 0.0}, r), upside, 0.0, "UpsidePotentialRatio" + at);
  }
}

}  // namespace
}  // namespace vsci
