// The result document's exact text: member order, integers against floats,
// null for non-finite metrics, escaping, and one whole document written out
// by hand.
#include <gtest/gtest.h>

#include <limits>

#include "engine/result.h"
#include "engine_test_support.h"

namespace vsci::testing {
namespace {

TEST(EngineResultDocument, OneBarRunWrittenOutInFull) {
  const std::vector<Bar> one{{-5000, 100, 100, 100, 100, 0}};
  auto r = run_backtest_json(request_json(spec_json("{}", kNever, kNever, R"("sizing":{"type":"fixed_qty","qty":1})"), one));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value(),
            R"({"schema_version":1,"symbol":"BTCUSDT","timeframe":"1h","metrics":{"pnl":0.0,"return_pct":0.0,)"
            R"("sharpe":0.0,"sortino":0.0,"calmar":0.0,"max_drawdown":0.0,"win_rate":0.0,"profit_factor":0.0,)"
            R"("num_trades":0},"trades":[],"equity":[{"time":-5000,"equity":10000.0}],"fees_paid":0.0,)"
            R"("initial_capital":10000.0})");
}

TEST(EngineResultDocument, TradesAndInfiniteMetrics) {
  // Bought at 100 (bar 1's open) with 2.5 units, closed out at 104: all
  // winning and never down, so calmar and profit_factor are null.
  auto r = run_backtest_json(
      request_json(spec_json("{}", close_eq(100), kNever, R"("sizing":{"type":"fixed_qty","qty":2.5})"),
                   flat_bars({100, 100, 104}), R"("capital":1000)"));
  ASSERT_TRUE(r.ok());
  const std::string& text = r.value();
  EXPECT_NE(text.find(R"("calmar":null)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("profit_factor":null,"num_trades":1})"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("trades":[{"entry_time":2000,"exit_time":3000,"entry_price":100.0,"exit_price":104.0,)"
                      R"("qty":2.5,"pnl":10.0,"return_pct":4.0,"reason":"end"}])"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(R"("equity":[{"time":1000,"equity":1000.0},{"time":2000,"equity":1000.0},)"
                      R"({"time":3000,"equity":1010.0}],"fees_paid":0.0,"initial_capital":1000.0})"),
            std::string::npos)
      << text;
}

TEST(EngineResultDocument, WriterEscapesAndFloatForms) {
  BacktestResult result;
  result.symbol = "A\"B\nC\x1f/";
  result.timeframe = "\t";
  result.metrics.sharpe = std::numeric_limits<double>::quiet_NaN();
  result.metrics.sortino = -0.0;
  result.metrics.pnl = 1e16;
  result.metrics.return_pct = 0.000001;
  result.metrics.num_trades = 18446744073709551615ULL;
  result.fees_paid = 1.5e-7;
  result.initial_capital = 1e15;
  result.equity.push_back({std::numeric_limits<std::int64_t>::min(), -2.5e300});
  const std::string text = write_result(result);
  EXPECT_EQ(text.rfind(R"({"schema_version":1,"symbol":"A\"B\nC\u001f/","timeframe":"\t",)", 0), 0u) << text;
  EXPECT_NE(text.find(R"("pnl":1e+16,"return_pct":1e-6,"sharpe":null,"sortino":-0.0,)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("num_trades":18446744073709551615})"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("equity":[{"time":-9223372036854775808,"equity":-2.5e+300}])"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("fees_paid":1.5e-7,"initial_capital":1000000000000000.0})"), std::string::npos) << text;

  for (const auto& [reason, name] : {std::pair{ExitReason::Signal, "signal"}, std::pair{ExitReason::StopLoss, "stop_loss"},
                                     std::pair{ExitReason::TrailingStop, "trailing_stop"},
                                     std::pair{ExitReason::TakeProfit, "take_profit"},
                                     std::pair{ExitReason::Liquidation, "liquidation"}, std::pair{ExitReason::End, "end"}}) {
    EXPECT_EQ(exit_reason_text(reason), name);
  }
}

}  // namespace
}  // namespace vsci::testing
