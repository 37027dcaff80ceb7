// Running one test: flattening, rounding, tolerance lookup, comparison and the
// whole run_test path through the engine.
#include "harness/run_one.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "harness/backtest_call.h"
#include "json/reader.h"
#include "support/harness_calls.h"

namespace vsci {
namespace {

StrategyTest test_from(std::string_view text) {
  auto t = read_strategy_test(doc(text));
  if (!t) throw std::runtime_error("bad test: " + t.error().to_string());
  return std::move(t).value();
}

// Tolerances as a test author writes them, read (and ordered) by the test reader.
Tolerances tolerances(const std::string& object) {
  return test_from(R"({"id":"t","strategy":{},"dataset_ref":"d","tolerances":)" + object + "}").tolerances;
}

std::vector<DiffEntry> compare(std::string_view expected, std::string_view actual, const Tolerances& tol = {}) {
  return compare_documents(doc(expected), doc(actual), tol);
}

std::vector<DiffEntry> compare_numbers(double e, double a, const Tolerances& tol = {}) {
  json::Value ed = json::Value::object();
  ed.set("x", json::Value::f64(e));
  json::Value ad = json::Value::object();
  ad.set("x", json::Value::f64(a));
  return compare_documents(ed, ad, tol);
}

// ---------------------------------------------------------------- flattening

TEST(FlattenJson, PathsOfNestedDocuments) {
  const FlatMap flat = flatten_json(doc(
      R"({"metrics":{"pnl":1.5,"num_trades":3},"trades":[{"qty":2,"reason":"end"},{"qty":-1}],)"
      R"("symbol":"X","ok":true,"gone":null,"deep":[[7]]})"));
  const FlatMap want = {{"deep[0][0]", 7.0},    {"metrics.num_trades", 3.0}, {"metrics.pnl", 1.5},
                        {"trades[0].qty", 2.0}, {"trades[1].qty", -1.0}};
  EXPECT_EQ(flat, want);
}

TEST(FlattenJson, TopLevelShapesAndEmptyKeys) {
  EXPECT_EQ(flatten_json(doc("[4,[5]]")), (FlatMap{{"[0]", 4.0}, {"[1][0]", 5.0}}));
  EXPECT_EQ(flatten_json(doc("-2")), (FlatMap{{"", -2.0}}));
  EXPECT_EQ(flatten_json(doc(R"("s")")), FlatMap{});
  // A member with an empty key restarts at bare keys below it.
  EXPECT_EQ(flatten_json(doc(R"({"":{"a":1}})")), (FlatMap{{"a", 1.0}}));
  // Large integers become the nearest double.
  EXPECT_EQ(flatten_json(doc("18446744073709551615")).at(""), 18446744073709551616.0);
}

TEST(FlattenJson, PrefixAndLaterLeafWins) {
  FlatMap flat;
  flatten_json(doc(R"({"b":[1]})"), "root", flat);
  EXPECT_EQ(flat, (FlatMap{{"root.b[0]", 1.0}}));
  // "a" is visited before "a.b", so the member named "a.b" wins the path.
  EXPECT_EQ(flatten_json(doc(R"({"a.b":2,"a":{"b":1}})")), (FlatMap{{"a.b", 2.0}}));
}

// ---------------------------------------------------------------- index order

// List indices order as the bytes of their path texts "i]" do.
TEST(IndexOrder, IndicesOrderAsTheirTexts) {
  std::vector<std::uint64_t> order;
  for (const std::uint64_t n : {0, 1, 2, 9, 10, 11, 19, 20, 99, 100, 101, 110, 999, 1000, 1001, 4321, 100000}) {
    std::vector<std::pair<std::string, std::uint64_t>> texts;
    for (std::uint64_t i = 0; i < n; ++i) texts.emplace_back(std::to_string(i) + "]", i);
    std::sort(texts.begin(), texts.end());
    index_text_order(n, order);
    ASSERT_EQ(order.size(), n);
    for (std::uint64_t k = 0; k < n; ++k) ASSERT_EQ(order[k], texts[k].second) << n << " at " << k;
  }
}

// ---------------------------------------------------------------- rounding

TEST(Rounding, EightDecimalsHalvesAwayFromZero) {
  // x * 1e8 lands exactly on a half in each case.
  ASSERT_EQ(2.5e-8 * 1e8, 2.5);
  ASSERT_EQ(4.5e-8 * 1e8, 4.5);
  EXPECT_EQ(round_to_8_decimals(2.5e-8), 3e-8);
  EXPECT_EQ(round_to_8_decimals(-2.5e-8), -3e-8);
  EXPECT_EQ(round_to_8_decimals(4.5e-8), 5e-8);
  EXPECT_EQ(round_to_8_decimals(0.123456781), 0.12345678);
  EXPECT_EQ(round_to_8_decimals(1.000000006), 1.00000001);
  EXPECT_EQ(round_to_8_decimals(123.0), 123.0);
}

TEST(Rounding, HugeValuesAreKeptUnrounded) {
  EXPECT_EQ(round_to_8_decimals(1e301), 1e301);
  EXPECT_EQ(round_to_8_decimals(-2e301), -2e301);
  EXPECT_EQ(round_to_8_decimals(std::numeric_limits<double>::max()), std::numeric_limits<double>::max());
  // Before the guard both sides overflowed to the same infinity and compared equal.
  const auto d = compare_numbers(1e301, 2e301);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].kind, "mismatch");
  EXPECT_EQ(d[0].expected, 1e301);
  EXPECT_EQ(d[0].actual, 2e301);
  EXPECT_TRUE(compare_numbers(1e301, 1e301).empty());
  EXPECT_EQ(compare_numbers(1.7e308, -1.7e308).size(), 1u);
}

// ---------------------------------------------------------------- tolerance lookup

TEST(FindTolerance, ExactKeyThenLongestPatternThenStar) {
  const Tolerances t = tolerances(
      R"({"*":{"kind":"abs","value":9},"trades[*]":{"kind":"abs","value":1},)"
      R"("trades[0].qty":{"kind":"rel","value":3},"a[*]":{"kind":"abs","value":4},"a[0].b[*]":{"kind":"abs","value":5}})");
  auto value_of = [&](std::string_view f) { return find_tolerance(t, f).value; };
  EXPECT_EQ(value_of("trades[0].qty"), 3.0);
  EXPECT_EQ(find_tolerance(t, "trades[0].qty").kind, Tolerance::Kind::Rel);
  EXPECT_EQ(value_of("trades[1].qty"), 1.0);
  EXPECT_EQ(value_of("a[0].b[1]"), 5.0);
  EXPECT_EQ(value_of("a[1].b[1]"), 4.0);
  EXPECT_EQ(value_of("metrics.pnl"), 9.0);
}

TEST(FindTolerance, PatternPrefixRules) {
  const Tolerances both = tolerances(R"({"trades[*].qty":{"kind":"abs","value":2},"trades[*]":{"kind":"abs","value":1}})");
  // Same prefix "trades": the key sorting first wins, whatever follows the "[*]".
  EXPECT_EQ(find_tolerance(both, "trades[0].qty").value, 1.0);
  const Tolerances qty = tolerances(R"({"trades[*].qty":{"kind":"abs","value":2}})");
  EXPECT_EQ(find_tolerance(qty, "trades[0].pnl").value, 2.0);

  const Tolerances eq = tolerances(R"({"equity[*]":{"kind":"abs","value":7}})");
  EXPECT_EQ(find_tolerance(eq, "equity").value, 7.0);
  EXPECT_EQ(find_tolerance(eq, "equity[3].time").value, 7.0);
  EXPECT_EQ(find_tolerance(eq, "equity_x").value, 0.0);
  EXPECT_EQ(find_tolerance(eq, "equityx[0]").value, 0.0);
}

// The indexed lookup against the rule scanned key by key, on random keys
// (duplicates, nested patterns, "*") and fields.
TEST(FindTolerance, IndexAgreesWithAScanOfEveryKey) {
  const auto scan = [](const Tolerances& keys, std::string_view field) -> const Tolerance* {
    for (const auto& [key, tol] : keys)
      if (key == field) return &tol;
    const Tolerance* best = nullptr;
    std::size_t best_len = 0;
    for (const auto& [key, tol] : keys) {
      const std::size_t star = key.find("[*]");
      if (star == std::string::npos) continue;
      const std::string_view prefix = std::string_view(key).substr(0, star);
      const bool hit = field == prefix || (field.starts_with(prefix) && field.size() > prefix.size() &&
                                           field[prefix.size()] == '[');
      if (hit && (best == nullptr || prefix.size() > best_len)) best = &tol, best_len = prefix.size();
    }
    if (best) return best;
    for (const auto& [key, tol] : keys)
      if (key == "*") return &tol;
    return nullptr;
  };
  const char* parts[] = {"a", "b", "[0]", "[1]", "[*]", ".x", ".y", "*"};
  std::mt19937 rng(5);
  const auto random_path = [&] {
    std::string p;
    for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n) p += parts[rng() % 8];
    return p;
  };
  for (int round = 0; round < 200; ++round) {
    Tolerances keys;
    for (int k = static_cast<int>(rng() % 12); k > 0; --k) keys.push_back({random_path(), {Tolerance::Kind::Abs, double(k)}});
    const ToleranceIndex index(keys);
    for (int f = 0; f < 50; ++f) {
      std::string field = random_path();
      for (char& c : field)
        if (c == '*') c = '2';
      const Tolerance* want = scan(keys, field);
      EXPECT_EQ(index.find(field).value, want ? want->value : 0.0) << field;
    }
  }
}

TEST(FindTolerance, NothingAppliesGivesAbsZero) {
  const Tolerance t = find_tolerance(tolerances(R"({"x":{"kind":"rel","value":1}})"), "y");
  EXPECT_EQ(t.kind, Tolerance::Kind::Abs);
  EXPECT_EQ(t.value, 0.0);
}

// ---------------------------------------------------------------- comparison

TEST(Compare, DefaultToleranceDecidesAfterRounding) {
  EXPECT_TRUE(compare_numbers(0.123456781, 0.123456784).empty());
  EXPECT_TRUE(compare_numbers(0.0, 4e-9).empty());
  const auto d = compare_numbers(0.0, 6e-9);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].actual, 1e-8);
  const auto e = compare_numbers(1.000000004, 1.000000006);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].expected, 1.0);
  EXPECT_EQ(e[0].actual, 1.00000001);
  EXPECT_FALSE(e[0].within_tolerance);
}

TEST(Compare, AbsAndRelToleranceBounds) {
  // rel scales by the larger magnitude but never by less than 1; a negative
  // tolerance fails even equal values.
  const struct {
    double expected, actual;
    const char* tolerance;
    bool passes;
  } rows[] = {
      {10000, 10000.5, R"({"kind":"abs","value":0.5})", true}, {10000, 10000.5, R"({"kind":"abs","value":0.4})", false},
      {10000, 10001, R"({"kind":"rel","value":0.0001})", true}, {10000, 10001.1, R"({"kind":"rel","value":0.0001})", false},
      {0, 0.009, R"({"kind":"rel","value":0.01})", true},     {0, -0.009, R"({"kind":"rel","value":0.01})", true},
      {0, 0.011, R"({"kind":"rel","value":0.01})", false},    {5, 5, R"({"kind":"abs","value":-1})", false},
  };
  for (const auto& r : rows) {
    const auto d = compare_numbers(r.expected, r.actual, tolerances(std::string(R"({"x":)") + r.tolerance + "}"));
    EXPECT_EQ(d.empty(), r.passes) << r.expected << " vs " << r.actual << " under " << r.tolerance;
  }
}

TEST(Compare, MissingExtraAndOrder) {
  const auto d = compare(R"({"a":1,"c":{"x":2.123456789},"s":"one","z":[1]})",
                         R"({"b":3,"c":{"x":2.5},"s":"two","z":[1,2],"t":true})");
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].field, "a");
  EXPECT_EQ(d[0].kind, "missing");
  EXPECT_EQ(d[0].expected, 1.0);
  EXPECT_FALSE(d[0].actual.has_value());
  EXPECT_EQ(d[1].field, "b");
  EXPECT_EQ(d[1].kind, "extra");
  EXPECT_FALSE(d[1].expected.has_value());
  EXPECT_EQ(d[1].actual, 3.0);
  EXPECT_EQ(d[2].field, "c.x");
  EXPECT_EQ(d[2].kind, "mismatch");
  EXPECT_EQ(d[2].expected, 2.12345679);
  EXPECT_EQ(d[2].actual, 2.5);
  EXPECT_EQ(d[3].field, "z[1]");
  EXPECT_EQ(d[3].kind, "extra");
  for (const DiffEntry& e : d) EXPECT_FALSE(e.within_tolerance);
}

TEST(Compare, NaNSidesMismatchAndInfinitiesMeet) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(compare_numbers(nan, 1.0).size(), 1u);
  EXPECT_EQ(compare_numbers(nan, nan).size(), 1u);
  EXPECT_TRUE(compare_numbers(inf, inf).empty());
  EXPECT_EQ(compare_numbers(inf, -inf).size(), 1u);
}

// ---------------------------------------------------------------- the backtest call and run_test

constexpr const char* kHoldStrategy =
    R"({"symbol":"X","timeframe":"1m","indicators":{},"entry":{"all":[]},"exit":{"any":[]},)"
    R"("sizing":{"type":"fixed_qty","qty":1},"execution":{"fill_timing":"close"}})";

Datasets rising_data(int n) {
  std::vector<Candle> candles;
  for (int i = 0; i < n; ++i) {
    const double c = 100.0 + i;
    candles.push_back(Candle{i * 60000LL, c, c + 1.0, c - 1.0, c, 10.0});
  }
  return {{"d", candles}};
}

TEST(RunBacktest, RequestTextIsCompactAndSorted) {
  const std::vector<Candle> candles = {{-5, 1.0, 2.0, 0.5, 1.5, std::nan("")},
                                       {7, 1.0, std::numeric_limits<double>::infinity(), 1.0, 1.0, 0.0}};
  EXPECT_EQ(write_backtest_request(doc(R"({"b":1,"a":[true,"x"]})"), candles),
            R"({"candles":[{"close":1.5,"high":2.0,"low":0.5,"open":1.0,"time":-5,"volume":null},)"
            R"({"close":1.0,"high":null,"low":1.0,"open":1.0,"time":7,"volume":0.0}],"spec":{"a":[true,"x"],"b":1}})");
  EXPECT_EQ(write_backtest_request(doc("{}"), {}), R"({"candles":[],"spec":{}})");
}

TEST(RunBacktest, EngineErrorsBecomeBacktestErrors) {
  const auto r = run_backtest(doc(R"({"symbol":"X","timeframe":"1m","indicators":{"a":{"type":"Nope"}},)"
                                  R"("entry":{"gt":["a",1]},"exit":{"lt":["a",1]},"sizing":{"type":"fixed_qty","qty":1}})"),
                              rising_data(3)[0].second);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().to_string(), "backtest error: unknown indicator type: Nope");
}

TEST(RunTest, MissingDatasetEndsTheTest) {
  const auto r = run_test(test_from(R"({"id":"t","strategy":{},"dataset_ref":"nowhere"})"), rising_data(3));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().to_string(), "data error: missing dataset: nowhere");
}

TEST(RunTest, BareTestPassesAndBlessedOutputPasses) {
  const Datasets data = rising_data(20);
  const auto bare = run_test(test_from(std::string(R"({"id":"t","dataset_ref":"d","strategy":)") + kHoldStrategy + "}"), data);
  ASSERT_TRUE(bare.ok()) << bare.error().to_string();
  EXPECT_TRUE(bare->passed);
  EXPECT_EQ(bare->id, "t");
  EXPECT_TRUE(bare->diff.empty() && bare->property_results.empty() && bare->fuzz_failures.empty());

  StrategyTest t = test_from(std::string(R"({"id":"t","dataset_ref":"d","strategy":)") + kHoldStrategy + "}");
  auto output = run_backtest(t.strategy, data[0].second);
  ASSERT_TRUE(output.ok());
  t.expected = ExpectedDocument::of_tree(*output);
  const auto blessed = run_test(t, data);
  ASSERT_TRUE(blessed.ok());
  EXPECT_TRUE(blessed->passed);
  EXPECT_TRUE(blessed->diff.empty());
}

TEST(RunTest, PartialExpectationListsEveryOtherNumberAsExtra) {
  const Datasets data = rising_data(20);
  StrategyTest t = test_from(std::string(R"({"id":"t","dataset_ref":"d","strategy":)") + kHoldStrategy + "}");
  auto output = run_backtest(t.strategy, data[0].second);
  ASSERT_TRUE(output.ok());
  // Bought at the first close (100), marked at the last (119).
  json::Value expected = json::Value::object();
  json::Value metrics = json::Value::object();
  metrics.set("pnl", json::Value::f64(19.0));
  expected.set("metrics", std::move(metrics));
  t.expected = ExpectedDocument::of_tree(expected);
  const auto r = run_test(t, data);
  ASSERT_TRUE(r.ok());
  EXPECT_FALSE(r->passed);
  const std::size_t numbers = flatten_json(*output).size();
  ASSERT_EQ(r->diff.size(), numbers - 1);
  for (const DiffEntry& e : r->diff) {
    EXPECT_EQ(e.kind, "extra") << e.field;
    EXPECT_NE(e.field, "metrics.pnl");
  }
}

TEST(RunTest, FailedPropertyOrBadFuzzAmount) {
  const Datasets data = rising_data(20);
  const auto weak = run_test(test_from(std::string(R"({"id":"t","dataset_ref":"d","property_checks":)"
                                                   R"([{"kind":"pnl_ge","value":1e9}],"strategy":)") +
                                       kHoldStrategy + "}"),
                             data);
  ASSERT_TRUE(weak.ok());
  EXPECT_FALSE(weak->passed);
  ASSERT_EQ(weak->property_results.size(), 1u);
  EXPECT_FALSE(weak->property_results[0].passed);

  const auto bad = run_test(test_from(std::string(R"({"id":"t","dataset_ref":"d","fuzz":{"seed":1,"runs":2,)"
                                                  R"("perturbation":{"kind":"jitter","amount":-0.5}},"strategy":)") +
                                      kHoldStrategy + "}"),
                            data);
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error().to_string().rfind("bad spec: ", 0), 0u);
  EXPECT_NE(bad.error().to_string().find("-0.5"), std::string::npos);
}

}  // namespace
}  // namespace vsci
