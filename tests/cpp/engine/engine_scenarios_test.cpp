// Hand-computed backtests through run_backtest_json: each expectation below is
// worked out from the trading rules (fill prices, sizes, fees, pnl) in the
// test itself, in the order the rules state the arithmetic.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_test_support.h"

namespace vsci::testing {
namespace {

TEST(EngineScenarios, ConstantPriceWithoutTradesLeavesEverythingAtZero) {
  const auto doc = run_ok(request_json(spec_json(kNoIndicators, kNever, kNever, R"("sizing":{"type":"fixed_qty","qty":1})"),
                                       flat_bars({100, 100, 100, 100})));
  const auto& m = metrics_of(doc);
  for (const char* key : {"pnl", "return_pct", "sharpe", "sortino", "calmar", "max_drawdown", "win_rate",
                          "profit_factor", "fees_paid"}) {
    const json::Value& holder = std::string(key) == "fees_paid" ? doc : m;
    EXPECT_EQ(num_at(holder, key), 0.0) << key;
  }
  EXPECT_EQ(int_at(m, "num_trades"), 0);
  EXPECT_TRUE(trades_of(doc).empty());
  EXPECT_EQ(equity_of(doc), (std::vector<double>{10000, 10000, 10000, 10000}));
}

TEST(EngineScenarios, ConstantPriceRoundTripLosesOnlyItsFeesAndClosesOutAtTheEnd) {
  // Entry signal on bar 0, market fill at bar 1's open; never exits, so the
  // close-out at the last close books the trade with reason "end".
  const auto doc = run_ok(request_json(
      spec_json(kNoIndicators, kAlways, kNever,
                R"("sizing":{"type":"fixed_fraction","fraction":0.5},"costs":{"taker_bps":10})"),
      flat_bars({100, 100, 100, 100})));
  const double rate = 10.0 / 10000.0;
  const double q = std::fmin(100.0 * (0.5 * 10000.0 / 100.0), 10000.0) / 100.0;  // 50
  const double fee_in = 100.0 * q * rate;
  const double cash = 10000.0 - (100.0 * q + fee_in);
  const double e1 = cash + q * 100.0;
  const double fee_out = q * 100.0 * rate;
  EXPECT_EQ(q, 50.0);
  EXPECT_EQ(equity_of(doc), (std::vector<double>{10000, e1, e1, e1}));

  ASSERT_EQ(trades_of(doc).size(), 1u);
  const double pnl = q * (100.0 - 100.0) - fee_in - fee_out;
  expect_trade(trades_of(doc)[0], {2000, 4000, 100, 100, q, pnl, pnl / (q * 100.0) * 100.0, "end"});
  EXPECT_DOUBLE_EQ(num_at(doc, "fees_paid"), fee_in + fee_out);

  // The close-out fee comes after the last equity point: the metrics' pnl
  // does not include it.
  const auto& m = metrics_of(doc);
  EXPECT_DOUBLE_EQ(num_at(m, "pnl"), e1 - 10000.0);
  EXPECT_DOUBLE_EQ(num_at(m, "return_pct"), (e1 - 10000.0) / 10000.0 * 100.0);
  EXPECT_DOUBLE_EQ(num_at(m, "max_drawdown"), (10000.0 - e1) / 10000.0 * 100.0);
  EXPECT_DOUBLE_EQ(num_at(m, "calmar"), -1.0);
  EXPECT_EQ(num_at(m, "win_rate"), 0.0);
  EXPECT_EQ(num_at(m, "profit_factor"), 0.0);  // no gross profit over a positive gross loss
  const double r0 = e1 / 10000.0 - 1.0;
  const double mean = r0 / 3.0;
  const double sd = std::sqrt(((r0 - mean) * (r0 - mean) + 2.0 * mean * mean) / 3.0);
  EXPECT_DOUBLE_EQ(num_at(m, "sharpe"), mean / sd);
  EXPECT_DOUBLE_EQ(num_at(m, "sortino"), mean / std::sqrt(r0 * r0 / 3.0));
}

TEST(EngineScenarios, RoundTripAtTheCloseWithTakerFees) {
  const std::string rising = R"({"gt":[{"price":"close"},{"prev":[{"price":"close"},1]}]})";
  const std::string falling = R"({"lt":[{"price":"close"},{"prev":[{"price":"close"},1]}]})";
  const auto doc = run_ok(request_json(
      spec_json(kNoIndicators, rising, falling,
                R"("sizing":{"type":"fixed_qty","qty":10},"costs":{"taker_bps":10},"execution":{"fill_timing":"close"})"),
      flat_bars({100, 110, 121, 100})));
  const double rate = 0.001;
  const double fee_in = 110.0 * 10.0 * rate;
  const double cash = 10000.0 - (110.0 * 10.0 + fee_in);
  const double fee_out = rate * 10.0 * 100.0;
  // Bar 1's point is taken before its close fill; bar 3's, the last, after
  // its exit, as no later point would show it.
  EXPECT_EQ(equity_of(doc),
            (std::vector<double>{10000, 10000, cash + 10.0 * 121.0, cash + 10.0 * 100.0 - fee_out}));
  ASSERT_EQ(trades_of(doc).size(), 1u);
  const double pnl = 10.0 * (100.0 - 110.0) - fee_in - fee_out;
  expect_trade(trades_of(doc)[0], {2000, 4000, 110, 100, 10, pnl, pnl / (10.0 * 110.0) * 100.0, "signal"});
  EXPECT_DOUBLE_EQ(num_at(doc, "fees_paid"), fee_in + fee_out);
  EXPECT_EQ(num_at(metrics_of(doc), "profit_factor"), 0.0);
}

TEST(EngineScenarios, StopLossOnTheEntryBarAndOnAGap) {
  const std::string members = R"("sizing":{"type":"fixed_qty","qty":1},"risk":{"stop_loss_pct":5})";
  const double level = 100.0 * (1.0 - 5.0 / 100.0);
  {
    // Filled at bar 1's open, whose low already reaches the stop.
    const auto doc = run_ok(request_json(spec_json(kNoIndicators, close_eq(100), kNever, members),
                                         bars({{100, 100, 100, 100}, {100, 101, 90, 92}, {92, 92, 92, 92}})));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    const double exit = std::fmin(level, 100.0);
    expect_trade(trades_of(doc)[0], {2000, 2000, 100, exit, 1, exit - 100.0, (exit - 100.0) / 100.0 * 100.0, "stop_loss"});
    EXPECT_EQ(equity_of(doc), (std::vector<double>{10000, 10000 - 100 + exit, 10000 - 100 + exit}));
  }
  {
    // A low of 94 under an open of 96 exits at the level; a gap open of 90
    // exits at the open.
    for (const auto& [open, expected] : {std::pair{96.0, level}, std::pair{90.0, 90.0}}) {
      const auto doc = run_ok(request_json(spec_json(kNoIndicators, close_eq(100), kNever, members),
                                           bars({{100, 100, 100, 100}, {100, 101, 99, 100.5}, {open, 97, 88, 95}})));
      ASSERT_EQ(trades_of(doc).size(), 1u);
      expect_trade(trades_of(doc)[0],
                   {2000, 3000, 100, expected, 1, expected - 100.0, (expected - 100.0) / 100.0 * 100.0, "stop_loss"});
    }
  }
  {
    // Filled at the close of a bar whose low is below the level: first tested
    // on the next bar.
    const auto doc = run_ok(request_json(
        spec_json(kNoIndicators, close_eq(100), kNever,
                  members + R"(,"execution":{"fill_timing":"close"})"),
        bars({{100, 100, 80, 100}, {99, 99, 94, 96}})));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    expect_trade(trades_of(doc)[0], {1000, 2000, 100, level, 1, level - 100.0, (level - 100.0) / 100.0 * 100.0, "stop_loss"});
  }
  {
    // A bar reaching both the stop and the target exits at the stop.
    const auto doc = run_ok(request_json(
        spec_json(kNoIndicators, close_eq(100), kNever,
                  R"("sizing":{"type":"fixed_qty","qty":1},"risk":{"stop_loss_pct":5,"take_profit_pct":5})"),
        bars({{100, 100, 100, 100}, {100, 100, 100, 101}, {100, 110, 90, 100}})));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    EXPECT_EQ(str_at(trades_of(doc)[0], "reason"), "stop_loss");
  }
}

TEST(EngineScenarios, LiquidationAtMinusCashOverQty) {
  // A long of 2 at 100 from cash 100 with leverage 2 leaves cash -100, so the
  // account is worth nothing at 100 / 2 = 50.
  const auto doc = run_ok(request_json(
      spec_json(kNoIndicators, kAlways, kNever,
                R"("sizing":{"type":"fixed_qty","qty":2},"risk":{"max_leverage":2,"liquidation":true})"),
      bars({{100, 100, 100, 100}, {100, 100, 60, 80}, {70, 75, 49, 55}, {55, 56, 54, 55}}), R"("capital":100)"));
  ASSERT_EQ(trades_of(doc).size(), 1u);
  expect_trade(trades_of(doc)[0], {2000, 3000, 100, 50, 2, 2.0 * (50.0 - 100.0), -100.0 / 200.0 * 100.0, "liquidation"});
  // With no cash left, the later entry signals size to nothing.
  EXPECT_EQ(equity_of(doc), (std::vector<double>{100, -100 + 2 * 80, 0, 0}));
  const auto& m = metrics_of(doc);
  EXPECT_EQ(num_at(m, "pnl"), -100.0);
  EXPECT_EQ(num_at(m, "return_pct"), -100.0);
  EXPECT_EQ(num_at(m, "max_drawdown"), 100.0);
  EXPECT_EQ(num_at(m, "calmar"), -1.0);
  EXPECT_EQ(num_at(doc, "initial_capital"), 100.0);
}

TEST(EngineScenarios, ShortAfterLatencyWithTakeProfit) {
  const std::string members =
      R"("short_entry":)" + close_eq(100) +
      R"(,"sizing":{"type":"fixed_qty","qty":1},"costs":{"taker_bps":5},"risk":{"take_profit_pct":10},"execution":{"latency_bars":1})";
  const auto doc = run_ok(request_json(spec_json(kNoIndicators, kNever, kNever, members),
                                       bars({{100, 100, 100, 100},
                                             {101, 102, 99, 101},
                                             {102, 103, 101, 102},
                                             {95, 96, 90, 92},
                                             {93, 93, 93, 93}})));
  const double rate = 5.0 / 10000.0;
  // Signal on bar 0, one bar of latency, worked at bar 2's open.
  const double fee_in = 102.0 * 1.0 * rate;
  const double level = 102.0 * (1.0 - 10.0 / 100.0);
  const double exit = std::fmin(level, 95.0);
  const double fee_out = 1.0 * exit * rate;
  const double pnl = -1.0 * (exit - 102.0) - fee_in - fee_out;
  ASSERT_EQ(trades_of(doc).size(), 1u);
  expect_trade(trades_of(doc)[0], {3000, 4000, 102, exit, -1, pnl, pnl / 102.0 * 100.0, "take_profit"});
  const double cash = 10000.0 - (102.0 * -1.0 + fee_in);
  EXPECT_EQ(equity_of(doc),
            (std::vector<double>{10000, 10000, cash - 102.0, cash + (exit * -1.0 - fee_out), cash + (exit * -1.0 - fee_out)}));
  EXPECT_DOUBLE_EQ(num_at(doc, "fees_paid"), fee_in + fee_out);
}

TEST(EngineScenarios, LimitEntryFillsAtTheBetterOfOpenAndLimitWithTheMakerFee) {
  const std::string members =
      R"("sizing":{"type":"fixed_qty","qty":10},"costs":{"maker_bps":2,"taker_bps":5},"execution":{"order_type":"limit","limit_offset_pct":-2})";
  const double limit = 100.0 * (1.0 + -2.0 / 100.0);
  for (const auto& [open, low, fill] : {std::tuple{97.0, 96.0, 97.0}, std::tuple{99.0, 95.0, limit}}) {
    // Bar 1 stays above the limit, so the order waits and fills on bar 2.
    const auto doc = run_ok(request_json(
        spec_json(kNoIndicators, close_eq(100), kNever, members),
        bars({{100, 100, 100, 100}, {100, 100.5, 99, 99.5}, {open, 99, low, 97.5}, {99, 99, 99, 99}})));
    const double fee_in = fill * 10.0 * (2.0 / 10000.0);
    const double fee_out = 10.0 * 99.0 * (5.0 / 10000.0);
    const double pnl = 10.0 * (99.0 - fill) - fee_in - fee_out;
    ASSERT_EQ(trades_of(doc).size(), 1u);
    expect_trade(trades_of(doc)[0], {3000, 4000, fill, 99, 10, pnl, pnl / (10.0 * fill) * 100.0, "end"});
    EXPECT_DOUBLE_EQ(num_at(doc, "fees_paid"), fee_in + fee_out);
  }
}

TEST(EngineScenarios, StopAndStopLimitEntries) {
  const auto first_trade = [](const std::string& execution, std::vector<Bar> bs) {
    const auto doc = run_ok(request_json(
        spec_json(kNoIndicators, close_eq(100), kNever, R"("sizing":{"type":"fixed_qty","qty":1},"execution":)" + execution),
        bs));
    return trades_of(doc).empty() ? json::Value() : trades_of(doc)[0];
  };
  const double stop = 100.0 * (1.0 + 2.0 / 100.0);
  // A long stop waits for the high to reach S; a bar opening above S fills at the open.
  auto t = first_trade(R"({"order_type":"stop","stop_offset_pct":2})",
                       bars({{100, 100, 100, 100}, {100, 101, 99, 100.5}, {103, 104, 102, 103.5}}));
  EXPECT_EQ(num_at(t, "entry_price"), 103.0);
  EXPECT_EQ(int_at(t, "entry_time"), 3000);
  t = first_trade(R"({"order_type":"stop","stop_offset_pct":2})",
                  bars({{100, 100, 100, 100}, {101, 103, 100, 102.5}}));
  EXPECT_EQ(num_at(t, "entry_price"), stop);
  // Stop-limit: triggered when H >= S and W <= L, filled at min(max(O, S), L).
  const double limit = 100.0 * (1.0 + 3.0 / 100.0);
  t = first_trade(R"({"order_type":"stop_limit","stop_offset_pct":2,"limit_offset_pct":3})",
                  bars({{100, 100, 100, 100}, {104, 105, 103.5, 104}, {104, 106, 102, 103}}));
  EXPECT_EQ(int_at(t, "entry_time"), 3000);  // bar 1 never came down to L
  EXPECT_EQ(num_at(t, "entry_price"), std::fmin(std::fmax(104.0, stop), limit));
}

TEST(EngineScenarios, ExposureCapsTheSize) {
  const auto qty_of = [](const std::string& sizing_and_risk, const std::string& capital, double price) {
    const auto doc = run_ok(request_json(spec_json(kNoIndicators, kAlways, kNever, sizing_and_risk),
                                         flat_bars({price, price}), capital));
    return trades_of(doc).empty() ? -1.0 : num_at(trades_of(doc)[0], "qty");
  };
  // fraction 1 of 10000 at 50 is 200 units, but 25 % of cash is 2500: 50 units.
  EXPECT_DOUBLE_EQ(qty_of(R"("sizing":{"type":"fixed_fraction","fraction":1},"risk":{"max_position_pct":25})",
                          R"("capital":10000)", 50),
                   std::fmin(50.0 * (1.0 * 10000.0 / 50.0), std::fmin(10000.0, 10000.0 * 25.0 / 100.0)) / 50.0);
  // fixed 10 at 100 with 500 cash and no leverage: capped to 5.
  EXPECT_EQ(qty_of(R"("sizing":{"type":"fixed_qty","qty":10})", R"("capital":500)", 100), 5.0);
  // Leverage 3 raises the cap to 3000: 30 of the 100 wanted.
  EXPECT_EQ(qty_of(R"("sizing":{"type":"fixed_qty","qty":100},"risk":{"max_leverage":3})", R"("capital":1000)", 100),
            30.0);
  // fixed_cash 2500 at 50: 50 units, under the cap.
  EXPECT_EQ(qty_of(R"("sizing":{"type":"fixed_cash","cash":2500})", R"("capital":10000)", 50), 50.0);
  // risk_per_trade: (1 * 10000 / 100) / (50 * 2 / 100) = 100, under the cap of 200.
  EXPECT_DOUBLE_EQ(qty_of(R"("sizing":{"type":"risk_per_trade","risk_pct":1},"risk":{"stop_loss_pct":2})",
                          R"("capital":10000)", 50),
                   (1.0 * 10000.0 / 100.0) / (50.0 * 2.0 / 100.0));
}

TEST(EngineScenarios, PartialFillsFollowTheBarVolume) {
  // Bar 1 has no volume: the order is used up without a fill, and bar 1's
  // close signals again; bar 2's volume of 20 caps the size at 0.1 * 20.
  const auto doc = run_ok(request_json(
      spec_json(kNoIndicators, close_eq(100), kNever,
                R"("sizing":{"type":"fixed_qty","qty":10},"execution":{"partial_fills":true,"max_participation":0.1})"),
      bars({{100, 100, 100, 100, 0}, {100, 100, 100, 100, 0}, {101, 101, 101, 101, 20}})));
  ASSERT_EQ(trades_of(doc).size(), 1u);
  const double q = std::fmin(10.0, 0.1 * 20.0);
  expect_trade(trades_of(doc)[0], {3000, 3000, 101, 101, q, 0.0, 0.0, "end"});
}

TEST(EngineScenarios, CrossAboveEntryAndBarsSinceEntryExit) {
  // closes      10    10    10    9     12     13     11    10    10
  // sma2        -     10    10    9.5   10.5   12.5   12    10.5  10
  // sma3        -     -     10    9.67  10.33  11.33  12    11.33 10.33
  // Rules start at bar 3 (the larger warm-up); fast crosses above slow on
  // bar 4, so the position opens at bar 5's open and the exit signal comes
  // two bars later, on bar 7, filled at bar 8's open.
  const std::string indicators = R"({"fast":{"type":"Sma","params":[2]},"slow":{"type":"Sma","params":[3]}})";
  const auto doc = run_ok(request_json(
      spec_json(indicators, R"({"cross_above":["fast","slow"]})", R"({"bars_since_entry":{"ge":2}})",
                R"("sizing":{"type":"fixed_qty","qty":1})"),
      flat_bars({10, 10, 10, 9, 12, 13, 11, 10, 10})));
  ASSERT_EQ(trades_of(doc).size(), 1u);
  expect_trade(trades_of(doc)[0], {6000, 9000, 13, 10, 1, -3, -3.0 / 13.0 * 100.0, "signal"});
}

TEST(EngineScenarios, FixedBpsSlippageBothWays) {
  const double u = 50.0 / 10000.0;
  const auto bs = flat_bars({100, 105, 110, 108});
  {
    const auto doc = run_ok(request_json(
        spec_json(kNoIndicators, close_eq(100), close_eq(110),
                  R"("sizing":{"type":"fixed_qty","qty":1},"costs":{"slippage":{"type":"fixed_bps","bps":50}})"),
        bs));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    const double in = 105.0 * (1.0 + u);
    const double out = 108.0 * (1.0 - u);
    expect_trade(trades_of(doc)[0], {2000, 4000, in, out, 1, out - in, (out - in) / in * 100.0, "signal"});
  }
  {
    // Short: sells below on entry and buys back above on exit; `exit` decides
    // for a short without short_exit.
    const auto doc = run_ok(request_json(
        spec_json(kNoIndicators, kNever, close_eq(110),
                  R"("short_entry":)" + close_eq(100) +
                      R"(,"sizing":{"type":"fixed_qty","qty":1},"costs":{"slippage":["fixed_bps",50]})"),
        bs));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    const double in = 105.0 * (1.0 - u);
    const double out = 108.0 * (1.0 + u);
    expect_trade(trades_of(doc)[0], {2000, 4000, in, out, -1, -(out - in), -(out - in) / in * 100.0, "signal"});
  }
}

TEST(EngineScenarios, TrailingStopFollowsTheHighestHigh) {
  const std::string members = R"("sizing":{"type":"fixed_qty","qty":1},"risk":{"trailing_stop_pct":10})";
  {
    const auto doc = run_ok(request_json(
        spec_json(kNoIndicators, close_eq(100), kNever, members),
        bars({{100, 100, 100, 100}, {100, 110, 100, 108}, {108, 120, 109, 118}, {115, 116, 107, 110}})));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    const double exit = std::fmin(120.0 * (1.0 - 10.0 / 100.0), 115.0);
    expect_trade(trades_of(doc)[0], {2000, 4000, 100, exit, 1, exit - 100.0, exit - 100.0, "trailing_stop"});
  }
  {
    // The bar's own high moves the extreme before the test.
    const auto doc = run_ok(request_json(spec_json(kNoIndicators, close_eq(100), kNever, members),
                                         bars({{100, 100, 100, 100}, {100, 110, 100, 108}, {118, 130, 116, 117}})));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    const double exit = std::fmin(130.0 * (1.0 - 10.0 / 100.0), 118.0);
    expect_trade(trades_of(doc)[0], {2000, 3000, 100, exit, 1, exit - 100.0, exit - 100.0, "trailing_stop"});
  }
}

TEST(EngineScenarios, WarmupFromTheIndicatorsOrGivenExplicitly) {
  // An Sma of 3 warms up for 3 bars: the first evaluation is on bar 3 and the
  // fill at bar 4's open. An explicit warmup replaces it, larger or smaller.
  const auto entry_time = [](const std::string& warmup) {
    const auto doc = run_ok(request_json(
        spec_json(R"({"s":{"type":"Sma","params":[3]}})", kAlways, kNever,
                  R"("sizing":{"type":"fixed_qty","qty":1})" + warmup),
        flat_bars({100, 101, 102, 103, 104, 105, 106, 107})));
    return trades_of(doc).empty() ? -1 : int_at(trades_of(doc)[0], "entry_time");
  };
  EXPECT_EQ(entry_time(""), 5000);
  EXPECT_EQ(entry_time(R"(,"warmup":null)"), 5000);
  EXPECT_EQ(entry_time(R"(,"warmup":0)"), 2000);
  EXPECT_EQ(entry_time(R"(,"warmup":5)"), 7000);
  EXPECT_EQ(entry_time(R"(,"warmup":8)"), -1);
}

TEST(EngineScenarios, ExitAndEntryAreNeverBothActedOnInOneBar) {
  // Exit at the close on bar 1; the entry rule (always true) waits for bar 2.
  const auto doc = run_ok(request_json(
      spec_json(kNoIndicators, kAlways, kAlways,
                R"("sizing":{"type":"fixed_qty","qty":1},"execution":{"fill_timing":"close"})"),
      flat_bars({100, 101, 102, 103})));
  const auto& trades = trades_of(doc);
  ASSERT_EQ(trades.size(), 2u);
  expect_trade(trades[0], {1000, 2000, 100, 101, 1, 1, 1, "signal"});
  expect_trade(trades[1], {3000, 4000, 102, 103, 1, 1, 1.0 / 102.0 * 100.0, "signal"});
  EXPECT_EQ(num_at(metrics_of(doc), "win_rate"), 100.0);
  EXPECT_TRUE(metrics_of(doc).find("profit_factor")->is_null());  // all trades winning
}

TEST(EngineScenarios, APendingExitKeepsItsWaitAndAPendingEntryBlocksNewSignals) {
  // With latency 1 the exit signal of bar 2 is filled at bar 4's open; bar
  // 3's repeated signal leaves it as it is.
  const std::string exit = R"({"ge":[{"price":"close"},102]})";
  const auto doc = run_ok(request_json(
      spec_json(kNoIndicators, close_eq(100), exit,
                R"("sizing":{"type":"fixed_qty","qty":1},"execution":{"latency_bars":1})"),
      flat_bars({100, 100, 102, 103, 101, 99, 98})));
  ASSERT_EQ(trades_of(doc).size(), 1u);
  // Entry: signal on bar 0 (bar 1's signal is ignored while it waits), worked at bar 2.
  expect_trade(trades_of(doc)[0], {3000, 5000, 102, 101, 1, -1, -1.0 / 102.0 * 100.0, "signal"});
}

}  // namespace
}  // namespace vsci::testing
