#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "indicators/rolling_statistics.h"
#include "support/series.h"
#include "support/window_reference.h"

namespace vsci {
namespace {

using testing::build_error;
using testing::build_ok;
using testing::expect_matches_reference_on_walks;
using testing::feed_closes;

const std::string kMax = "invalid period: period exceeds the maximum supported window length (see MAX_PERIOD)";
const std::vector<std::size_t> kPeriods = {1, 2, 5, 37};

double mean_of(const std::vector<double>& w) {
  double s = 0.0;
  for (double v : w) s += v;
  return s / static_cast<double>(w.size());
}

// Population central moment of order k.
double central_moment(const std::vector<double>& w, int k) {
  const double m = mean_of(w);
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
    return var < 1e-18 ? 0.0 : (w.back() - mean_of(w)) / std::sqrt(var);
  }, 1e-8);
  expect_matches_reference_on_walks("CoefficientOfVariation", {}, kPeriods, [](const auto& w) {
    return std::sqrt(central_moment(w, 2)) / mean_of(w);
  }, 1e-9);
}

TEST(RollingStatistics, SpreadKindsDegenerateWindows) {
  // A flat window gives exactly 0 even after the shift is re-centred many times.
  for (const char* kind : {"StdDev", "Variance", "ZScore", "CoefficientOfVariation"}) {
    auto ind = build_ok(kind, {4});
    for (auto v : feed_closes(*ind, std::vector<double>(50, 0.1))) {
      if (v) {
        ASSERT_EQ(*v, 0.0) << kind;
      }
    }
    auto one = build_ok(kind, {1});
    for (double x : {3.0, -7.5, 1e6}) ASSERT_EQ(*feed_closes(*one, {x})[0], 0.0) << kind;
  }
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

TEST(RollingStatistics, PeriodChecks) {
  for (const char* kind : {"StdDev", "Variance", "ZScore", "CoefficientOfVariation"}) {
    const std::string prefix = std::string("invalid parameters for indicator ") + kind + ": ";
    EXPECT_EQ(build_error(kind, {1e-300}), prefix + "period must be greater than zero");
    EXPECT_EQ(build_error(kind, {16777217}), prefix + kMax);
  }
  EXPECT_EQ(build_error("StdDev", {16777216}), "<built>");
}

}  // namespace
}  // namespace vsci
