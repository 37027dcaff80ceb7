#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <tuple>

#include "support/batch_reference.h"
#include "support/compare.h"
#include "support/counted_sums.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// Log returns of consecutive closes; returns[t] belongs to bar t (t >= 1).
std::vector<double> log_returns(const std::vector<double>& c) {
  std::vector<double> r(c.size(), 0.0);
  for (std::size_t t = 1; t < c.size(); ++t) r[t] = std::log(c[t] / c[t - 1]);
  return r;
}

double mean_of(const std::vector<double>& v, std::size_t from, std::size_t n) {
  double s = 0;
  for (std::size_t i = from; i < from + n; ++i) s += v[i];
  return s / double(n);
}

double sample_sd(const std::vector<double>& v, std::size_t from, std::size_t n) {
  const double m = mean_of(v, from, n);
  double ss = 0;
  for (std::size_t i = from; i < from + n; ++i) ss += (v[i] - m) * (v[i] - m);
  return std::sqrt(ss / double(n - 1));
}

double population_sd(const std::vector<double>& v, std::size_t from, std::size_t n) {
  const double m = mean_of(v, from, n);
  double ss = 0;
  for (std::size_t i = from; i < from + n; ++i) ss += (v[i] - m) * (v[i] - m);
  return std::sqrt(ss / double(n));
}

// Root mean square of the percentage drawdowns from the n-close maximum, over
// the last n of them.
// The squared drawdowns from the n-th close on, in a counted running sum
// re-summed from -0.0 every n of them; the root is never taken of a negative
// residue.
Series ulcer_reference(const std::vector<double>& closes, std::size_t n) {
  std::vector<double> dd;
  for (std::size_t t = n - 1; t < closes.size(); ++t) {
    double peak = closes[t + 1 - n];
    for (std::size_t i = t + 2 - n; i <= t; ++i) peak = std::max(peak, closes[i]);
    const double pct = (closes[t] - peak) * 100.0 / peak;
    dd.push_back(peak == 0.0 ? 0.0 : pct * pct);
  }
  const auto sums = window_sums(dd, n, {.resum_every = n});
  Series want(closes.size());
  for (std::size_t t = 2 * n - 2; t < closes.size(); ++t)
    want[t] = std::sqrt(std::max(sums[t + 1 - n], 0.0) / double(n));
  return want;
}

TEST(Volatility, ConstructionChecksInOrder) {
  std::vector<BuildCase> cases = {
      {"HistoricalVolatility", {1, kZeroCount}, kPeriodZeroText},
      {"HistoricalVolatility", {1, 252}, "invalid period: historical volatility period must be >= 2"},
      {"HistoricalVolatility", {16777217, 1e30}, kMaxPeriodText},
      {"RealizedVolatility", {1}, ""},
      {"BipowerVariation", {1}, "invalid period: bipower variation period must be >= 2"},
      {"BipowerVariation", {16777217}, kMaxPeriodText},
      {"Garch11", {0, 0.1, 0.8}, "invalid parameter: GARCH(1,1) omega must be > 0"},
      {"Garch11", {1e-6, -0.1, 0.8}, "invalid parameter: GARCH(1,1) alpha and beta must be >= 0"},
      {"Garch11", {1e-6, 0.25, 0.75},
       "invalid parameter: GARCH(1,1) requires alpha + beta < 1 (covariance stationarity)"},
      {"Garch11", {1e-6, -0.0, 0.9}, ""},
      {"JumpIndicator", {1, 3}, "invalid period: jump indicator needs period >= 2"},
      {"JumpIndicator", {16777217, 3}, kMaxPeriodText},
      {"JumpIndicator", {5, 0}, "invalid parameter: jump indicator threshold must be finite and positive"},
      {"VolatilityOfVolatility", {5, 1}, "invalid period: vol-of-vol windows must both be >= 2"},
      // A window too large to hold is refused, not allocated.
      {"VolatilityOfVolatility", {5, 1e20}, kMaxPeriodText},
      {"UlcerIndex", {16777217}, kMaxPeriodText},
      {"RviVolatility", {1}, "invalid period: RVI period must be >= 2"},
  };
  for (double l : {0.0, -0.0, 1.0, 1.5}) {
    cases.push_back(
        {"EwmaVolatility", {l}, "invalid parameter: EWMA volatility lambda must be in the open interval (0, 1)"});
  }
  expect_build_outcomes(cases);
}

TEST(Volatility, LogReturnEstimatorsMatchReferences) {
  const auto closes = random_walk(3000, 12, 1000.0, 0.02);
  const auto r = log_returns(closes);
  const std::size_t n = 20;
  Series hv(closes.size()), rv(closes.size()), bv(closes.size()), vov(closes.size());
  std::vector<double> sds;
  for (std::size_t t = n; t < closes.size(); ++t) {
    const std::size_t from = t + 1 - n;
    hv[t] = sample_sd(r, from, n) * std::sqrt(252.0) * 100.0;
    double sq = 0, bp = 0;
    for (std::size_t i = from; i <= t; ++i) sq += r[i] * r[i];
    for (std::size_t i = from; i < t; ++i) bp += std::fabs(r[i] * r[i + 1]);
    rv[t] = std::sqrt(sq);
    bv[t] = bp * 1.5707963267948966;
    sds.push_back(sample_sd(r, from, n));
    if (sds.size() >= 7) vov[t] = sample_sd(sds, sds.size() - 7, 7);
  }
  expect_series(run_kind("HistoricalVolatility", {double(n), 252}, closes), hv, 1e-9, "HistoricalVolatility");
  expect_series(run_kind("RealizedVolatility", {double(n)}, closes), rv, 1e-12, "RealizedVolatility");
  expect_series(run_kind("BipowerVariation", {double(n)}, closes), bv, 1e-12, "BipowerVariation");
  expect_series(run_kind("VolatilityOfVolatility", {double(n), 7}, closes), vov, 1e-9, "VolatilityOfVolatility");

  Series ew(closes.size()), ga(closes.size());
  double var = 0, gvar = 0, q = 0;
  const double lambda = 0.94, omega = 2e-6, alpha = 0.08, beta = 0.9;
  for (std::size_t t = 1; t < closes.size(); ++t) {
    var = t == 1 ? r[t] * r[t] : (var * lambda) + r[t] * (r[t] * (1.0 - lambda));
    ew[t] = std::sqrt(var);
    gvar = t == 1 ? omega / ((1.0 - alpha) - beta) : (omega + alpha * q) + beta * gvar;
    q = r[t] * r[t];
    ga[t] = std::sqrt(gvar);
  }
  expect_series(run_kind("EwmaVolatility", {lambda}, closes), ew, 0.0, "EwmaVolatility");
  expect_series(run_kind("Garch11", {omega, alpha, beta}, closes), ga, 0.0, "Garch11");
}

// The n values of v from `from` on.
std::vector<double> slice(const std::vector<double>& v, std::size_t from, std::size_t n) {
  return std::vector<double>(v.begin() + long(from), v.begin() + long(from + n));
}

// Stretches of one close (zero returns) and of closes rising by one ratio
// (equal non-zero returns), longer than short windows: a window of equal
// returns has them as its mean and exactly no deviation, so the volatility
// kinds give exactly 0 there and JumpIndicator flags nothing, and all follow
// the reference again once the window leaves the stretch.
TEST(Volatility, ShortStretchesOfEqualReturnsGiveExactZeros) {
  const auto closes = flat_stretch_closes(true);
  const auto r = log_returns(closes);
  const std::size_t w = 3, size = closes.size();
  for (std::size_t n = 2; n <= 5; ++n) {
    const auto deviation = [&](const std::vector<double>& v, std::size_t from, std::size_t count) {
      return ref::flat(slice(v, from, count)) ? 0.0 : sample_sd(v, from, count);
    };
    Series hv(size), vov(size), jump(size);
    std::vector<bool> hv_flat(size), vov_flat(size);
    std::vector<double> sds;
    for (std::size_t t = n; t < size; ++t) {
      const double sd = deviation(r, t + 1 - n, n);
      hv[t] = sd * std::sqrt(252.0) * 100.0;
      hv_flat[t] = ref::flat(slice(r, t + 1 - n, n));
      sds.push_back(sd);
      if (sds.size() >= w) {
        vov[t] = deviation(sds, sds.size() - w, w);
        vov_flat[t] = ref::flat(slice(r, t + 2 - n - w, n + w - 1));
      }
      if (t == n) continue;
      const double m = ref::flat_exact_mean(slice(r, t - n, n)), s = deviation(r, t - n, n);
      jump[t] = s == 0.0 ? 0.0 : (r[t] - m > s * 2.0 ? 1.0 : (r[t] - m < -(2.0 * s) ? -1.0 : 0.0));
    }
    const std::string at = " n " + std::to_string(n);
    expect_series(run_kind("HistoricalVolatility", {double(n), 252}, closes), hv, 1e-9, "HistoricalVolatility" + at,
                  hv_flat);
    expect_series(run_kind("VolatilityOfVolatility", {double(n), double(w)}, closes), vov, 1e-9,
                  "VolatilityOfVolatility" + at, vov_flat);
    expect_series(run_kind("JumpIndicator", {double(n), 2.0}, closes), jump, 0.0, "JumpIndicator" + at);
  }
}

TEST(Volatility, JumpIndicatorFlagsOutliers) {
  // Small varying returns, then one large jump up and one down.
  std::vector<double> closes = {100};
  for (int i = 0; i < 30; ++i) closes.push_back(closes.back() * (i % 2 ? 1.001 : 0.9995));
  closes.push_back(closes.back() * 1.2);
  auto up = run_kind("JumpIndicator", {10, 3}, closes);
  EXPECT_EQ(*up.back(), 1.0);
  closes.pop_back();
  closes.push_back(closes.back() * 0.8);
  EXPECT_EQ(*run_kind("JumpIndicator", {10, 3}, closes).back(), -1.0);

  const auto walk = random_walk(2000, 14, 200.0);
  const auto r = log_returns(walk);
  const std::size_t n = 15;
  const double k = 1.5;
  Series want(walk.size());
  for (std::size_t t = n + 1; t < walk.size(); ++t) {
    const double m = mean_of(r, t - n, n), s = sample_sd(r, t - n, n);
    want[t] = s == 0 ? 0.0 : (r[t] - m > s * k ? 1.0 : (r[t] - m < -(k * s) ? -1.0 : 0.0));
  }
  expect_series(run_kind("JumpIndicator", {double(n), k}, walk), want, 0.0, "JumpIndicator");
}

TEST(Volatility, UlcerIndexAndRviMatchReferences) {
  const auto closes = random_walk(2500, 19, 300.0);
  const std::size_t n = 14;
  expect_series(run_kind("UlcerIndex", {double(n)}, closes), ulcer_reference(closes, n), 0.0, "UlcerIndex");
  // Windows 2 to 5 and one longer than a flat stretch (no drawdown at a peak).
  const auto flat = closes_with_flat_stretches(400, 77);
  for (std::size_t w : kStretchWindows) {
    expect_series(run_kind("UlcerIndex", {double(w)}, flat), ulcer_reference(flat, w), 0.0, "UlcerIndex");
  }

  Series rvi(closes.size());
  std::vector<double> ups, downs;
  double u = 0, d = 0;
  for (std::size_t t = n - 1; t < closes.size(); ++t) {
    const double sd = population_sd(closes, t + 1 - n, n);
    const double up = t > 0 && closes[t] > closes[t - 1] ? sd : 0.0;
    const double dn = t > 0 && closes[t] < closes[t - 1] ? sd : 0.0;
    if (ups.size() < n) {
      ups.push_back(up);
      downs.push_back(dn);
      if (ups.size() < n) continue;
      u = mean_of(ups, 0, n);
      d = mean_of(downs, 0, n);
    } else {
      u = (u * double(n - 1) + up) / double(n);
      d = (d * double(n - 1) + dn) / double(n);
    }
    rvi[t] = u + d == 0 ? 50.0 : 100.0 * u / (u + d);
  }
  expect_series(run_kind("RviVolatility", {double(n)}, closes), rvi, 1e-9, "RviVolatility");
}

// A window far longer than the storage it starts with, over long falls (the
// queue of candidate peaks then holds the whole window) and long rises.
TEST(Volatility, UlcerIndexOverALongWindowMatchesReference) {
  auto closes = random_walk(4000, 23, 2000.0);
  for (std::size_t t = 1; t < closes.size(); ++t) {
    const std::size_t phase = (t / 500) % 4;
    if (phase == 1) closes[t] = closes[t - 1] - 0.5;
    if (phase == 3) closes[t] = closes[t - 1] + 0.5;
  }
  for (std::size_t n : {150u, 400u}) {
    expect_series(run_kind("UlcerIndex", {double(n)}, closes), ulcer_reference(closes, n), 0.0, "UlcerIndex");
  // Windows 2 to 5 and one longer than a flat stretch (no drawdown at a peak).
  const auto flat = closes_with_flat_stretches(400, 77);
  for (std::size_t w : kStretchWindows) {
    expect_series(run_kind("UlcerIndex", {double(w)}, flat), ulcer_reference(flat, w), 0.0, "UlcerIndex");
  }
  }
}

TEST(Volatility, UlcerIndexSumLeavesNoResidueOnceTheDrawdownsLeave) {
  // A deep drawdown, then ones too small to register in the running sum, then
  // new highs: subtracting the deep one and the small ones leaves a residue
  // below 0 before the next exact re-summation.
  const double below = std::nextafter(100.0, 0.0);
  const std::vector<double> closes = {100, 100, 100, 50, 100 * (1 - 1e-12), below, 101, 102, 103, 104, 105, 106};
  const std::size_t n = 4;
  const Series got = run_kind("UlcerIndex", {double(n)}, closes);
  expect_series(got, ulcer_reference(closes, n), 0.0, "UlcerIndex");
  // Once no drawdown is left in the window the value is exactly 0.
  EXPECT_TRUE(same_bits(got[9], 0.0)) << show(got[9]);
  EXPECT_TRUE(same_bits(got[10], 0.0)) << show(got[10]);
}

TEST(Volatility, DegenerateSeries) {
  const std::vector<double> flat(60, 42.0);
  for (const auto& [kind, params] : std::vector<std::pair<std::string, std::vector<double>>>{
           {"HistoricalVolatility", {5, 252}}, {"RealizedVolatility", {5}}, {"BipowerVariation", {5}},
           {"VolatilityOfVolatility", {4, 3}}, {"EwmaVolatility", {0.9}}, {"JumpIndicator", {5, 2}},
           {"UlcerIndex", {5}}}) {
    EXPECT_EQ(*run_kind(kind, params, flat).back(), 0.0) << kind;
  }
  EXPECT_EQ(*run_kind("RviVolatility", {5}, flat).back(), 50.0);
  // Flat after movement: the re-centred sums give exactly 0 again.
  auto moved = random_walk(200, 2, 100.0);
  moved.insert(moved.end(), 60, moved.back());
  EXPECT_EQ(*run_kind("HistoricalVolatility", {5, 252}, moved).back(), 0.0);
  EXPECT_EQ(*run_kind("UlcerIndex", {1}, moved).back(), 0.0);
  // n = 1 gives |r|; GARCH's first value is the long-run level whatever r.
  auto rv1 = run_kind("RealizedVolatility", {1}, {100, 110, 99});
  EXPECT_DOUBLE_EQ(*rv1[1], std::fabs(std::log(110.0 / 100.0)));
  EXPECT_EQ(*run_kind("Garch11", {1e-4, 0.1, 0.5}, {100, 300})[1], std::sqrt(1e-4 / ((1.0 - 0.1) - 0.5)));
  EXPECT_EQ(*run_kind("EwmaVolatility", {0.9}, {100, 50})[1], std::sqrt(std::log(0.5) * std::log(0.5)));
}

TEST(Volatility, NonPositiveClosesLeaveTheLogReturnKindsUntouched) {
  // Closes that are finite but not strictly positive reach these kinds, which
  // refuse them as the adapter refuses a NaN.
  const auto closes = random_walk(800, 23, 400.0);
  Gapped gappy;
  for (std::size_t i = 0; i < closes.size(); ++i) {
    gappy.add(closes[i], false);
    if (i == 100) for (double bad : {0.0, -1.0, -0.0, -4.9e-324}) gappy.add(bad, true);
  }
  for (const auto& [kind, params] : std::vector<std::pair<std::string, std::vector<double>>>{
           {"HistoricalVolatility", {6, 365}}, {"RealizedVolatility", {6}}, {"BipowerVariation", {6}},
           {"EwmaVolatility", {0.8}}, {"Garch11", {1e-6, 0.1, 0.8}}, {"JumpIndicator", {6, 2}},
           {"VolatilityOfVolatility", {5, 4}}}) {
    expect_gaps_leave_no_trace(kind, params, closes, gappy);
  }
}

}  // namespace
}  // namespace vsci
