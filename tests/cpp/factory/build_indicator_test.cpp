// Name dispatch, the parameter getters with their exact messages, the error
// texts, and the registry table itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "factory/build_indicator.h"
#include "factory/params.h"
#include "factory/registry.h"
#include "support/series.h"

namespace vsci {
namespace {

using testing::build_error;
using testing::kNaN;

const std::string kMaxDetail = "period exceeds the maximum supported window length (see MAX_PERIOD)";
const std::string kMax = "invalid period: " + kMaxDetail;
const std::string kSma = "invalid parameters for indicator Sma: ";

TEST(BuildIndicator, NameMatchingIsExact) {
  EXPECT_EQ(build_error("", {3}), "unknown indicator type: ");
  EXPECT_EQ(build_error("sma", {3}), "unknown indicator type: sma");
  EXPECT_EQ(build_error(" Sma", {3}), "unknown indicator type:  Sma");
  EXPECT_EQ(build_error("Sma ", {}), "unknown indicator type: Sma ");
  EXPECT_EQ(build_error("Sm", {3}), "unknown indicator type: Sm");
  EXPECT_EQ(build_error(std::string("Sma\0", 4), {3}), std::string("unknown indicator type: Sma\0", 28));
  EXPECT_EQ(build_error("Sma", {3}), "<built>");
}

// The alias table is the one the reference prints; the factory must answer
// each alias exactly as its target, and nothing else besides the registry.
TEST(BuildIndicator, AliasesBehaveExactlyAsTheirTargets) {
  std::vector<std::pair<std::string_view, std::string_view>> table;
  for (const KindAlias& a : kind_aliases()) table.emplace_back(a.alias, a.target);
  const std::vector<std::pair<std::string_view, std::string_view>> promised = {{"Bollinger", "BollingerBands"},
                                                                             {"Macd", "MacdIndicator"}};
  EXPECT_EQ(table, promised);

  for (const KindAlias& a : kind_aliases()) {
    SCOPED_TRACE(std::string(a.alias));
    EXPECT_EQ(find_kind(a.alias), nullptr) << "an alias hides a registry name";
    const KindEntry* target = find_kind(a.target);
    ASSERT_NE(target, nullptr);
    const auto example = target->example.view();
    std::vector<std::vector<double>> lists = {{}, {12, 26, 9}, {20, 2}, {2.5}, {kNaN}, {0, 0, 0}};
    lists.emplace_back(example.begin(), example.end());
    for (const auto& params : lists) {
      const std::string got = build_error(std::string(a.alias), params);
      EXPECT_EQ(got, build_error(std::string(a.target), params));
      // Errors name the target, never the alias.
      EXPECT_EQ(got.find(std::string(a.alias) + ":"), std::string::npos) << got;
    }
    auto via_alias = build_indicator(a.alias, example);
    auto direct = build_indicator(a.target, example);
    ASSERT_TRUE(via_alias.ok() && direct.ok());
    EXPECT_EQ(via_alias.value()->warmup(), direct.value()->warmup());
    EXPECT_TRUE(std::ranges::equal(via_alias.value()->output_names(), direct.value()->output_names()));
    // Only the exact alias is one.
    for (std::string near : {std::string(a.alias) + " ", " " + std::string(a.alias), std::string(a.alias).substr(1)}) {
      EXPECT_EQ(build_error(near, lists.back()), "unknown indicator type: " + near);
    }
  }
}

TEST(BuildIndicator, PositiveIntegerGetterMessages) {
  EXPECT_EQ(build_error("Sma", {}), kSma + "missing parameter #0");
  EXPECT_EQ(build_error("Sma", {2.5}), kSma + "parameter #0 must be a positive integer, got 2.5");
  EXPECT_EQ(build_error("Sma", {0.0}), kSma + "parameter #0 must be a positive integer, got 0");
  EXPECT_EQ(build_error("Sma", {-0.0}), kSma + "parameter #0 must be a positive integer, got -0");
  EXPECT_EQ(build_error("Sma", {-3}), kSma + "parameter #0 must be a positive integer, got -3");
  EXPECT_EQ(build_error("Sma", {kNaN}), kSma + "parameter #0 must be finite");
  EXPECT_EQ(build_error("Sma", {-kInf}), kSma + "parameter #0 must be finite");
  EXPECT_EQ(build_error("Sma", {1e-300}), kSma + "period must be greater than zero");
  EXPECT_EQ(build_error("Sma", {std::nextafter(1.0, 2.0)}), "<built>");
  EXPECT_EQ(build_error("Sma", {std::nextafter(3.0, 4.0)}),
            kSma + "parameter #0 must be a positive integer, got 3.0000000000000004");
  EXPECT_EQ(build_error("Sma", {16777216}), "<built>");
  EXPECT_EQ(build_error("Sma", {16777217}), kSma + kMax);
  EXPECT_EQ(build_error("Sma", {1e20}), kSma + kMax);
  EXPECT_EQ(kMaxDetail.size(), 67u);
}

TEST(BuildIndicator, ReadsPositionsInOrderAndIgnoresExtras) {
  EXPECT_EQ(build_error("Sma", {3, kNaN, kInf, -1, 2.5}), "<built>");
  EXPECT_EQ(testing::build_ok("Sma", {3, kNaN})->warmup(), 3u);
  // Only the first failing position is reported; later ones are never read.
  EXPECT_EQ(build_error("T3", {2.5, kNaN}),
            "invalid parameters for indicator T3: parameter #0 must be a positive integer, got 2.5");
  EXPECT_EQ(build_error("T3", {5}), "invalid parameters for indicator T3: missing parameter #1");
  EXPECT_EQ(build_error("GaussianWeightedMa", {5, 0.5, kNaN}),
            "invalid parameters for indicator GaussianWeightedMa: parameter #2 must be finite");
  EXPECT_EQ(build_error("WeightedRocSum", {1, 2, 0.5}),
            "invalid parameters for indicator WeightedRocSum: parameter #2 must be a positive integer, got 0.5");
  // All values read before the kind's own checks run.
  EXPECT_EQ(build_error("T3", {1e-300, kNaN}), "invalid parameters for indicator T3: parameter #1 must be finite");
  EXPECT_EQ(build_error("T3", {1e-300, 5}), "invalid parameters for indicator T3: period must be greater than zero");
}

TEST(ParamGetters, IntegerRangesAndDelivery) {
  const std::vector<double> p = {-2147483648.0, 2147483647.0, 2147483648.0, -0.0,  4294967295.0, -1.0,
                                 1e-300,        1e20,         2.5,          -2.0,  4294967296.0, 5e-324};
  EXPECT_EQ(param_i32(p, 0, "K").value(), -2147483647 - 1);
  EXPECT_EQ(param_i32(p, 1, "K").value(), 2147483647);
  EXPECT_EQ(param_i32(p, 2, "K").error().to_string(),
            "invalid parameters for indicator K: parameter #2 must be an i32, got 2147483648");
  EXPECT_EQ(param_i32(p, 8, "K").error().to_string(),
            "invalid parameters for indicator K: parameter #8 must be an i32, got 2.5");
  EXPECT_EQ(param_i32(p, 3, "K").value(), 0);
  EXPECT_EQ(param_i32(p, 9, "K").value(), -2);
  EXPECT_EQ(param_u32(p, 3, "K").value(), 0u);
  EXPECT_EQ(param_u32(p, 4, "K").value(), 4294967295u);
  EXPECT_EQ(param_u32(p, 5, "K").error().to_string(),
            "invalid parameters for indicator K: parameter #5 must be a u32, got -1");
  EXPECT_EQ(param_u32(p, 10, "K").error().to_string(),
            "invalid parameters for indicator K: parameter #10 must be a u32, got 4294967296");
  EXPECT_EQ(param_u32(p, 6, "K").value(), 0u);
  EXPECT_EQ(param_positive_integer(p, 6, "K").value(), 0u);
  EXPECT_EQ(param_positive_integer(p, 7, "K").value(), 18446744073709551615ULL);
  EXPECT_EQ(param_positive_integer(p, 4, "K").value(), 4294967295ULL);
  EXPECT_EQ(param_i32(p, 12, "K").error().to_string(), "invalid parameters for indicator K: missing parameter #12");
  EXPECT_EQ(param_u32(std::vector<double>{kInf}, 0, "K").error().to_string(),
            "invalid parameters for indicator K: parameter #0 must be finite");
  // param_finite hands over negative zero and subnormals unchanged.
  EXPECT_TRUE(std::signbit(param_finite(p, 3, "K").value()));
  EXPECT_EQ(param_finite(p, 11, "K").value(), 5e-324);
  const auto e = param_finite(p, 12, "Name With Spaces").error();
  EXPECT_EQ(e.to_string(), "invalid parameters for indicator Name With Spaces: missing parameter #12");
}

TEST(ParamGetters, NumberTextIsShortestAndNeverExponential) {
  EXPECT_EQ(format_param_value(2.5), "2.5");
  EXPECT_EQ(format_param_value(3.0), "3");
  EXPECT_EQ(format_param_value(0.0), "0");
  EXPECT_EQ(format_param_value(-0.0), "-0");
  EXPECT_EQ(format_param_value(-1.0), "-1");
  EXPECT_EQ(format_param_value(0.1), "0.1");
  EXPECT_EQ(format_param_value(-0.75), "-0.75");
  EXPECT_EQ(format_param_value(1e-7), "0.0000001");
  EXPECT_EQ(format_param_value(1e20), "100000000000000000000");
  EXPECT_EQ(format_param_value(1.5e300), "15" + std::string(299, '0'));
  EXPECT_EQ(format_param_value(123456.789), "123456.789");
  EXPECT_EQ(format_param_value(-1234567890123456789.0), "-1234567890123456800");
  EXPECT_EQ(format_param_value(0.000123), "0.000123");
  const std::string tiny = format_param_value(5e-324);
  EXPECT_EQ(tiny.substr(0, 2), "0.");
  EXPECT_EQ(tiny, "0." + std::string(323, '0') + "5");
  EXPECT_EQ(std::strtod(tiny.c_str(), nullptr), 5e-324);
  EXPECT_EQ(format_param_value(std::numeric_limits<double>::max()).size(), 309u);
}

TEST(ErrorTexts, EveryVariantRendersExactly) {
  EXPECT_EQ(IndicatorError::period_zero().to_string(), "period must be greater than zero");
  EXPECT_EQ(IndicatorError::period_too_large().to_string(), kMax);
  EXPECT_EQ(IndicatorError::non_finite_input().to_string(), "input value must be finite (got NaN or infinity)");
  EXPECT_EQ(IndicatorError::invalid_candle("d").to_string(), "invalid candle: d");
  EXPECT_EQ(IndicatorError::invalid_tick("d").to_string(), "invalid tick: d");
  EXPECT_EQ(IndicatorError::non_positive_multiplier().to_string(), "multiplier must be greater than zero");
  EXPECT_EQ(IndicatorError::invalid_order_book("d").to_string(), "invalid order book: d");
  EXPECT_EQ(IndicatorError::invalid_trade("d").to_string(), "invalid trade: d");
  EXPECT_EQ(IndicatorError::invalid_derivatives_tick("d").to_string(), "invalid derivatives tick: d");
  EXPECT_EQ(IndicatorError::invalid_cross_section(" d ").to_string(), "invalid cross-section:  d ");
  EXPECT_EQ(IndicatorError::invalid_parameter("d").to_string(), "invalid parameter: d");
  std::string out = "x";
  IndicatorError::period_zero().append_to(out);
  EXPECT_EQ(out, "xperiod must be greater than zero");
  EXPECT_EQ(attach_indicator_name("Beta", IndicatorError::invalid_period("beta needs period >= 2")).to_string(),
            "invalid parameters for indicator Beta: invalid period: beta needs period >= 2");
  EXPECT_EQ(BacktestError::invalid_spec("a").to_string(), "invalid strategy spec: a");
  EXPECT_EQ(BacktestError::unknown_indicator("a").to_string(), "unknown indicator type: a");
  EXPECT_EQ(BacktestError::invalid_parameters("K", "m").to_string(), "invalid parameters for indicator K: m");
  EXPECT_EQ(BacktestError::undeclared_indicator("a").to_string(), "rule references undeclared indicator: a");
  EXPECT_EQ(BacktestError::invalid_input("a").to_string(), "invalid input data: a");
}

TEST(Registry, SortedUniqueAndWellFormed) {
  const auto table = registry();
  for (std::size_t i = 0; i < table.size(); ++i) {
    const KindEntry& e = *table[i];
    if (i > 0) {
      EXPECT_LT(table[i - 1]->name, e.name);
    }
    EXPECT_LE(e.params.size(), kMaxKindParams) << e.name;
    EXPECT_EQ(e.params.find_first_not_of("fpiu"), std::string_view::npos) << e.name;
    EXPECT_EQ(find_kind(e.name), &e);
  }
  EXPECT_EQ(find_kind("Macd"), nullptr);
  EXPECT_EQ(find_kind("Bollinger"), nullptr);
}

}  // namespace
}  // namespace vsci
