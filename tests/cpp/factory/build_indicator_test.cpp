#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "factory/build_indicator.h"
#include "factory/params.h"
#include "support/series.h"

namespace vsci {
namespace {

using testing::build_error;

const std::string kMax = "invalid period: period exceeds the maximum supported window length (see MAX_PERIOD)";

TEST(BuildIndicator, NameMatchingIsExact) {
  EXPECT_EQ(build_error("", {3}), "unknown indicator type: ");
  EXPECT_EQ(build_error("sma", {3}), "unknown indicator type: sma");
  EXPECT_EQ(build_error(" Sma", {3}), "unknown indicator type:  Sma");
  EXPECT_EQ(build_error("Sma", {3}), "<built>");
}

TEST(BuildIndicator, PositiveIntegerGetterMessages) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(build_error("Sma", {}), "invalid parameters for indicator Sma: missing parameter #0");
  EXPECT_EQ(build_error("Sma", {2.5}), "invalid parameters for indicator Sma: parameter #0 must be a positive integer, got 2.5");
  EXPECT_EQ(build_error("Sma", {0.0}), "invalid parameters for indicator Sma: parameter #0 must be a positive integer, got 0");
  EXPECT_EQ(build_error("Sma", {-0.0}), "invalid parameters for indicator Sma: parameter #0 must be a positive integer, got -0");
  EXPECT_EQ(build_error("Sma", {nan}), "invalid parameters for indicator Sma: parameter #0 must be finite");
  EXPECT_EQ(build_error("Sma", {3, nan}), "<built>");
  EXPECT_EQ(build_error("Sma", {1e-300}), "invalid parameters for indicator Sma: period must be greater than zero");
  EXPECT_EQ(build_error("Sma", {std::nextafter(1.0, 2.0)}), "<built>");
  EXPECT_EQ(build_error("Sma", {std::nextafter(3.0, 4.0)}),
            "invalid parameters for indicator Sma: parameter #0 must be a positive integer, got 3.0000000000000004");
  EXPECT_EQ(build_error("Sma", {16777216}), "<built>");
  EXPECT_EQ(build_error("Sma", {16777217}), "invalid parameters for indicator Sma: " + kMax);
  EXPECT_EQ(build_error("Sma", {1e20}), "invalid parameters for indicator Sma: " + kMax);
}

TEST(ParamGetters, IntegerRangesAndNumberText) {
  const std::vector<double> p = {-2147483648.0, 2147483647.0, 2147483648.0, -0.0, 4294967295.0, -1.0, 1e-7, 1e20};
  EXPECT_EQ(param_i32(p, 0, "K").value(), -2147483647 - 1);
  EXPECT_EQ(param_i32(p, 1, "K").value(), 2147483647);
  EXPECT_EQ(param_i32(p, 2, "K").error().to_string(),
            "invalid parameters for indicator K: parameter #2 must be an i32, got 2147483648");
  EXPECT_EQ(param_u32(p, 3, "K").value(), 0u);
  EXPECT_EQ(param_u32(p, 4, "K").value(), 4294967295u);
  EXPECT_EQ(param_u32(p, 5, "K").error().to_string(),
            "invalid parameters for indicator K: parameter #5 must be a u32, got -1");
  EXPECT_EQ(format_param_value(1e-7), "0.0000001");
  EXPECT_EQ(format_param_value(1e20), "100000000000000000000");
  EXPECT_EQ(param_positive_integer(p, 7, "K").value(), 18446744073709551615ULL);
}

}  // namespace
}  // namespace vsci
