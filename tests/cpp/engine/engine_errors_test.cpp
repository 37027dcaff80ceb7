// How a backtest fails past the request's own checks (those are in
// request_entry_test): the engine's indicator construction in name order, and
// the per-bar feed guards of a directly stepped engine.
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

TEST(EngineErrors, IndicatorConstructionFailuresComeFromTheFactoryUnchanged) {
  const auto bs = flat_bars({1, 2, 3});
  EXPECT_EQ(run_error(request_json(spec_with(R"({"x":{"type":"Sma","params":[1.5]}})"), bs)),
            "invalid parameters for indicator Sma: parameter #0 must be a positive integer, got 1.5");
  // Built in name order: the declaration whose name sorts first reports.
  EXPECT_EQ(run_error(request_json(
                spec_with(R"({"b":{"type":"Bar"},"a":{"type":"Ema","params":[0]},"c":{"type":"Sma","params":[3]}})"),
                bs)),
            "invalid parameters for indicator Ema: parameter #0 must be a positive integer, got 0");
  EXPECT_EQ(run_error(request_json(spec_with(R"({"b":{"type":"Bar"},"B":{"type":"Baz"}})"), bs)),
            "unknown indicator type: Baz");
  // Construction comes after the request's own checks, whose errors pass unchanged.
  EXPECT_EQ(run_error(request_json(spec_with(R"({"x":{"type":"Foo"}})"), {})), "invalid input data: no candles");
  EXPECT_EQ(run_error(" "), "invalid strategy spec: EOF while parsing a value at line 1 column 1");
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
