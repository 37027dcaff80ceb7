// Property checks over hand-written backtest outputs: each kind passing and
// failing with its detail, metric lookup, and the equity curve's sources.
#include "harness/properties.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "json/reader.h"

namespace vsci {
namespace {

json::Value doc(const std::string& text) {
  auto v = json::parse(text);
  if (!v) throw std::runtime_error("bad test JSON: " + v.error().to_string());
  return std::move(v).value();
}

// A result document in the engine's layout with the given metrics and equity values.
json::Value output(const std::string& metrics, const std::vector<double>& equity) {
  std::string eq;
  for (std::size_t i = 0; i < equity.size(); ++i) {
    if (i) eq += ',';
    eq += R"({"time":)" + std::to_string(i * 60000) + R"(,"equity":)" + std::to_string(equity[i]) + "}";
  }
  return doc(R"({"schema_version":1,"symbol":"X","timeframe":"1m","metrics":)" + metrics +
             R"(,"trades":[],"equity":[)" + eq + R"(],"fees_paid":0.0,"initial_capital":10000.0})");
}

const std::string kMetrics =
    R"({"pnl":12.5,"return_pct":0.125,"sharpe":0.5,"sortino":null,"calmar":null,"max_drawdown":4.0,)"
    R"("win_rate":50.0,"profit_factor":1.5,"num_trades":3})";

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

PropertyResult check(const Property& p, const json::Value& out) {
  const auto r = check_properties({p}, FlatDocument::from_value(out));
  if (r.size() != 1) throw std::runtime_error("one result expected");
  return r[0];
}

void expect_pass(const Property& p, const json::Value& out) {
  const PropertyResult r = check(p, out);
  EXPECT_TRUE(r.passed);
  EXPECT_FALSE(r.detail.has_value());
}

void expect_fail(const Property& p, const json::Value& out, std::optional<std::string> detail) {
  const PropertyResult r = check(p, out);
  EXPECT_FALSE(r.passed);
  EXPECT_EQ(r.detail, detail);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(CheckProperties, ListShapeAndCopies) {
  const json::Value out = output(kMetrics, {1, 2});
  EXPECT_TRUE(check_properties({}, FlatDocument::from_value(out)).empty());
  const auto r =
      check_properties({prop(Property::Kind::PnlGe, 100), range("win_rate", 0, 100)}, FlatDocument::from_value(out));
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].property.kind, Property::Kind::PnlGe);
  EXPECT_EQ(r[0].property.value, 100.0);
  EXPECT_FALSE(r[0].passed);
  EXPECT_EQ(r[1].property.field, "win_rate");
  EXPECT_TRUE(r[1].passed);
}

TEST(CheckProperties, ThresholdKinds) {
  const json::Value out = output(kMetrics, {1, 2});
  expect_pass(prop(Property::Kind::MinTradesGe, 3), out);
  expect_fail(prop(Property::Kind::MinTradesGe, 4), out, std::nullopt);
  expect_pass(prop(Property::Kind::SharpeGe, 0.5), out);
  expect_fail(prop(Property::Kind::SharpeGe, 0.6), out, std::nullopt);
  expect_pass(prop(Property::Kind::PnlGe, -1), out);
  expect_fail(prop(Property::Kind::PnlGe, 12.6), out, std::nullopt);
  expect_fail(prop(Property::Kind::PnlGe, kNaN), out, std::nullopt);
}

TEST(CheckProperties, MissingMetricsNameTheLookup) {
  const json::Value bare = doc(R"({"metrics":{"sharpe":null}})");
  expect_fail(prop(Property::Kind::MinTradesGe, 0), bare, "missing: num_trades");
  expect_fail(prop(Property::Kind::SharpeGe, -1e9), bare, "missing: sharpe");
  expect_fail(prop(Property::Kind::PnlGe, 0), bare, "missing: pnl");
  expect_fail(prop(Property::Kind::MaxDrawdownLe, 100), bare, "missing: max_drawdown");
  expect_fail(range("nothing.here", 0, 1), bare, "missing: nothing.here");
}

TEST(CheckProperties, MaxDrawdownIsBoundedByTheMagnitude) {
  const json::Value out = output(kMetrics, {1, 2});  // max_drawdown 4
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
  const json::Value out = output(kMetrics, {1, 2});
  expect_pass(range("metrics.win_rate", 50, 50), out);
  expect_pass(range("win_rate", 50, 60), out);
  expect_pass(range("win_rate", 40, 50), out);
  expect_fail(range("win_rate", 50.5, 60), out, std::nullopt);
  expect_fail(range("win_rate", kNaN, 60), out, std::nullopt);
  expect_pass(range("equity[1].equity", 2, 2), out);
  // A top-level field of the same name is found before metrics.
  expect_pass(range("pnl", 7, 7), doc(R"({"pnl":7,"metrics":{"pnl":1}})"));
  EXPECT_EQ(lookup_metric(FlatDocument::from_value(doc(R"({"metrics":{"x":2}})")), "x"), 2.0);
}

TEST(CheckProperties, NoNaN) {
  expect_pass(prop(Property::Kind::NoNaN), output(kMetrics, {1, 2}));
  // Only a tree built in memory can hold a non-finite number.
  json::Value tree = json::Value::object();
  tree.set("b", json::Value::f64(std::numeric_limits<double>::infinity()));
  tree.set("a", json::Value::f64(kNaN));
  tree.set("0", json::Value::f64(1.0));
  expect_fail(prop(Property::Kind::NoNaN), tree, "a");
}

TEST(MonotoneEquity, ReadsTheOutputsEquityPoints) {
  expect_pass(prop(Property::Kind::MonotoneEquity), output(kMetrics, {100, 100, 101, 150}));
  expect_pass(prop(Property::Kind::MonotoneEquity), output(kMetrics, {100}));
  expect_fail(prop(Property::Kind::MonotoneEquity), output(kMetrics, {}), "no equity_curve");
  // Points 10 and 11 sort after 9: the fall is from index 10 to 11.
  expect_fail(prop(Property::Kind::MonotoneEquity),
              output(kMetrics, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 10.5}), "equity_curve[11] < [10]");
}

TEST(MonotoneEquity, FallsWithinOneBillionthAreAllowed) {
  const json::Value curve = doc(R"({"equity_curve[0]":100,"equity_curve[1]":99.9999999995,"equity_curve[2]":99})");
  expect_fail(prop(Property::Kind::MonotoneEquity), curve, "equity_curve[2] < [1]");
  const json::Value tiny = doc(R"({"equity":[{"equity":100},{"equity":99.9999999995}]})");
  expect_pass(prop(Property::Kind::MonotoneEquity), tiny);
}

TEST(MonotoneEquity, CurveFieldIndexTexts) {
  // Compared in index order: 9 before 10.
  expect_fail(prop(Property::Kind::MonotoneEquity), doc(R"({"equity_curve[10]":1,"equity_curve[9]":2})"),
              "equity_curve[10] < [9]");
  expect_pass(prop(Property::Kind::MonotoneEquity), doc(R"({"equity_curve[10]":2,"equity_curve[9]":1})"));
  // Leading zeros and a plus sign are indices; the detail prints the number.
  expect_fail(prop(Property::Kind::MonotoneEquity), doc(R"({"equity_curve[+003]":1,"equity_curve[02]":2})"),
              "equity_curve[3] < [2]");
  // None of these is a point.
  expect_fail(prop(Property::Kind::MonotoneEquity),
              doc(R"({"equity_curve[]":1,"equity_curve[+]":1,"equity_curve[-1]":1,"equity_curve[1a]":1,)"
                  R"("equity_curve[18446744073709551616]":1,"equity_curve[1].x":1,"xequity_curve[1]":1,)"
                  R"("equity[1]":1,"equity[1].time":1,"equity[x].equity":1})"),
              "no equity_curve");
  // The largest 64-bit index is one.
  expect_pass(prop(Property::Kind::MonotoneEquity), doc(R"({"equity_curve[18446744073709551615]":1})"));
}

TEST(MonotoneEquity, OutputPointsTakePrecedenceOverCurveFields) {
  const json::Value both = doc(R"({"equity":[{"equity":1},{"equity":2}],"equity_curve[0]":5,"equity_curve[1]":1})");
  expect_pass(prop(Property::Kind::MonotoneEquity), both);
}

}  // namespace
}  // namespace vsci
