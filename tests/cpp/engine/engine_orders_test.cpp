// The trading rules the other scenario tests leave to one side: the short
// side of every entry trigger and protective exit; which bar first tests an
// entry filled inside its bar; the order in which a path through a bar meets
// the stop-loss, trailing stop, take-profit and liquidation, gaps included;
// slippage held at a limit entry's limit; how latency and an untriggered
// order wait, and a pending exit outlived by its position; and the sizing
// and slippage corners (no size, sizes too small to hold, skipped returns,
// the size behind volume impact, the midpoint of huge quotes). Bars are
// counted from 0: in a case whose first bar has time 1000, bar 1 is the one
// at time 2000. Expectations are worked out here from the rules, in the
// order they state the arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine_test_support.h"

namespace vsci::testing {
namespace {

json::Value run_members(const std::string& entry, const std::string& exit, const std::string& members,
                        const std::vector<Bar>& bs, const std::string& extra = "") {
  return run_ok(request_json(spec_json(kNoIndicators, entry, exit, members), bs, extra));
}

std::string short_members(const std::string& rest) {
  return R"("short_entry":)" + close_eq(100) + R"(,"sizing":{"type":"fixed_qty","qty":1})" + rest;
}

TEST(EngineOrders, ShortEntriesMirrorTheLongTriggers) {
  const auto entry_price = [](const std::string& execution, const std::vector<Bar>& bs) {
    const auto doc = run_members(kNever, kNever, short_members(R"(,"execution":)" + execution), bs);
    if (trades_of(doc).size() != 1) return std::pair<std::int64_t, double>{-1, -1.0};
    const auto& t = trades_of(doc)[0];
    EXPECT_EQ(num_at(t, "qty"), -1.0);
    return std::pair{int_at(t, "entry_time"), num_at(t, "entry_price")};
  };
  const Bar b0{1000, 100, 100, 100, 100, 0};
  // Limit L above the close: triggered when the high reaches L, filled at
  // the better (higher) of the open and L.
  const std::string limit = R"({"order_type":"limit","limit_offset_pct":2})";
  const double l = 100.0 * (1.0 + 2.0 / 100.0);
  EXPECT_EQ(entry_price(limit, {b0, {2000, 100, 101.5, 99, 100, 0}, {3000, 103, 104, 102.5, 103, 0}}),
            (std::pair<std::int64_t, double>{3000, std::fmax(103.0, l)}));
  EXPECT_EQ(entry_price(limit, {b0, {2000, 101, 102.5, 100, 101, 0}}),
            (std::pair<std::int64_t, double>{2000, std::fmax(101.0, l)}));
  // Stop S below the close: triggered when the low reaches S, filled at the
  // lower of the open and S.
  const std::string stop = R"({"order_type":"stop","stop_offset_pct":-2})";
  const double s = 100.0 * (1.0 + -2.0 / 100.0);
  EXPECT_EQ(entry_price(stop, {b0, {2000, 100, 101, 98.5, 99, 0}, {3000, 97, 98, 96, 97, 0}}),
            (std::pair<std::int64_t, double>{3000, std::fmin(97.0, s)}));
  EXPECT_EQ(entry_price(stop, {b0, {2000, 99, 99.5, 97.5, 98, 0}}),
            (std::pair<std::int64_t, double>{2000, std::fmin(99.0, s)}));
  // Stop-limit: the low must reach S and the high L; filled at
  // max(min(O, S), L).
  const std::string stop_limit = R"({"order_type":"stop_limit","stop_offset_pct":-2,"limit_offset_pct":-3})";
  const double sl_limit = 100.0 * (1.0 + -3.0 / 100.0);
  EXPECT_EQ(entry_price(stop_limit, {b0, {2000, 96, 96.5, 95, 96, 0}, {3000, 99, 99.5, 97.5, 98, 0}}),
            (std::pair<std::int64_t, double>{3000, std::fmax(std::fmin(99.0, s), sl_limit)}));
  EXPECT_EQ(entry_price(stop_limit, {b0, {2000, 96.5, 97.5, 95, 96, 0}}),
            (std::pair<std::int64_t, double>{2000, std::fmax(std::fmin(96.5, s), sl_limit)}));
}

TEST(EngineOrders, ShortProtectiveExitsTestTheHigh) {
  const auto only_trade = [](const std::string& risk, const std::vector<Bar>& bs, const std::string& capital = "") {
    const auto doc = run_members(kNever, kNever, short_members(R"(,"risk":)" + risk), bs, capital);
    EXPECT_EQ(trades_of(doc).size(), 1u);
    return trades_of(doc).empty() ? json::Value() : trades_of(doc)[0];
  };
  const Bar b0{1000, 100, 100, 100, 100, 0};
  // Sold at 100: the stop-loss sits above, at 105, and a gap open above it
  // exits at the open.
  const double level = 100.0 * (1.0 + 5.0 / 100.0);
  for (const auto& [open, high, exit] : {std::tuple{103.0, 106.0, std::fmax(level, 103.0)},
                                         std::tuple{108.0, 109.0, std::fmax(level, 108.0)}}) {
    const auto t = only_trade(R"({"stop_loss_pct":5})",
                              {b0, {2000, 100, 104, 99, 103, 0}, {3000, open, high, 102, 105, 0}});
    expect_trade(t, {2000, 3000, 100, exit, -1, -(exit - 100.0), -(exit - 100.0), "stop_loss"});
  }
  // The trailing stop follows the lowest low, the bar's own low included:
  // its level in force at bar 2's open (104.5) is not reached, the one the
  // low of 85 lowers it to (93.5) is, on the way back up from that low.
  const double trail = 85.0 * (1.0 + 10.0 / 100.0);
  expect_trade(only_trade(R"({"trailing_stop_pct":10})",
                          {b0, {2000, 100, 100, 95, 96, 0}, {3000, 96, 97, 85, 86, 0}}),
               {2000, 3000, 100, trail, -1, 100.0 - trail, 100.0 - trail, "trailing_stop"});
  // Two sold at 100 from cash 100 (leverage 2) leave cash 300: the account
  // is worth nothing at 300 / 2 = 150, which a high of 151 reaches.
  const auto doc = run_members(
      kNever, kNever,
      R"("short_entry":)" + close_eq(100) +
          R"(,"sizing":{"type":"fixed_qty","qty":2},"risk":{"max_leverage":2,"liquidation":true})",
      {b0, {2000, 100, 120, 95, 110, 0}, {3000, 140, 151, 139, 150, 0}}, R"("capital":100)");
  ASSERT_EQ(trades_of(doc).size(), 1u);
  const double cash = 100.0 - 100.0 * -2.0;
  const double lq = -cash / -2.0;
  expect_trade(trades_of(doc)[0], {2000, 3000, 100, lq, -2, -2.0 * (lq - 100.0), -2.0 * (lq - 100.0) / 200.0 * 100.0,
                                   "liquidation"});
  EXPECT_EQ(equity_of(doc), (std::vector<double>{100, cash + -2.0 * 110.0, cash + lq * -2.0}));
}

// An entry filled inside its bar (its price not the bar's open) came after
// the open and perhaps after the bar's high or low, so the protective exits
// first look at it on the next bar; one filled at the open after a gap is
// looked at on its own bar. Signal on bar 0 (close 100), order worked from
// bar 1 (time 2000); each case's exit is worked out from the levels.
TEST(EngineOrders, AnEntryFilledInsideItsBarIsFirstTestedOnTheNextBar) {
  struct Case {
    const char* what;
    bool short_side;
    std::string risk;
    std::string execution;  // the order, and costs where a case has them
    std::vector<Bar> bars;
    ExpectedTrade trade;
  };
  const Bar b0{1000, 100, 100, 100, 100, 1000};
  const std::string buy_one = R"("sizing":{"type":"fixed_qty","qty":1})";
  const auto trade = [](std::int64_t entry_time, std::int64_t exit_time, double entry, double exit, double qty,
                        const char* reason) {
    const double pnl = qty * (exit - entry);
    return ExpectedTrade{entry_time, exit_time, entry, exit, qty, pnl, pnl / (std::fabs(qty) * entry) * 100.0, reason};
  };
  const auto above = [](double price, double pct) { return price * (1.0 + pct / 100.0); };
  const auto below = [](double price, double pct) { return price * (1.0 - pct / 100.0); };
  const auto slipped = [](double price) { return price * (1.0 + 10.0 / 10000.0); };
  const std::string slippage = R"(},"costs":{"slippage":{"type":"fixed_bps","bps":10})";
  const std::string tp = R"({"take_profit_pct":0.5})";
  const std::string sl = R"({"stop_loss_pct":1})";
  const std::string limit_long = R"("order_type":"limit","limit_offset_pct":-1)";  // L = 99
  const std::string stop_long = R"("order_type":"stop","stop_offset_pct":1)";      // S = 101
  const std::string limit_short = R"("order_type":"limit","limit_offset_pct":1)";  // L = 101
  const std::string stop_short = R"("order_type":"stop","stop_offset_pct":-1)";    // S = 99
  // A long stop-limit buys at S = 101 up to L = 101.5, a short one sells at
  // S = 99 down to L = 98.5: opened beyond both, each fills at its limit,
  // inside the bar.
  const std::string stop_limit_long = R"("order_type":"stop_limit","stop_offset_pct":1,"limit_offset_pct":1.5)";
  const std::string stop_limit_short = R"("order_type":"stop_limit","stop_offset_pct":-1,"limit_offset_pct":-1.5)";
  const Bar long_next{3000, 99.2, 99.6, 99.0, 99.3, 1000};
  const Bar short_next{3000, 99.5, 100.2, 99, 99.8, 1000};
  const std::vector<Case> cases = {
      // The fill bar opened at 100, above the take-profit level 99.495 of a
      // fill at 99: that open came before the position existed.
      {"long limit inside", false, tp, limit_long, {b0, {2000, 100, 101.5, 98.5, 99.5, 1000}, long_next},
       trade(2000, 3000, 99, std::fmax(above(99, 0.5), 99.2), 1, "take_profit")},
      {"long limit at a gap open", false, tp, limit_long, {b0, {2000, 98.7, 100.2, 98.5, 99.5, 1000}, long_next},
       trade(2000, 2000, 98.7, std::fmax(above(98.7, 0.5), 98.7), 1, "take_profit")},
      // The trailing stop's best price starts at the fill, 101, and takes bar
      // 2's high, not the fill bar's 106 (which would put the level at 103.88).
      {"long stop inside, trailing", false, R"({"trailing_stop_pct":2})", stop_long,
       {b0, {2000, 100, 106, 99.5, 103, 1000}, {3000, 103, 104, 101.5, 102, 1000}},
       trade(2000, 3000, 101, std::fmin(below(std::fmax(101.0, 104.0), 2), 103.0), 1, "trailing_stop")},
      // Tested on its bar: the level in force at the open (99.96, from the
      // fill) is not reached; the one the high of 106 lifts it to is.
      {"long stop at a gap open, trailing", false, R"({"trailing_stop_pct":2})", stop_long,
       {b0, {2000, 102, 106, 101.5, 103, 1000}, {3000, 103, 104, 101.5, 102, 1000}},
       trade(2000, 2000, 102, below(106, 2), 1, "trailing_stop")},
      {"long stop-limit capped at its limit", false, sl, stop_limit_long,
       {b0, {2000, 102, 103, 100.4, 102, 1000}, {3000, 101, 101.2, 100.3, 101, 1000}},
       trade(2000, 3000, 101.5, std::fmin(below(101.5, 1), 101.0), 1, "stop_loss")},
      {"long stop-limit at the open", false, sl, stop_limit_long,
       {b0, {2000, 101.2, 103, 100, 102, 1000}, {3000, 101, 101.2, 100.3, 101, 1000}},
       trade(2000, 2000, 101.2, std::fmin(below(101.2, 1), 101.2), 1, "stop_loss")},
      {"short stop inside", true, sl, stop_short, {b0, {2000, 100, 100.5, 98, 98.5, 1000}, short_next},
       trade(2000, 3000, 99, std::fmax(above(99, 1), 99.5), -1, "stop_loss")},
      {"short stop at a gap open", true, sl, stop_short, {b0, {2000, 98.5, 100, 98, 98.5, 1000}, short_next},
       trade(2000, 2000, 98.5, std::fmax(above(98.5, 1), 98.5), -1, "stop_loss")},
      {"short limit inside", true, tp, limit_short,
       {b0, {2000, 100, 101.5, 99.5, 100.5, 1000}, {3000, 100.8, 101, 100.3, 100.6, 1000}},
       trade(2000, 3000, 101, std::fmin(below(101, 0.5), 100.8), -1, "take_profit")},
      {"short limit at a gap open", true, tp, limit_short,
       {b0, {2000, 101.2, 101.5, 99.5, 100.5, 1000}, {3000, 100.8, 101, 100.3, 100.6, 1000}},
       trade(2000, 2000, 101.2, std::fmin(below(101.2, 0.5), 101.2), -1, "take_profit")},
      {"short stop-limit capped at its limit", true, sl, stop_limit_short,
       {b0, {2000, 98, 99.6, 97.5, 98, 1000}, {3000, 99, 99.7, 98.8, 99, 1000}},
       trade(2000, 3000, 98.5, std::fmax(above(98.5, 1), 99.0), -1, "stop_loss")},
      {"short stop-limit at the open", true, sl, stop_limit_short,
       {b0, {2000, 98.8, 100, 97, 98, 1000}, {3000, 99, 99.7, 98.8, 99, 1000}},
       trade(2000, 2000, 98.8, std::fmax(above(98.8, 1), 98.8), -1, "stop_loss")},
      // Slippage moves the fill but not the test: the unslipped price was the
      // open, so the gap fill is tested on its bar; the inside one is not.
      // (Slipped past its limit, the inside fill is held at the limit.)
      {"long limit inside, slipped", false, tp, limit_long + slippage,
       {b0, {2000, 100, 101.5, 98.5, 99.5, 1000}, {3000, 99.2, 99.8, 99.0, 99.3, 1000}},
       trade(2000, 3000, 99, std::fmax(above(99, 0.5), 99.2), 1, "take_profit")},
      {"long limit at a gap open, slipped", false, tp, limit_long + slippage,
       {b0, {2000, 98.7, 100.2, 98.5, 99.5, 1000}, long_next},
       trade(2000, 2000, slipped(98.7), above(slipped(98.7), 0.5), 1, "take_profit")},
      // Worked a bar later and capped by participation to 0.5 of 1.
      {"long limit inside, latency and a partial fill", false, tp,
       limit_long + R"(,"latency_bars":1,"partial_fills":true,"max_participation":0.5)",
       {b0, {2000, 101, 101, 98, 100, 1}, {3000, 100, 101.5, 98.5, 99.5, 1}, {4000, 99.2, 99.6, 99.0, 99.3, 1}},
       trade(3000, 4000, 99, std::fmax(above(99, 0.5), 99.2), 0.5, "take_profit")},
  };
  for (const Case& c : cases) {
    const std::string members = R"(,"risk":)" + c.risk + R"(,"execution":{)" + c.execution + "}";
    const auto doc = c.short_side ? run_members(kNever, kNever, short_members(members), c.bars)
                                  : run_members(close_eq(100), kNever, buy_one + members, c.bars);
    ASSERT_EQ(trades_of(doc).size(), 1u) << c.what;
    SCOPED_TRACE(c.what);
    expect_trade(trades_of(doc)[0], c.trade);
  }

  // Liquidation too: two bought at 99 from cash 100 leave cash -98, so the
  // account is worth nothing at 49; the fill bar's low of 40 came before.
  const auto doc = run_members(
      close_eq(100), kNever,
      R"("sizing":{"type":"fixed_qty","qty":2},"risk":{"max_leverage":2,"liquidation":true},"execution":{)" +
          limit_long + "}",
      {b0, {2000, 100, 100, 40, 60, 0}, {3000, 60, 61, 48, 50, 0}}, R"("capital":100)");
  ASSERT_EQ(trades_of(doc).size(), 1u);
  const double lq = -(100.0 - 2.0 * 99.0) / 2.0;
  expect_trade(trades_of(doc)[0], {2000, 3000, 99, lq, 2, 2.0 * (lq - 99.0), 2.0 * (lq - 99.0) / 198.0 * 100.0,
                                   "liquidation"});
}

// The protective exits meet the bar's prices in the order a path through the
// bar would: a bar that opened beyond the liquidation price liquidates at
// that price before any stop or exit order fills at its open; else of the
// stops the bar opened beyond, the nearest, at the open; then a take-profit
// the bar opened beyond, at the open; otherwise the nearest stop in force at
// the open that the bar reaches (stop-loss, trailing stop, liquidation), the
// trailing stop at the level the bar's high (a short: low) lifted it to
// unless that high reached the take-profit; then the take-profit; then a
// trailing level only that high lifted. The bar's open counts in the
// trailing stop's level in force at the open. Bought (sold) one at bar 1's
// open of 100 unless a case says otherwise; every level is worked out from
// the case's numbers.
TEST(EngineOrders, ProtectiveExitsCloseAtTheFirstLevelAPathThroughTheBarMeets) {
  struct Case {
    const char* what;
    bool short_side;
    std::string members;  // risk, and the sizing or order where a case has them
    std::vector<Bar> bars;
    ExpectedTrade trade;
    std::string exit = kNever;
  };
  const Bar b0{1000, 100, 100, 100, 100, 0};
  const Bar quiet{2000, 100, 100.5, 99.5, 100, 0};  // the entry bar, reaching no level of any case
  const auto trade = [](std::int64_t exit_time, double entry, double exit, double qty, const char* reason,
                        std::int64_t entry_time = 2000) {
    const double pnl = qty * (exit - entry);
    return ExpectedTrade{entry_time, exit_time, entry, exit, qty, pnl, pnl / (std::fabs(qty) * entry) * 100.0, reason};
  };
  // 500 bought (sold) at 100 with 10,000 of cash at 5x: the account is worth
  // nothing at 80 (a short: at 120).
  const std::string five_x = R"("sizing":{"type":"fixed_qty","qty":500},"risk":{"max_leverage":5,"liquidation":true,)";
  const double long_lq = -(10000.0 - 500.0 * 100.0) / 500.0;
  const double short_lq = -(10000.0 + 500.0 * 100.0) / -500.0;
  const std::string one = R"("sizing":{"type":"fixed_qty","qty":1},"risk":)";
  const std::vector<Case> cases = {
      // In force at the open: 100 x 0.995 = 99.5, never reached; the high of
      // 101 lifts it to 100.495, which the low of 99.8 reaches after it.
      {"long trailing lifted by its bar's high", false, one + R"({"trailing_stop_pct":0.5})",
       {b0, {2000, 100, 101, 99.8, 100.5, 0}}, trade(2000, 100, 101 * (1 - 0.5 / 100), 1, "trailing_stop")},
      {"short trailing lowered by its bar's low", true, one + R"({"trailing_stop_pct":0.5})",
       {b0, {2000, 100, 100.2, 99, 99.5, 0}}, trade(2000, 100, 99 * (1 + 0.5 / 100), -1, "trailing_stop")},
      // The best price reaches 110 (short: 90), so the trailing stop stands at
      // 107.8 (91.8) beside the stop-loss at 95 (105); a bar through both
      // meets the trailing stop first.
      {"long trailing nearer than the stop-loss", false, one + R"({"stop_loss_pct":5,"trailing_stop_pct":2})",
       {b0, quiet, {3000, 109, 110, 108.5, 109, 0}, {4000, 108.5, 108.6, 94, 95, 0}},
       trade(4000, 100, 110 * (1 - 2.0 / 100), 1, "trailing_stop")},
      {"short trailing nearer than the stop-loss", true, one + R"({"stop_loss_pct":5,"trailing_stop_pct":2})",
       {b0, quiet, {3000, 91, 91.5, 90, 91, 0}, {4000, 91.5, 106, 91.4, 105, 0}},
       trade(4000, 100, 90 * (1 + 2.0 / 100), -1, "trailing_stop")},
      // A 30 % stop-loss lies beyond the liquidation price: the account is
      // worth nothing before the stop is reached.
      {"long liquidation before a farther stop", false, five_x + R"("stop_loss_pct":30})",
       {b0, quiet, {3000, 99, 99.5, 60, 65, 0}}, trade(3000, 100, long_lq, 500, "liquidation")},
      {"short liquidation before a farther stop", true, five_x + R"("stop_loss_pct":30})",
       {b0, quiet, {3000, 101, 140, 100.5, 135, 0}}, trade(3000, 100, short_lq, -500, "liquidation")},
      // Opened beyond the liquidation price, the account is worth nothing at
      // the open where a nearer 15 % stop-loss (85; a short: 115), a 10 %
      // trailing stop (90.45 from the entry bar's high) or an exit order due
      // there would fill: the liquidation closes first, at its price.
      {"long gapped stop and liquidation price", false, five_x + R"("stop_loss_pct":15})",
       {b0, quiet, {3000, 78, 79, 75, 76, 0}}, trade(3000, 100, long_lq, 500, "liquidation")},
      {"short gapped stop and liquidation price", true, five_x + R"("stop_loss_pct":15})",
       {b0, quiet, {3000, 122, 130, 121, 125, 0}}, trade(3000, 100, short_lq, -500, "liquidation")},
      {"long gapped trailing stop and liquidation price", false, five_x + R"("trailing_stop_pct":10})",
       {b0, quiet, {3000, 70, 71, 65, 68, 0}}, trade(3000, 100, long_lq, 500, "liquidation")},
      // The exit rule holds at bar 2's close (the 50 % take-profit is out of reach).
      {"long exit order due at an open beyond the liquidation price", false, five_x + R"("take_profit_pct":50})",
       {b0, quiet, {3000, 99.9, 100, 99.7, 99.8, 0}, {4000, 78, 79, 75, 76, 0}},
       trade(4000, 100, long_lq, 500, "liquidation"), close_eq(99.8)},
      // Opened between the stop-loss and the liquidation price, the account
      // is still worth 1,000 at the open: the stop closes there. Opened above
      // both, the fall meets the stop first.
      {"long gapped stop short of the liquidation price", false, five_x + R"("stop_loss_pct":15})",
       {b0, quiet, {3000, 82, 83, 75, 76, 0}}, trade(3000, 100, 82, 500, "stop_loss")},
      {"long stop met before the liquidation price", false, five_x + R"("stop_loss_pct":15})",
       {b0, quiet, {3000, 90, 91, 75, 76, 0}}, trade(3000, 100, 100 * (1 - 15.0 / 100), 500, "stop_loss")},
      // The liquidation and a 5 % take-profit on one bar: the liquidation.
      {"long liquidation before the take-profit", false, five_x + R"("take_profit_pct":5})",
       {b0, quiet, {3000, 99, 106, 75, 100, 0}}, trade(3000, 100, long_lq, 500, "liquidation")},
      {"short liquidation before the take-profit", true, five_x + R"("take_profit_pct":5})",
       {b0, quiet, {3000, 101, 125, 94, 100, 0}}, trade(3000, 100, short_lq, -500, "liquidation")},
      // A stop in force at the open and the take-profit on one bar: the stop.
      {"long stop before the take-profit", false, one + R"({"stop_loss_pct":2,"take_profit_pct":1})",
       {b0, quiet, {3000, 99, 102, 97, 101, 0}}, trade(3000, 100, 100 * (1 - 2.0 / 100), 1, "stop_loss")},
      {"short stop before the take-profit", true, one + R"({"stop_loss_pct":2,"take_profit_pct":1})",
       {b0, quiet, {3000, 101, 103, 98, 99, 0}}, trade(3000, 100, 100 * (1 + 2.0 / 100), -1, "stop_loss")},
      // Bar 2's open of 100.2 (short: 99.8) is the best price, its level in
      // force 99.699 (100.299) is not reached; the high of 101.5 (low of
      // 98.5) passes the 1 % take-profit before it lifts the trailing stop.
      {"long take-profit before a level its high lifted", false,
       one + R"({"take_profit_pct":1,"trailing_stop_pct":0.5})",
       {b0, {2000, 100, 100.1, 99.9, 100, 0}, {3000, 100.2, 101.5, 100.1, 100.3, 0}},
       trade(3000, 100, 100 * (1 + 1.0 / 100), 1, "take_profit")},
      {"short take-profit before a level its low lifted", true,
       one + R"({"take_profit_pct":1,"trailing_stop_pct":0.5})",
       {b0, {2000, 100, 100.1, 99.9, 100, 0}, {3000, 99.8, 99.9, 98.5, 99.7, 0}},
       trade(3000, 100, 100 * (1 - 1.0 / 100), -1, "take_profit")},
      // A 5 % take-profit the bar does not reach leaves the lifted level.
      {"long lifted level beside an unreached take-profit", false,
       one + R"({"take_profit_pct":5,"trailing_stop_pct":0.5})",
       {b0, {2000, 100, 101, 99.8, 100.5, 0}}, trade(2000, 100, 101 * (1 - 0.5 / 100), 1, "trailing_stop")},
      // Filled inside bar 1 at its limit 99 (short: 101): bar 2 opens inside
      // the level its open puts at 98.704 (101.304), and its high of 101 (low
      // of 99) lifts the level past its open, to 100.495 (99.495).
      {"long inside fill, next bar lifts the level past its open", false,
       one + R"({"trailing_stop_pct":0.5},"execution":{"order_type":"limit","limit_offset_pct":-1})",
       {b0, {2000, 100, 101.5, 98.5, 99.5, 0}, {3000, 99.2, 101, 99, 100, 0}},
       trade(3000, 99, 101 * (1 - 0.5 / 100), 1, "trailing_stop")},
      {"short inside fill, next bar lifts the level past its open", true,
       one + R"({"trailing_stop_pct":0.5},"execution":{"order_type":"limit","limit_offset_pct":1})",
       {b0, {2000, 100, 101.5, 99.5, 100.5, 0}, {3000, 100.8, 101, 99, 100, 0}},
       trade(3000, 101, 99 * (1 + 0.5 / 100), -1, "trailing_stop")},
      // A trailing level in force at the open that the bar opened beyond: at
      // the open (best 110 (90), level 107.8 (91.8)).
      {"long trailing gapped through", false, one + R"({"trailing_stop_pct":2})",
       {b0, quiet, {3000, 109, 110, 108.5, 109, 0}, {4000, 107, 107.5, 106, 107, 0}},
       trade(4000, 100, 107, 1, "trailing_stop")},
      {"short trailing gapped through", true, one + R"({"trailing_stop_pct":2})",
       {b0, quiet, {3000, 91, 91.5, 90, 91, 0}, {4000, 92, 93, 91.9, 92, 0}},
       trade(4000, 100, 92, -1, "trailing_stop")},
      // The high of 102 passes the 1 % take-profit: the path through it closes
      // there, so the trailing stop comes first only on the way down from the
      // open, at its level from 100, never above the target.
      {"long trailing before a take-profit its high passed", false,
       one + R"({"take_profit_pct":1,"trailing_stop_pct":0.5})", {b0, {2000, 100, 102, 99.4, 101, 0}},
       trade(2000, 100, 100 * (1 - 0.5 / 100), 1, "trailing_stop")},
      // Opened at 103, past the 2 % take-profit, before its low reaches the stop.
      {"long take-profit the bar opened beyond", false, one + R"({"stop_loss_pct":1,"take_profit_pct":2})",
       {b0, quiet, {3000, 103, 103.5, 98, 100, 0}}, trade(3000, 100, 103, 1, "take_profit")},
      // The open of 110 lifts the 5 % trailing stop to 104.5, which the fall
      // to 97 meets before the 2 % stop-loss at 98; the path through the high
      // meets it at 111 x 0.95.
      {"long trailing level lifted by the open", false, one + R"({"stop_loss_pct":2,"trailing_stop_pct":5})",
       {b0, {2000, 100, 100.4, 99.9, 100.2, 0}, {3000, 110, 111, 97, 100, 0}},
       trade(3000, 100, 111 * (1 - 5.0 / 100), 1, "trailing_stop")},
      // Opened at 65, beyond both the liquidation price 80 and the 30 %
      // stop-loss at 70: the account was worth nothing first.
      {"long gapped liquidation before a farther gapped stop", false, five_x + R"("stop_loss_pct":30})",
       {b0, quiet, {3000, 65, 66, 60, 62, 0}}, trade(3000, 100, long_lq, 500, "liquidation")},
      // Opened at 90, beyond the trailing stop at 107.8 and the 5 % stop-loss
      // at 95: the nearer, the trailing stop, at the open.
      {"long gapped trailing before a farther gapped stop", false,
       one + R"({"stop_loss_pct":5,"trailing_stop_pct":2})",
       {b0, quiet, {3000, 109, 110, 108.5, 109, 0}, {4000, 90, 91, 89, 90, 0}},
       trade(4000, 100, 90, 1, "trailing_stop")},
      // Equal percentages put both levels at 99 on the entry bar: the
      // stop-loss, first in the order equal levels close in.
      {"stop-loss before an equal trailing stop", false, one + R"({"stop_loss_pct":1,"trailing_stop_pct":1})",
       {b0, {2000, 100, 100, 98.5, 99, 0}}, trade(2000, 100, 100 * (1 - 1.0 / 100), 1, "stop_loss")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto doc = run_ok(request_json(one_side_spec(c.short_side, close_eq(100), c.exit, c.members), c.bars));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    expect_trade(trades_of(doc)[0], c.trade);
  }
}

// A liquidation leaves the account nothing but the fee it owes, exactly: with
// an entry rule that stays true, an emptied account finds nothing to size.
// Bought at 164.75 x 1.003 with five times the 10,000 of cash, the position
// is worth nothing near 132.2, which the bar opening at 164.75 x 0.7 passes.
TEST(EngineOrders, ALiquidationLeavesNothingButItsFee) {
  const double p = 164.75;
  std::vector<Bar> bs = {{1000, p, p, p, p, 1}, {2000, p * 1.003, p * 1.004, p * 0.999, p, 1}};
  for (std::int64_t t = 3000; t <= 6000; t += 1000) bs.push_back({t, p * 0.7, p * 0.71, p * 0.69, p * 0.7, 1});
  for (const double bps : {0.0, 10.0}) {
    SCOPED_TRACE("taker_bps " + num(bps));
    const auto doc = run_ok(request_json(
        one_side_spec(false, kAlways, kNever,
                      R"("sizing":{"type":"fixed_fraction","fraction":5},"risk":{"max_leverage":5,"liquidation":true},)"
                      R"("costs":{"taker_bps":)" + num(bps) + "}"),
        bs));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    const json::Value& t = trades_of(doc)[0];
    EXPECT_EQ(str_at(t, "reason"), "liquidation");
    EXPECT_EQ(num_at(metrics_of(doc), "num_trades"), 1.0);
    const double fee = std::fabs(num_at(t, "qty")) * num_at(t, "exit_price") * (bps / 10000.0);
    const std::vector<double> equity = equity_of(doc);
    ASSERT_EQ(equity.size(), bs.size());
    for (std::size_t i = 2; i < equity.size(); ++i) {
      EXPECT_EQ(equity[i], 0.0 - fee) << "bar " << i;
      EXPECT_EQ(std::signbit(equity[i]), bps > 0.0) << "bar " << i;
    }
  }
}

// Slippage worsens a limit or stop-limit entry's fill up to its limit price,
// never past it; the size is taken at the fill so held, and a limit entry
// still pays the maker fee. Signal on bar 0 (close 100), worked on bar 1.
TEST(EngineOrders, SlippageNeverFillsALimitPastItsLimit) {
  struct Case {
    const char* what;
    bool short_side;
    std::string execution;
    std::string slippage;
    Bar bar;
    double fill;
    double qty;  // 0: the fixed fraction's size at the fill
    bool maker;
  };
  const Bar b0{1000, 100, 100, 100, 100, 100};
  const std::string bps20 = R"({"type":"fixed_bps","bps":20})";
  const std::string bps50 = R"({"type":"fixed_bps","bps":50})";
  const std::string impact = R"({"type":"volume_impact","coef":0.1})";
  const std::string partial = R"(,"partial_fills":true,"max_participation":0.2)";
  const std::string limit_long = R"("order_type":"limit","limit_offset_pct":-1)";  // L = 99
  const std::string limit_short = R"("order_type":"limit","limit_offset_pct":1)";  // L = 101
  // S = 101 and L = 101.5 (long); S = 99 and L = 98.5 (short).
  const std::string stop_limit_long = R"("order_type":"stop_limit","stop_offset_pct":1,"limit_offset_pct":1.5)";
  const std::string stop_limit_short = R"("order_type":"stop_limit","stop_offset_pct":-1,"limit_offset_pct":-1.5)";
  const std::vector<Case> cases = {
      // 99 x 1.002 = 99.198 is past the limit 99; 101 x 0.998 = 100.798 below 101.
      {"long limit at its limit", false, limit_long, bps20, {2000, 100, 101, 98.5, 99.5, 100}, 99, 0, true},
      {"short limit at its limit", true, limit_short, bps20, {2000, 100, 101.5, 99.5, 100.5, 100}, 101, 0, true},
      // Filled at an open 98 below the limit: 98 x 1.002 = 98.196 stays below it.
      {"long limit below its limit", false, limit_long, bps20, {2000, 98, 99, 97.5, 98.5, 100}, 98 * 1.002, 0, true},
      {"long stop-limit at its limit", false, stop_limit_long, bps50, {2000, 102, 103, 101, 102, 100}, 101.5, 0,
       false},
      {"short stop-limit at its limit", true, stop_limit_short, bps50, {2000, 98, 99, 97, 98, 100}, 98.5, 0, false},
      // At the stop 101, 101 x 1.005 = 101.505 is past the limit 101.5.
      {"long stop-limit at its stop", false, stop_limit_long, bps50, {2000, 100, 102, 99.5, 101, 100}, 101.5, 0,
       false},
      // Volume impact: 0.1 x 50.5 / 100 of the price; participation caps the
      // size at 0.2 x 100 = 20.
      {"long limit, impact and a partial fill", false, limit_long + partial, impact,
       {2000, 100, 101, 98.5, 99.5, 100}, 99, 20, true},
      {"short limit, impact and a partial fill", true, limit_short + partial, impact,
       {2000, 100, 101.5, 99.5, 100.5, 100}, 101, 20, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string members = R"("sizing":{"type":"fixed_fraction","fraction":0.5},"costs":{"maker_bps":10,)"
                                R"("taker_bps":20,"slippage":)" + c.slippage + R"(},"execution":{)" + c.execution + "}";
    const auto doc = run_ok(request_json(one_side_spec(c.short_side, close_eq(100), kNever, members), {b0, c.bar}));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    const auto& t = trades_of(doc)[0];
    const double q = c.qty > 0.0 ? c.qty : std::fmin(c.fill * (0.5 * 10000.0 / c.fill), 10000.0) / c.fill;
    EXPECT_DOUBLE_EQ(num_at(t, "entry_price"), c.fill);
    EXPECT_DOUBLE_EQ(num_at(t, "qty"), c.short_side ? -q : q);
    // The entry's fee at its rate, and the close-out's at the taker rate.
    const double close_fee = q * c.bar.close * 0.002;
    EXPECT_NEAR(num_at(doc, "fees_paid"), c.fill * q * (c.maker ? 0.001 : 0.002) + close_fee, 1e-9);
  }
}

TEST(EngineOrders, LatencyIsWaitedOnceAndAPendingExitOutlivesItsPosition) {
  const std::string qty1 = R"("sizing":{"type":"fixed_qty","qty":1})";
  // An exit rule true on every bar sends its order once: signalled at bar
  // 2's close (the entry's fill bar, a bar late), filled at bar 4's open.
  for (const bool short_side : {false, true}) {
    const auto doc = run_ok(request_json(
        one_side_spec(short_side, close_eq(100), kAlways, qty1 + R"(,"execution":{"latency_bars":1})"),
        flat_bars({100, 101, 102, 103, 104, 105})));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    const double q = short_side ? -1.0 : 1.0;
    expect_trade(trades_of(doc)[0], {3000, 5000, 102, 104, q, q * 2.0, q * 2.0 / 102.0 * 100.0, "signal"});
  }
  // Placed on bar 0 with two bars of latency: first worked on bar 3.
  auto doc = run_members(close_eq(100), kNever, qty1 + R"(,"execution":{"latency_bars":2})",
                         flat_bars({100, 101, 102, 103, 104}));
  ASSERT_EQ(trades_of(doc).size(), 1u);
  EXPECT_EQ(int_at(trades_of(doc)[0], "entry_time"), 4000);
  EXPECT_EQ(num_at(trades_of(doc)[0], "entry_price"), 103.0);

  // A limit at 98 with one bar of latency: bar 1 would fill it but is
  // waited out; bar 2 does not reach it; from then on every bar is tried
  // without waiting again, and bar 3 fills it.
  doc = run_members(close_eq(100), kNever,
                    qty1 + R"(,"execution":{"order_type":"limit","limit_offset_pct":-2,"latency_bars":1})",
                    bars({{100, 100, 100, 100}, {97, 97, 96, 97}, {99, 100, 98.5, 99}, {99, 99, 97, 98}}));
  ASSERT_EQ(trades_of(doc).size(), 1u);
  EXPECT_EQ(int_at(trades_of(doc)[0], "entry_time"), 4000);
  EXPECT_EQ(num_at(trades_of(doc)[0], "entry_price"), std::fmin(99.0, 100.0 * (1.0 + -2.0 / 100.0)));

  // Bought at bar 2's open; bar 2's exit signal waits a bar, and meanwhile
  // bar 3's stop-loss closes the position. The waiting exit still blocks
  // bar 3's entry signal, does nothing on bar 4 and is gone, so bar 4's
  // signal is the one filled, at bar 6's open.
  doc = run_members(close_eq(100), R"({"ge":[{"price":"close"},101]})",
                    qty1 + R"(,"risk":{"stop_loss_pct":5},"execution":{"latency_bars":1})",
                    bars({{100, 100, 100, 100},
                          {100, 100, 100, 100},
                          {100, 101, 100, 101},
                          {100, 100, 94, 100},
                          {100, 100, 100, 100},
                          {100, 100, 100, 100},
                          {102, 102, 102, 102}}));
  const auto& trades = trades_of(doc);
  ASSERT_EQ(trades.size(), 2u);
  const double stop = std::fmin(100.0 * (1.0 - 5.0 / 100.0), 100.0);
  expect_trade(trades[0], {3000, 4000, 100, stop, 1, stop - 100.0, stop - 100.0, "stop_loss"});
  expect_trade(trades[1], {7000, 7000, 102, 102, 1, 0, 0, "end"});
}

TEST(EngineOrders, SizingAndSlippageCorners) {
  const auto first_trade = [](const std::string& members, const std::vector<Bar>& bs, const std::string& entry,
                              const std::string& extra = "") {
    const auto doc = run_members(entry, kNever, members, bs, extra);
    return trades_of(doc).empty() ? json::Value() : trades_of(doc)[0];
  };
  const auto bs = flat_bars({100, 100, 100});
  // risk_per_trade with a stop-loss that is not above 0: no size, no trade.
  for (const char* stop : {"0", "-1"}) {
    EXPECT_TRUE(first_trade(R"("sizing":{"type":"risk_per_trade","risk_pct":1},"risk":{"stop_loss_pct":)" +
                                std::string(stop) + "}",
                            bs, kAlways)
                    .is_null())
        << stop;
  }

  // A size at or below 2^-52 is no position and so no entry: nothing is
  // paid and the order is used up. Just above it, a trade.
  {
    const std::string fees = R"(,"costs":{"taker_bps":10})";
    const auto run = [&](const std::string& sizing, const std::vector<Bar>& market) {
      return run_members(kAlways, kAlways, sizing + fees, market);
    };
    const auto quiet = flat_bars({100, 101, 102, 103});
    for (const char* qty : {"2e-16", "2.220446049250313e-16"}) {
      SCOPED_TRACE(qty);
      const auto doc = run(R"("sizing":{"type":"fixed_qty","qty":)" + std::string(qty) + "}", quiet);
      EXPECT_TRUE(trades_of(doc).empty());
      EXPECT_EQ(num_at(doc, "fees_paid"), 0.0);
      EXPECT_EQ(equity_of(doc), (std::vector<double>(4, 10000.0)));
    }
    EXPECT_EQ(trades_of(run(R"("sizing":{"type":"fixed_qty","qty":3e-16})", quiet)).size(), 2u);
    // 10,000 of cash buys 1e-296 at prices near 1e300.
    const auto doc = run(R"("sizing":{"type":"fixed_fraction","fraction":1})", flat_bars({1e300, 2e300, 1.5e300}));
    EXPECT_TRUE(trades_of(doc).empty());
    EXPECT_EQ(equity_of(doc), (std::vector<double>(3, 10000.0)));
    EXPECT_EQ(num_at(metrics_of(doc), "pnl"), 0.0);
  }

  // vol_target: the pair that starts at a zero close gives no return; the
  // other two (100 -> 110 -> 99) make the volatility.
  {
    const double r1 = 110.0 / 100.0 - 1.0;
    const double r2 = 99.0 / 110.0 - 1.0;
    const double mean = (r1 + r2) / 2.0;
    const double vol = std::sqrt(((r1 - mean) * (r1 - mean) + (r2 - mean) * (r2 - mean)) / 2.0);
    const double f = 98.0;
    const double raw = 0.01 * 10000.0 / vol / f;
    const auto t = first_trade(R"("sizing":{"type":"vol_target","target_vol":0.01,"lookback":4})",
                               flat_bars({0, 100, 110, 99, 98}), close_eq(99));
    EXPECT_DOUBLE_EQ(num_at(t, "qty"), std::fmin(f * raw, 10000.0) / f);
  }

  // volume_impact prices the slippage on the size wanted at the open (50),
  // then sizes again at the slipped price.
  {
    const double q0 = std::fmin(100.0 * (0.5 * 10000.0 / 100.0), 10000.0) / 100.0;
    const double fill = 100.0 * (1.0 + 0.1 * q0 / 1000.0);
    const double q = std::fmin(fill * (0.5 * 10000.0 / fill), 10000.0) / fill;
    const auto t = first_trade(
        R"("sizing":{"type":"fixed_fraction","fraction":0.5},"costs":{"slippage":{"type":"volume_impact","coef":0.1}})",
        flat_bars({100, 100}, 1000), close_eq(100));
    EXPECT_EQ(num_at(t, "entry_price"), fill);
    EXPECT_DOUBLE_EQ(num_at(t, "qty"), q);
  }

  // Quotes so large that their sum overflows still have a finite midpoint:
  // bid 1e308 and ask 1.2e308 give u = 0.1e308 / 1.1e308.
  {
    const std::string book = R"({"bids":[[1e308,1]],"asks":[[1.2e308,1]]})";
    const double u = (1.2e308 - 1e308) / 2.0 / (1e308 / 2.0 + 1.2e308 / 2.0);
    const auto t = first_trade(R"("sizing":{"type":"fixed_qty","qty":1},"costs":{"slippage":{"type":"spread"}})",
                               flat_bars({100, 100}), close_eq(100), "\"books\":[" + book + "," + book + "]");
    EXPECT_EQ(num_at(t, "entry_price"), 100.0 * (1.0 + u));
    EXPECT_GT(u, 0.09);
  }
}

}  // namespace
}  // namespace vsci::testing
