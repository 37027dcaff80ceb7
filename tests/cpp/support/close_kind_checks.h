// Checks shared by the close-series family tests: running a kind by name over
// a close series, batch reference averages written from their definitions,
// series comparison, and the warm-up and non-finite-close rules every kind
// follows.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "support/series.h"
#include "support/window_reference.h"

namespace vsci::testing {

// One entry per bar; an empty entry is a bar without a value.
using Series = std::vector<std::optional<double>>;

inline Series run_kind(const std::string& kind, std::vector<double> params, const std::vector<double>& closes) {
  auto ind = build_ok(kind, std::move(params));
  return feed_closes(*ind, closes);
}

// Texts and a count for the constructor checks: kZeroCount passes the
// positive-integer getter as the count 0, so the kind's own zero check decides.
inline const std::string kPeriodZeroText = "period must be greater than zero";
inline const std::string kMaxPeriodText =
    "invalid period: period exceeds the maximum supported window length (see MAX_PERIOD)";
inline constexpr double kZeroCount = 1e-300;

// A build that must fail with `text` after the factory's prefix for `kind`.
struct BuildCase {
  std::string kind;
  std::vector<double> params;
  std::string text;
};

inline void expect_build_errors(const std::vector<BuildCase>& cases) {
  for (const BuildCase& c : cases) {
    EXPECT_EQ(build_error(c.kind, c.params), "invalid parameters for indicator " + c.kind + ": " + c.text) << c.kind;
  }
}

inline Series as_series(const std::vector<double>& xs) { return Series(xs.begin(), xs.end()); }

// The data every reference comparison runs over: a random walk, a rising and
// a falling trend with noise, and a walk that crosses zero.
inline std::vector<std::vector<double>> reference_data() {
  return {random_walk(2500, 7), random_walk(2500, 11, 100.0, 0.6), random_walk(2500, 13, 500.0, -0.5),
          random_walk(2500, 17, 0.0)};
}

// EMA(p) of the present entries: plain mean of the first p (summed from -0.0)
// as the seed, then alpha * x fused onto (1 - alpha) * previous.
inline Series ref_ema(const Series& in, std::size_t p) {
  Series out(in.size());
  const double alpha = 2.0 / (static_cast<double>(p) + 1.0);
  double seed = -0.0;
  std::size_t seen = 0;
  double value = 0.0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (!in[i]) continue;
    if (seen < p) {
      seed = *in[i] + seed;
      if (++seen < p) continue;
      value = seed / static_cast<double>(p);
    } else {
      value = std::fma(alpha, *in[i], (1.0 - alpha) * value);
    }
    out[i] = value;
  }
  return out;
}

// Mean of the last p present entries, summed afresh for every window.
inline Series ref_sma(const Series& in, std::size_t p) {
  Series out(in.size());
  std::vector<double> seen;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (!in[i]) continue;
    seen.push_back(*in[i]);
    if (seen.size() < p) continue;
    double s = 0.0;
    for (std::size_t j = seen.size() - p; j < seen.size(); ++j) s += seen[j];
    out[i] = s / static_cast<double>(p);
  }
  return out;
}

// Same bars with values; values equal (tol 0) or within tol relative to
// max(1, |want|). Reports the first difference only.
inline void expect_series(const Series& got, const Series& want, double tol, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  std::size_t values = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (got[i].has_value() != want[i].has_value()) {
      ADD_FAILURE() << what << ": bar " << i << (got[i] ? " has a value, expected none" : " has no value");
      return;
    }
    if (!got[i]) continue;
    ++values;
    if (!close_enough(*got[i], *want[i], tol)) {
      ADD_FAILURE() << what << ": bar " << i << " gave " << *got[i] << ", expected " << *want[i] << " (diff "
                    << *got[i] - *want[i] << ")";
      return;
    }
  }
  EXPECT_GT(values, 0u) << what << ": the comparison saw no value";
}

// warmup() as stated, and the first value on exactly that close.
inline void expect_warmup(const std::string& kind, std::vector<double> params, std::uint64_t warmup) {
  auto ind = build_ok(kind, std::move(params));
  EXPECT_EQ(ind->warmup(), warmup) << kind;
  const Series out = feed_closes(*ind, random_walk(warmup + 5, 3));
  std::size_t first = 0;
  while (first < out.size() && !out[first]) ++first;
  EXPECT_EQ(first + 1, warmup) << kind << ": first value on close " << first + 1;
}

// Non-finite closes give no value and leave the state as it was: the other
// bars give exactly what the series without them gives.
inline void expect_skips_non_finite(const std::string& kind, std::vector<double> params) {
  const std::vector<double> clean = random_walk(400, 5);
  const std::vector<double> dirty = with_gaps(clean);
  const Series want = run_kind(kind, params, clean);
  auto ind = build_ok(kind, params);
  const Series got = feed_closes(*ind, dirty);
  Series kept;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (!std::isfinite(dirty[i])) {
      EXPECT_FALSE(got[i].has_value()) << kind << ": value on a non-finite close at bar " << i;
    } else {
      kept.push_back(got[i]);
    }
  }
  expect_series(kept, want, 0.0, kind + " with non-finite closes");
  EXPECT_TRUE(ind->outputs().empty()) << kind;
}

}  // namespace vsci::testing
