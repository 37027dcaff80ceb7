// Checks a window kind, built by name, bar by bar against a batch reference
// computed from the last `period` finite closes; then checks that non-finite
// closes leave no trace (no value on their bars, every other value bit-equal).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iomanip>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/series.h"

namespace vsci::testing {

// Reference of one bar: the window oldest first (the current close is last).
using WindowReference = std::function<double(const std::vector<double>& window)>;

inline bool same_value(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

// rel_tol 0 compares exactly; otherwise |got - want| <= rel_tol * max(1, |want|).
inline bool close_enough(double got, double want, double rel_tol) {
  if (rel_tol == 0.0 || !std::isfinite(want)) return same_value(got, want);
  return std::fabs(got - want) <= rel_tol * std::max(1.0, std::fabs(want));
}

// Simple returns with the given mean and deviation.
inline std::vector<double> random_returns(std::size_t n, unsigned seed, double mean = 0.0005, double sd = 0.01) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> r(mean, sd);
  std::vector<double> xs(n);
  for (double& x : xs) x = r(rng);
  return xs;
}

// The closes with a NaN, +inf or -inf put in front and between some of them.
inline std::vector<double> with_gaps(const std::vector<double>& closes) {
  const double gaps[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity()};
  std::vector<double> out = {gaps[0], gaps[1]};
  for (std::size_t i = 0; i < closes.size(); ++i) {
    out.push_back(closes[i]);
    if (i % 7 == 3) out.push_back(gaps[i % 3]);
  }
  return out;
}

inline void expect_matches_reference(const std::string& kind, const std::vector<double>& params, std::size_t period,
                                     const std::vector<double>& closes, const WindowReference& ref,
                                     double rel_tol = 0.0) {
  SCOPED_TRACE(kind + " period " + std::to_string(period));
  auto ind = build_ok(kind, params);
  EXPECT_EQ(ind->warmup(), period);
  const auto got = feed_closes(*ind, closes);
  std::vector<double> window;
  for (std::size_t i = 0; i < closes.size(); ++i) {
    if (i + 1 < period) {
      if (got[i].has_value()) {
        ADD_FAILURE() << "value before the window is full, bar " << i;
        return;
      }
      continue;
    }
    window.assign(closes.begin() + static_cast<std::ptrdiff_t>(i + 1 - period),
                  closes.begin() + static_cast<std::ptrdiff_t>(i + 1));
    const double want = ref(window);
    if (!got[i].has_value() || !close_enough(*got[i], want, rel_tol)) {
      ADD_FAILURE() << std::setprecision(17) << "bar " << i << ": got " << (got[i] ? *got[i] : std::nan("")) << ", want "
                    << want;
      return;
    }
  }

  auto gapped = build_ok(kind, params);
  const auto gapped_closes = with_gaps(closes);
  const auto got_gapped = feed_closes(*gapped, gapped_closes);
  std::size_t k = 0;
  for (std::size_t i = 0; i < gapped_closes.size(); ++i) {
    if (!std::isfinite(gapped_closes[i])) {
      if (got_gapped[i].has_value()) {
        ADD_FAILURE() << "value on a non-finite close, bar " << i;
        return;
      }
      continue;
    }
    const bool same = got_gapped[i].has_value() == got[k].has_value() &&
                      (!got[k].has_value() || same_value(*got_gapped[i], *got[k]));
    if (!same) {
      ADD_FAILURE() << "a non-finite close changed the value of finite close " << k;
      return;
    }
    ++k;
  }
}

// Runs expect_matches_reference for each period (parameter #0, followed by
// extra_params) over each series.
inline void expect_matches_reference_on(const std::string& kind, const std::vector<double>& extra_params,
                                        const std::vector<std::size_t>& periods,
                                        const std::vector<std::vector<double>>& series, const WindowReference& ref,
                                        double rel_tol = 0.0) {
  for (std::size_t period : periods) {
    std::vector<double> params = {static_cast<double>(period)};
    params.insert(params.end(), extra_params.begin(), extra_params.end());
    for (const auto& closes : series) expect_matches_reference(kind, params, period, closes, ref, rel_tol);
  }
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

// Plain batch references shared by the family tests.
inline double batch_mean(const std::vector<double>& w) {
  double s = 0.0;
  for (double v : w) s += v;
  return s / static_cast<double>(w.size());
}

inline std::vector<double> batch_sorted(std::vector<double> w) {
  std::sort(w.begin(), w.end());
  return w;
}

// Linear interpolation between the order statistics at position p * (n - 1).
inline double batch_quantile(const std::vector<double>& w, double p) {
  const auto s = batch_sorted(w);
  const double pos = p * static_cast<double>(s.size() - 1);
  const std::size_t i = static_cast<std::size_t>(std::floor(pos));
  if (i + 1 >= s.size()) return s.back();
  return s[i] + (pos - std::floor(pos)) * (s[i + 1] - s[i]);
}

// One construction by name: the IndicatorError text expected after the
// "invalid parameters for indicator {kind}: " prefix, or "" for a kind that builds.
struct ConstructionCase {
  const char* kind;
  std::vector<double> params;
  std::string text;
};

inline void expect_build_outcomes(const std::vector<ConstructionCase>& cases) {
  for (const ConstructionCase& c : cases) {
    const std::string want =
        c.text.empty() ? "<built>" : std::string("invalid parameters for indicator ") + c.kind + ": " + c.text;
    EXPECT_EQ(build_error(c.kind, c.params), want);
  }
}

}  // namespace vsci::testing
