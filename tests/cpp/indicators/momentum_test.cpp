// The lag family, the weighted rate sum, the disparity index and the detrended
// price oscillator, built by name, against batch references.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "support/batch_reference.h"
#include "support/compare.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// A walk that touches 0 now and then, so earlier closes of 0 occur.
std::vector<double> walk_with_zeros(std::size_t n, unsigned seed) {
  auto xs = random_walk(n, seed, 20.0);
  for (std::size_t i = 7; i < n; i += 13) xs[i] = (i % 2) ? 0.0 : -0.0;
  return xs;
}

double percent(double x, double o) { return o == 0.0 ? 0.0 : ((x - o) / o) * 100.0; }

Series lag_reference(const std::vector<double>& xs, std::size_t n, const std::function<double(double, double)>& f) {
  Series out(xs.size());
  for (std::size_t i = n; i < xs.size(); ++i) out[i] = f(xs[i], xs[i - n]);
  return out;
}

TEST(LagFamily, MatchesFormulasWithZeroGuardsThroughNanBars) {
  const std::pair<const char*, std::function<double(double, double)>> kinds[] = {
      {"Mom", [](double x, double o) { return x - o; }},
      {"Roc", percent},
      {"Rocp", [](double x, double o) { return o == 0.0 ? 0.0 : (x - o) / o; }},
      {"Rocr", [](double x, double o) { return o == 0.0 ? 0.0 : x / o; }},
      {"Rocr100", [](double x, double o) { return o == 0.0 ? 0.0 : (x / o) * 100.0; }},
  };
  for (const auto& [name, f] : kinds) {
    for (std::size_t n : {1u, 2u, 10u}) {
      const auto xs = walk_with_zeros(400, unsigned(n));
      const auto g = with_random_gaps(xs, unsigned(n + 100));
      EXPECT_TRUE(same_series(run_kind(name, {double(n)}, g.closes), g.expand(lag_reference(xs, n, f))))
          << name << " " << n;
    }
  }
  EXPECT_TRUE(same_series(run_kind("Mom", {1}, {10, 12, 11}), Series{{}, 2.0, -1.0}));
  EXPECT_TRUE(same_series(run_kind("Roc", {1}, {0, 5, 10}), Series{{}, 0.0, 100.0}));
  EXPECT_TRUE(same_series(run_kind("Rocr", {1}, {-0.0, 5}), Series{{}, 0.0}));
}

TEST(LagFamily, LogReturnSkipsNonPositiveClosesEntirely) {
  const auto xs = random_walk(300, 4, 60.0);
  Gapped noisy;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i % 5 == 3) noisy.add(i % 3 == 0 ? 0.0 : (i % 3 == 1 ? -0.0 : -7.0), true);
    noisy.add(xs[i], false);
  }
  for (std::size_t n : {1u, 4u}) {
    const auto want = lag_reference(xs, n, [](double x, double o) { return std::log(x / o); });
    const auto g = with_random_gaps(noisy.closes, 9);
    // Gaps from either source: the non-finite ones and the non-positive ones.
    Series expanded = noisy.expand(want);
    EXPECT_TRUE(same_series(run_kind("LogReturn", {double(n)}, g.closes), g.expand(expanded)));
  }
}

TEST(WeightedRocSum, WmaOfTheSumOfTwoRates) {
  for (auto [p, q, w] : {std::tuple{1u, 2u, 1u}, std::tuple{3u, 2u, 4u}, std::tuple{5u, 9u, 6u}}) {
    const auto xs = walk_with_zeros(400, p * 7 + q);
    const std::size_t start = std::max(p, q);
    std::vector<double> sums;
    for (std::size_t i = start; i < xs.size(); ++i) sums.push_back(percent(xs[i], xs[i - p]) + percent(xs[i], xs[i - q]));
    const auto wma = ref::wma(sums, w);
    Series want(xs.size());
    for (std::size_t i = start; i < xs.size(); ++i) want[i] = wma[i - start];
    const auto g = with_random_gaps(xs, p + q + w);
    EXPECT_TRUE(same_series(run_kind("WeightedRocSum", {double(p), double(q), double(w)}, g.closes), g.expand(want)))
        << p << " " << q << " " << w;
  }
  const auto out = run_kind("WeightedRocSum", {1, 2, 1}, {100, 110, 121});
  EXPECT_FALSE(out[1]);
  EXPECT_EQ(*out[2], ((121.0 - 110.0) / 110.0) * 100.0 + ((121.0 - 100.0) / 100.0) * 100.0);
  // The longer of the two lags counts, whichever position it has.
  EXPECT_EQ(build_ok("WeightedRocSum", {9, 3, 4})->warmup(), 13u);
}

TEST(DisparityIndex, PercentDistanceFromTheSma) {
  for (std::size_t n : {1u, 3u, 20u}) {
    auto xs = random_walk(700, unsigned(n), 0.5);
    const auto sma = ref::sma(xs, n);
    Series want(xs.size());
    for (std::size_t i = 0; i < xs.size(); ++i)
      if (sma[i]) want[i] = *sma[i] != 0.0 ? (xs[i] - *sma[i]) * 100.0 / *sma[i] : 0.0;
    const auto g = with_random_gaps(xs, unsigned(n) + 3);
    EXPECT_TRUE(same_series(run_kind("DisparityIndex", {double(n)}, g.closes), g.expand(want))) << n;
  }
  for (const auto& v : run_kind("DisparityIndex", {1}, random_walk(50, 8))) EXPECT_EQ(*v, 0.0);
  // An average of exactly 0 gives 0.
  EXPECT_EQ(*run_kind("DisparityIndex", {2}, {-1.0, 1.0})[1], 0.0);
}

// Running sum of the newest n closes, recomputed from +0.0 every n closes.
Series dpo_reference(const std::vector<double>& xs, std::size_t n) {
  const std::size_t k = n / 2 + 1, len = std::max(n / 2 + 2, n);
  Series out(xs.size());
  double s = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    s += xs[i];
    if (i >= n) s -= xs[i - n];
    if ((i + 1) % n == 0) {
      s = 0.0;
      for (std::size_t j = i + 1 - n; j <= i; ++j) s += xs[j];
    }
    if (i + 1 >= len) out[i] = xs[i - k] - s / double(n);
  }
  return out;
}

TEST(Dpo, CloseKBackMinusTheMeanOfTheNewestN) {
  for (std::size_t n : {1u, 2u, 3u, 4u, 5u, 20u, 21u}) {
    const auto xs = rough_series(600, unsigned(n) + 40);
    const auto want = dpo_reference(xs, n);
    const auto g = with_random_gaps(xs, unsigned(n));
    EXPECT_TRUE(same_series(run_kind("Dpo", {double(n)}, g.closes), g.expand(want))) << n;
  }
  // n = 20: k = 11, L = 20, so the first value comes on close 20.
  const auto out = run_kind("Dpo", {20}, random_walk(20, 2));
  EXPECT_TRUE(!out[18] && out[19]);
  EXPECT_TRUE(same_series(run_kind("Dpo", {1}, {4, 7, 5}), Series{{}, 4.0 - 7.0, 7.0 - 5.0}));
  EXPECT_EQ(build_ok("Dpo", {1})->warmup(), 2u);
}

TEST(Momentum, ConstructorChecksInOrder) {
  std::vector<BuildCase> cases = {
      {"WeightedRocSum", {1e20, 1e20, kZeroCount}, kPeriodZeroText},
      {"WeightedRocSum", {1e20, 1, 1}, kMaxPeriodText},
      {"WeightedRocSum", {1, 1, 16777217}, kMaxPeriodText},
      {"WeightedRocSum", {1, 16777217, 1}, kMaxPeriodText},
  };
  for (const char* name : {"Mom", "Roc", "Rocp", "Rocr", "Rocr100", "LogReturn", "DisparityIndex", "Dpo"}) {
    cases.push_back({name, {kZeroCount}, kPeriodZeroText});
    cases.push_back({name, {16777217}, kMaxPeriodText});
    cases.push_back({name, {1e20}, kMaxPeriodText});
  }
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
