// The checks a close-series family runs by name beside the shared conformance
// test: the constructor's refusals in order, a warm-up the conformance
// example does not reach, closes a kind itself must skip leaving no trace, and
// a window kind against a batch reference computed from the last `period`
// closes.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/compare.h"
#include "support/series.h"

namespace vsci::testing {

// Texts and a count for the constructor checks: kZeroCount passes the
// positive-integer getter as the count 0, so the kind's own zero check decides.
inline const std::string kPeriodZeroText = "period must be greater than zero";
inline const std::string kMaxPeriodText =
    "invalid period: period exceeds the maximum supported window length (see MAX_PERIOD)";
inline constexpr double kZeroCount = 1e-300;

// The factory's text for a refused construction of `kind`.
inline std::string refused(const std::string& kind, const std::string& text) {
  return "invalid parameters for indicator " + kind + ": " + text;
}

// One construction by name: the text expected after the factory's prefix, or
// "" for a kind that builds.
struct BuildCase {
  std::string kind;
  std::vector<double> params;
  std::string text;
};

inline void expect_build_outcomes(const std::vector<BuildCase>& cases) {
  for (const BuildCase& c : cases) {
    EXPECT_EQ(build_error(c.kind, c.params), c.text.empty() ? "<built>" : refused(c.kind, c.text)) << c.kind;
  }
}

// warmup() as stated, and the first value on exactly that close of `closes`
// (by default a short walk).
inline void expect_warmup(const std::string& kind, std::vector<double> params, std::uint64_t warmup,
                          const std::vector<double>& closes = {}) {
  auto ind = build_ok(kind, std::move(params));
  EXPECT_EQ(ind->warmup(), warmup) << kind;
  const Series out = feed_closes(*ind, closes.empty() ? random_walk(warmup + 5, 3) : closes);
  EXPECT_EQ(first_value_bar(out) + 1, static_cast<long>(warmup)) << kind << ": first value on close "
                                                                  << first_value_bar(out) + 1;
}

// The gapped closes give no value on their gaps, and on every other bar
// exactly what the clean closes give.
inline void expect_gaps_leave_no_trace(const std::string& kind, const std::vector<double>& params,
                                               const std::vector<double>& clean, const Gapped& gapped) {
  const Series want = gapped.expand(run_kind(kind, params, clean));
  auto ind = build_ok(kind, params);
  const Series got = feed_closes(*ind, gapped.closes);
  expect_series(got, want, 0.0, kind + " with skipped closes");
}

// Reference of one bar: the window oldest first (the current close is last).
using WindowReference = std::function<double(const std::vector<double>& window)>;

// With `exact_when_flat`, bit for bit on the bars whose window is flat.
inline void expect_matches_reference(const std::string& kind, const std::vector<double>& params, std::size_t period,
                                     const std::vector<double>& closes, const WindowReference& ref,
                                     double rel_tol = 0.0, bool exact_when_flat = false) {
  SCOPED_TRACE(kind + " period " + std::to_string(period));
  auto ind = build_ok(kind, params);
  EXPECT_EQ(ind->warmup(), period);
  const Series got = feed_closes(*ind, closes);
  Series want(closes.size());
  for (std::size_t i = period - 1; i < closes.size(); ++i) {
    want[i] = ref(std::vector<double>(closes.begin() + static_cast<std::ptrdiff_t>(i + 1 - period),
                                      closes.begin() + static_cast<std::ptrdiff_t>(i + 1)));
  }
  expect_series(got, want, rel_tol, kind, exact_when_flat ? flat_windows(closes, period) : std::vector<bool>{});
}

// Runs expect_matches_reference for each period (parameter #0, followed by
// extra_params) over each series.
inline void expect_matches_reference_on(const std::string& kind, const std::vector<double>& extra_params,
                                        const std::vector<std::size_t>& periods,
                                        const std::vector<std::vector<double>>& series, const WindowReference& ref,
                                        double rel_tol = 0.0, bool exact_when_flat = false) {
  for (std::size_t period : periods) {
    std::vector<double> params = {static_cast<double>(period)};
    params.insert(params.end(), extra_params.begin(), extra_params.end());
    for (const auto& closes : series) {
      expect_matches_reference(kind, params, period, closes, ref, rel_tol, exact_when_flat);
    }
  }
}

// Periods 2 to 5 over flat_stretch_closes: bit for bit wherever the window is
// one repeated close, within rel_tol elsewhere.
inline void expect_matches_reference_over_flat_stretches(const std::string& kind,
                                                         const std::vector<double>& extra_params,
                                                         const WindowReference& ref, double rel_tol,
                                                         std::size_t shortest = 2) {
  std::vector<std::size_t> periods;
  for (std::size_t p = shortest; p <= 5; ++p) periods.push_back(p);
  expect_matches_reference_on(kind, extra_params, periods, {flat_stretch_closes(false)}, ref, rel_tol, true);
}

// A random walk and a trending walk of price levels.
inline const std::vector<std::vector<double>>& walk_series() {
  static const std::vector<std::vector<double>> series = {random_walk(1500, 7), random_walk(1500, 11, 50.0, 0.4)};
  return series;
}

inline void expect_matches_reference_on_walks(const std::string& kind, const std::vector<double>& extra_params,
                                              const std::vector<std::size_t>& periods, const WindowReference& ref,
                                              double rel_tol = 0.0) {
  expect_matches_reference_on(kind, extra_params, periods, walk_series(), ref, rel_tol);
}

}  // namespace vsci::testing
