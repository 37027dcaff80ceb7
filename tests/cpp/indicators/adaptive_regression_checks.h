// Checks shared by the adaptive-average and regression tests: running a kind
// built by name over a close series, comparing its values with a reference
// series, and the warm-up and non-finite-close rules every close kind follows.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "support/series.h"

namespace vsci::testing {

using Series = std::vector<std::optional<double>>;

inline Series run_kind(const std::string& kind, const std::vector<double>& params, const std::vector<double>& closes) {
  auto ind = build_ok(kind, params);
  return feed_closes(*ind, closes);
}

// exp of a random walk: strictly positive closes around `start`.
inline std::vector<double> geometric_walk(std::size_t n, unsigned seed, double start = 100.0, double drift = 0.0) {
  std::vector<double> xs = random_walk(n, seed, 0.0, drift);
  for (double& x : xs) x = start * std::exp(x * 0.01);
  return xs;
}

// Same presence bar by bar, and |got - want| <= tol * (1 + |want|) (tol 0: exact).
inline void expect_series(const Series& got, const Series& want, double tol, const std::string& label) {
  ASSERT_EQ(got.size(), want.size()) << label;
  for (std::size_t t = 0; t < got.size(); ++t) {
    ASSERT_EQ(got[t].has_value(), want[t].has_value()) << label << " bar " << t;
    if (!got[t]) continue;
    if (tol == 0.0) {
      ASSERT_EQ(*got[t], *want[t]) << label << " bar " << t;
    } else {
      ASSERT_NEAR(*got[t], *want[t], tol * (1.0 + std::fabs(*want[t]))) << label << " bar " << t;
    }
  }
}

struct CloseKindCase {
  std::string kind;
  std::vector<double> params;
  std::uint64_t warmup;
};

// The kind reports `warmup`, gives its first value on the warmup-th finite
// close, and a non-finite close leaves a gap without touching the state.
inline void check_warmup_and_gaps(const CloseKindCase& c, const std::vector<double>& closes) {
  const std::string label = c.kind;
  auto ind = build_ok(c.kind, c.params);
  EXPECT_EQ(ind->warmup(), c.warmup) << label;
  const Series clean = feed_closes(*ind, closes);
  std::size_t first = 0;
  while (first < clean.size() && !clean[first]) ++first;
  EXPECT_EQ(first + 1, c.warmup) << label;

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> gappy = {nan, inf};
  std::vector<bool> is_gap = {true, true};
  for (std::size_t t = 0; t < closes.size(); ++t) {
    gappy.push_back(closes[t]);
    is_gap.push_back(false);
    if (t % 7 == 3 || t == c.warmup - 1) {
      gappy.push_back(t % 2 ? -inf : nan);
      is_gap.push_back(true);
    }
  }
  const Series with_gaps = run_kind(c.kind, c.params, gappy);
  std::size_t k = 0;
  for (std::size_t t = 0; t < gappy.size(); ++t) {
    if (is_gap[t]) {
      EXPECT_FALSE(with_gaps[t].has_value()) << label << " gap bar " << t;
      continue;
    }
    ASSERT_EQ(with_gaps[t].has_value(), clean[k].has_value()) << label << " bar " << t;
    if (clean[k]) {
      EXPECT_EQ(*with_gaps[t], *clean[k]) << label << " bar " << t;
    }
    ++k;
  }
}

}  // namespace vsci::testing
