// Every way a backtest fails, through run_backtest_json: the entry's checks in
// their order, the engine's indicator construction in name order, validation,
// and the per-bar feed guards of a directly stepped engine.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/request.h"
#include "engine_test_support.h"

namespace vsci::testing {
namespace {

const std::string kSizing = R"("sizing":{"type":"fixed_qty","qty":1})";
const std::string kSpreadNeedsBooks =
    "costs.slippage spread needs an order-book feed; without one every fill" + std::string(14, ' ') +
    "would be priced at zero slippage";
const std::string kFundingNeedsDerivs =
    "costs.funding needs a derivatives feed; without one no funding would be" + std::string(14, ' ') +
    "charged at all";

std::string spec_with(const std::string& indicators, const std::string& members = kSizing) {
  return spec_json(indicators, kAlways, kNever, members);
}

TEST(EngineErrors, EntryChecksInOrder) {
  const auto five = flat_bars({1, 2, 3, 4, 5});
  EXPECT_EQ(kSpreadNeedsBooks.size(), 116u);
  EXPECT_EQ(kFundingNeedsDerivs.size(), 99u);

  EXPECT_EQ(run_error(""), "invalid strategy spec: EOF while parsing a value at line 1 column 0");
  EXPECT_EQ(run_error("   "), "invalid strategy spec: EOF while parsing a value at line 1 column 3");
  EXPECT_EQ(run_error(request_json(spec_with("{}"), {})), "invalid input data: no candles");
  // The cost-feed guards come before "no candles".
  EXPECT_EQ(run_error(request_json(spec_with("{}", kSizing + R"(,"costs":{"slippage":{"type":"spread"}})"), {})),
            "invalid strategy spec: " + kSpreadNeedsBooks);
  EXPECT_EQ(run_error(request_json(spec_with("{}", kSizing + R"(,"costs":{"funding":true})"), {})),
            "invalid strategy spec: " + kFundingNeedsDerivs);
  // Validation comes before the guards.
  EXPECT_EQ(run_error(request_json(spec_json("{}", R"({"gt":["rsi",70]})", kNever,
                                             kSizing + R"(,"costs":{"slippage":{"type":"spread"}})"),
                                   {})),
            "rule references undeclared indicator: rsi");

  EXPECT_EQ(run_error(request_json(spec_with("{}"), five, R"("books":[])")),
            "invalid input data: books feed length 0 does not match 5 candles");
  EXPECT_EQ(run_error(request_json(spec_with("{}"), five, R"("books":[],"reference":[])")),
            "invalid input data: reference feed length 0 does not match 5 candles");
  EXPECT_EQ(run_error(request_json(spec_with("{}"), five, R"("trades":[[],[],[],[]])")),
            "invalid input data: trades feed length 4 does not match 5 candles");
  // A feed written null is no feed.
  EXPECT_EQ(run_error(request_json(spec_with("{}"), five, R"("derivs":null,"books":null)")), "<succeeded>");
}

TEST(EngineErrors, IndicatorConstructionFailuresComeFromTheFactoryUnchanged) {
  const auto bs = flat_bars({1, 2, 3});
  EXPECT_EQ(run_error(request_json(spec_with(R"({"x":{"type":"Foo","params":[3]}})"), bs)),
            "unknown indicator type: Foo");
  EXPECT_EQ(run_error(request_json(spec_with(R"({"x":{"type":""}})"), bs)), "unknown indicator type: ");
  EXPECT_EQ(run_error(request_json(spec_with(R"({"x":{"type":"Sma"}})"), bs)),
            "invalid parameters for indicator Sma: missing parameter #0");
  EXPECT_EQ(run_error(request_json(spec_with(R"({"x":{"type":"Sma","params":[1.5]}})"), bs)),
            "invalid parameters for indicator Sma: parameter #0 must be a positive integer, got 1.5");
  EXPECT_EQ(run_error(request_json(spec_with(R"({"x":{"type":"Sma","params":[16777217]}})"), bs)),
            "invalid parameters for indicator Sma: invalid period: period exceeds the maximum supported window "
            "length (see MAX_PERIOD)");
  // Built in name order: the declaration whose name sorts first reports.
  EXPECT_EQ(run_error(request_json(
                spec_with(R"({"b":{"type":"Bar"},"a":{"type":"Ema","params":[0]},"c":{"type":"Sma","params":[3]}})"),
                bs)),
            "invalid parameters for indicator Ema: parameter #0 must be a positive integer, got 0");
  EXPECT_EQ(run_error(request_json(spec_with(R"({"b":{"type":"Bar"},"B":{"type":"Baz"}})"), bs)),
            "unknown indicator type: Baz");
  // Construction comes after the entry checks.
  EXPECT_EQ(run_error(request_json(spec_with(R"({"x":{"type":"Foo"}})"), {})), "invalid input data: no candles");
}

TEST(EngineErrors, ValidationFailuresComeBackWithTheirTexts) {
  const auto bs = flat_bars({1, 2, 3});
  const auto err = [&](const std::string& spec) { return run_error(request_json(spec, bs)); };
  EXPECT_EQ(err(spec_json(R"({"bb":{"type":"Sma","params":[2]}})", R"({"gt":["bb.upper",1]})",
                          R"({"lt":["rsi.x",1]})", kSizing)),
            "rule references undeclared indicator: rsi.x");
  EXPECT_EQ(err(spec_json("{}", kAlways, kNever, kSizing + R"(,"spec_version":2)")),
            "invalid strategy spec: spec_version 2 is not supported; this build reads 1..=1");
  EXPECT_EQ(err(spec_json("{}", kAlways, kNever, R"("sizing":{"type":"risk_per_trade","risk_pct":1})")),
            "invalid strategy spec: sizing risk_per_trade requires risk.stop_loss_pct: the position size is" +
                std::string(18, ' ') + "derived from the distance to the stop");
  EXPECT_EQ(err(spec_with(R"({"x":{"type":"Sma","params":[2],"feed":"trade"}})")),
            "invalid strategy spec: indicator 'x' (Sma) declares feed Trade but consumes Kline");
  EXPECT_EQ(err(spec_json("{}", kAlways, kNever, kSizing + R"(,"execution":{"order_type":"limit"})")),
            "invalid strategy spec: limit order_type requires execution.limit_offset_pct");
  EXPECT_EQ(err(spec_json("{}", kAlways, kNever, kSizing + R"(,"execution":{"partial_fills":true})")),
            "invalid strategy spec: partial_fills requires execution.max_participation");
  EXPECT_EQ(err(spec_json("{}", kAlways, kNever, kSizing + R"(,"execution":{"fill_timing":"close","latency_bars":1})")),
            "invalid strategy spec: fill_timing close is incompatible with latency_bars");
}

TEST(EngineErrors, PerBarFeedGuardsOfADirectlySteppedEngine) {
  // Driven by the entry these cannot fire; a caller stepping an engine itself
  // gets the same texts, spread first.
  auto read = read_run_request(request_json(
      spec_with("{}", kSizing + R"(,"costs":{"slippage":{"type":"spread"},"funding":true})"), flat_bars({1})));
  ASSERT_TRUE(read.ok()) << read.error().to_string();
  auto engine = Engine::create(read.value().spec, 10000.0, 1);
  ASSERT_TRUE(engine.ok());
  Candle c{1000, 1, 1, 1, 1, 0};
  BarFeeds feeds;
  auto stepped = engine.value().step(c, feeds);
  ASSERT_FALSE(stepped.ok());
  EXPECT_EQ(stepped.error().to_string(), "invalid strategy spec: " + kSpreadNeedsBooks);

  OrderBook book{{{0.5, 1}}, {{1.5, 1}}};
  feeds.book = &book;
  stepped = engine.value().step(c, feeds);
  ASSERT_FALSE(stepped.ok());
  EXPECT_EQ(stepped.error().to_string(), "invalid strategy spec: " + kFundingNeedsDerivs);

  // A failed guard changes nothing: the engine still has no bar.
  const BacktestResult result = engine.value().finish();
  EXPECT_TRUE(result.equity.empty());
  EXPECT_EQ(result.metrics.pnl, 0.0);
}

}  // namespace
}  // namespace vsci::testing
