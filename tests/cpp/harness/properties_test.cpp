// Property checks over hand-written run records: each kind passing and
// failing with its detail, metric lookup, and the equity curve.
#include "harness/properties.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "engine/result.h"
#include "json/value.h"
#include "support/series.h"

namespace vsci {
namespace {

using testing::kNaN;

// A run's records with these metrics (sortino and calmar not finite, so
// written null) and equity values, one a minute.
BacktestResult output(const std::vector<double>& equity) {
  BacktestResult r;
  r.symbol = "X";
  r.timeframe = "1m";
  r.metrics = {12.5, 0.125, 0.5, kNaN, kNaN, 4.0, 50.0, 1.5, 3};
  for (std::size_t i = 0; i < equity.size(); ++i) r.equity.push_back({static_cast<std::int64_t>(i * 60000), equity[i]});
  r.initial_capital = 10000.0;
  return r;
}

Property prop(Property::Kind kind, double value = 0.0) {
  Property p;
  p.kind = kind;
  p.value = value;
  return p;
}

Property range(std::string field, double lo, double hi) {
  Property p;
  p.kind = Property::Kind::FieldInRange;
  p.field = std::move(field);
  p.min = lo;
  p.max = hi;
  return p;
}

// The checks as a test's run makes them: over what the properties look up
// in the run's records.
std::vector<PropertyResult> check(const std::vector<Property>& properties, const BacktestResult& out) {
  return check_properties(properties,
                          FlatDocument::from_result(out, looked_up_paths(properties), reads_equity_curve(properties)));
}

void expect_pass(const Property& p, const BacktestResult& out) {
  const auto r = check({p}, out);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(r[0].passed);
  EXPECT_FALSE(r[0].detail.has_value());
}

void expect_fail(const Property& p, const BacktestResult& out, std::optional<std::string> detail) {
  const auto r = check({p}, out);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_FALSE(r[0].passed);
  EXPECT_EQ(r[0].detail, detail);
}

TEST(CheckProperties, ListShapeAndCopies) {
  const BacktestResult out = output({1, 2});
  EXPECT_TRUE(check({}, out).empty());
  const auto r = check({prop(Property::Kind::PnlGe, 100), range("win_rate", 0, 100)}, out);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].property.kind, Property::Kind::PnlGe);
  EXPECT_EQ(r[0].property.value, 100.0);
  EXPECT_FALSE(r[0].passed);
  EXPECT_EQ(r[1].property.field, "win_rate");
  EXPECT_TRUE(r[1].passed);
}

TEST(CheckProperties, ThresholdKinds) {
  const BacktestResult out = output({1, 2});
  expect_pass(prop(Property::Kind::MinTradesGe, 3), out);
  expect_fail(prop(Property::Kind::MinTradesGe, 4), out, std::nullopt);
  expect_pass(prop(Property::Kind::SharpeGe, 0.5), out);
  expect_fail(prop(Property::Kind::SharpeGe, 0.6), out, std::nullopt);
  expect_pass(prop(Property::Kind::PnlGe, -1), out);
  expect_fail(prop(Property::Kind::PnlGe, 12.6), out, std::nullopt);
  expect_fail(prop(Property::Kind::PnlGe, kNaN), out, std::nullopt);
}

// A value the text writes null is no number.
TEST(CheckProperties, MissingMetricsNameTheLookup) {
  BacktestResult bare = output({1});
  bare.metrics = {kNaN, 0.0, kNaN, 0.0, 0.0, kNaN, 0.0, 0.0, 0};
  expect_fail(prop(Property::Kind::SharpeGe, -1e9), bare, "missing: sharpe");
  expect_fail(prop(Property::Kind::PnlGe, 0), bare, "missing: pnl");
  expect_fail(prop(Property::Kind::MaxDrawdownLe, 100), bare, "missing: max_drawdown");
  expect_fail(range("sortino", -1e9, 1e9), output({1}), "missing: sortino");
  expect_fail(range("nothing.here", 0, 1), bare, "missing: nothing.here");
  expect_fail(range("equity[1].equity", 0, 1e9), bare, "missing: equity[1].equity");
}

TEST(CheckProperties, MaxDrawdownIsBoundedByTheMagnitude) {
  const BacktestResult out = output({1, 2});  // max_drawdown 4
  expect_pass(prop(Property::Kind::MaxDrawdownLe, 4), out);
  expect_pass(prop(Property::Kind::MaxDrawdownLe, 10), out);
  expect_pass(prop(Property::Kind::MaxDrawdownLe, -10), out);
  // A drawdown above the bound fails: before the mend this passed for any bound.
  expect_fail(prop(Property::Kind::MaxDrawdownLe, 3.9), out, std::nullopt);
  expect_fail(prop(Property::Kind::MaxDrawdownLe, -3.9), out, std::nullopt);
  expect_fail(prop(Property::Kind::MaxDrawdownLe, 0), out, std::nullopt);
  expect_fail(prop(Property::Kind::MaxDrawdownLe, kNaN), out, std::nullopt);
}

TEST(CheckProperties, FieldInRangeLookupAndBounds) {
  const BacktestResult out = output({1, 2});
  expect_pass(range("metrics.win_rate", 50, 50), out);
  expect_pass(range("win_rate", 50, 60), out);
  expect_pass(range("win_rate", 40, 50), out);
  expect_fail(range("win_rate", 50.5, 60), out, std::nullopt);
  expect_fail(range("win_rate", kNaN, 60), out, std::nullopt);
  expect_pass(range("equity[1].equity", 2, 2), out);
  expect_pass(range("equity[1].time", 60000, 60000), out);
  expect_pass(range("initial_capital", 10000, 10000), out);
  expect_pass(range("metrics.num_trades", 3, 3), out);
}

TEST(CheckProperties, NoNaN) {
  // A run's text writes null for what is not finite.
  expect_pass(prop(Property::Kind::NoNaN), output({1, kNaN}));
  // A tree built in memory holds such numbers: the first path in key order is named.
  json::Value tree = json::Value::object();
  tree.set("b", json::Value::f64(std::numeric_limits<double>::infinity()));
  tree.set("a", json::Value::f64(kNaN));
  tree.set("0", json::Value::f64(1.0));
  const auto r = check_properties({prop(Property::Kind::NoNaN)}, FlatDocument::from_value(tree));
  ASSERT_EQ(r.size(), 1u);
  EXPECT_FALSE(r[0].passed);
  EXPECT_EQ(r[0].detail, "a");
}

TEST(MonotoneEquity, ReadsTheOutputsEquityPoints) {
  expect_pass(prop(Property::Kind::MonotoneEquity), output({100, 100, 101, 150}));
  expect_pass(prop(Property::Kind::MonotoneEquity), output({100}));
  expect_fail(prop(Property::Kind::MonotoneEquity), output({}), "no equity_curve");
  // Points 10 and 11 sort after 9: the fall is from index 10 to 11.
  expect_fail(prop(Property::Kind::MonotoneEquity), output({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 10.5}),
              "equity_curve[11] < [10]");
  // A point written null is no point: the fall is from index 0 to 2.
  expect_fail(prop(Property::Kind::MonotoneEquity), output({1, kNaN, 0.5}), "equity_curve[2] < [0]");
  expect_fail(prop(Property::Kind::MonotoneEquity), output({kNaN}), "no equity_curve");
}

TEST(MonotoneEquity, FallsWithinOneBillionthAreAllowed) {
  expect_pass(prop(Property::Kind::MonotoneEquity), output({100, 99.9999999995}));
  expect_fail(prop(Property::Kind::MonotoneEquity), output({100, 99.9999999995, 99}), "equity_curve[2] < [1]");
}

}  // namespace
}  // namespace vsci
