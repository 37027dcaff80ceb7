// Side feeds: the per-bar record checks with each of their texts, records
// left out of their bar without stopping the run, spread slippage priced from
// the bar's book, funding from the bar's derivatives tick, and the sizing and
// slippage models that read the history window or the bar's volume.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/engine.h"
#include "engine/feed_checks.h"
#include "engine/request.h"
#include "engine_test_support.h"

namespace vsci::testing {
namespace {

std::string text_of(const std::optional<IndicatorError>& e) { return e ? e->to_string() : "<passed>"; }

TEST(EngineFeedChecks, DerivativesTickTexts) {
  const DerivativesTick good{0.0001, 100, 100, 100, 5, 1, 1, 2, 2, 0, 0, 0};
  EXPECT_EQ(text_of(check_derivatives_tick(good)), "<passed>");
  DerivativesTick t = good;
  t.funding_rate = std::nan("");
  EXPECT_EQ(text_of(check_derivatives_tick(t)), "invalid derivatives tick: funding_rate must be finite");
  const std::string prices = "invalid derivatives tick: mark_price, index_price and futures_price must be finite and positive";
  for (double DerivativesTick::*field : {&DerivativesTick::mark_price, &DerivativesTick::index_price,
                                         &DerivativesTick::futures_price}) {
    for (double bad : {0.0, -1.0, HUGE_VAL}) {
      t = good;
      t.*field = bad;
      EXPECT_EQ(text_of(check_derivatives_tick(t)), prices);
    }
  }
  const std::string amounts =
      "invalid derivatives tick: open interest, sizes, volumes and liquidations must be finite and non-negative";
  for (double DerivativesTick::*field :
       {&DerivativesTick::open_interest, &DerivativesTick::long_size, &DerivativesTick::short_size,
        &DerivativesTick::taker_buy_volume, &DerivativesTick::taker_sell_volume, &DerivativesTick::long_liquidation,
        &DerivativesTick::short_liquidation}) {
    t = good;
    t.*field = -0.5;
    EXPECT_EQ(text_of(check_derivatives_tick(t)), amounts);
    t.*field = -0.0;  // not less than zero
    EXPECT_EQ(text_of(check_derivatives_tick(t)), "<passed>");
  }
  // The first failing check wins.
  t = good;
  t.funding_rate = HUGE_VAL;
  t.mark_price = 0;
  EXPECT_EQ(text_of(check_derivatives_tick(t)), "invalid derivatives tick: funding_rate must be finite");
}

TEST(EngineFeedChecks, OrderBookTexts) {
  const auto check = [](std::vector<Level> bids, std::vector<Level> asks) {
    return text_of(check_order_book(OrderBook{std::move(bids), std::move(asks)}));
  };
  EXPECT_EQ(check({{99, 1}, {98, 0}}, {{101, 2}, {102, -0.0}}), "<passed>");
  EXPECT_EQ(check({{99, 1}}, {{0, 1}}), "invalid order book: level price must be finite and positive");
  EXPECT_EQ(check({{99, std::nan("")}}, {{101, 1}}), "invalid order book: level size must be finite and non-negative");
  // Levels are checked before the counts and the ordering.
  EXPECT_EQ(check({{101, 1}, {102, 1}}, {{100, -1}}), "invalid order book: level size must be finite and non-negative");
  EXPECT_EQ(check({}, {{101, 1}}), "invalid order book: order book must have at least one bid and one ask");
  EXPECT_EQ(check({{99, 1}}, {}), "invalid order book: order book must have at least one bid and one ask");
  EXPECT_EQ(check({{99, 1}, {99, 1}}, {{101, 1}}), "invalid order book: bids must be strictly descending in price");
  EXPECT_EQ(check({{99, 1}}, {{101, 1}, {100.5, 1}}), "invalid order book: asks must be strictly ascending in price");
  EXPECT_EQ(check({{100, 1}}, {{100, 1}}), "invalid order book: order book must be uncrossed (best_bid < best_ask)");
}

TEST(EngineFeedChecks, CrossSectionAndTradeTexts) {
  EXPECT_EQ(text_of(check_cross_section(CrossSection{{}, 0})),
            "invalid cross-section: cross-section must contain at least one member");
  EXPECT_EQ(text_of(check_cross_section(CrossSection{{{1, 1, false, false}, {std::nan(""), 1, false, false}}, 0})),
            "invalid cross-section: member change must be finite");
  EXPECT_EQ(text_of(check_cross_section(CrossSection{{{1, -1, false, false}}, 0})),
            "invalid cross-section: member volume must be finite and non-negative");
  EXPECT_EQ(text_of(check_cross_section(CrossSection{{{-3, 0, true, false}}, 0})), "<passed>");

  EXPECT_EQ(text_of(check_trade_print({0, 1, TradeSide::Buy, 0})), "invalid trade: trade price must be finite and positive");
  EXPECT_EQ(text_of(check_trade_print({1, HUGE_VAL, TradeSide::Sell, 0})),
            "invalid trade: trade size must be finite and non-negative");
  EXPECT_EQ(text_of(check_trade_print({1, 0, TradeSide::Sell, 0})), "<passed>");

  // Failing prints are dropped, the others kept in order.
  const std::vector<TradePrint> prints{{10, 1, TradeSide::Buy, 1}, {11, -1, TradeSide::Buy, 2}, {12, 3, TradeSide::Sell, 3}};
  std::vector<TradePrint> scratch;
  auto kept = keep_valid_prints(prints, scratch);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].timestamp, 1);
  EXPECT_EQ(kept[1].timestamp, 3);
  const std::vector<TradePrint> clean{{10, 1, TradeSide::Buy, 1}};
  EXPECT_EQ(keep_valid_prints(clean, scratch).data(), clean.data());  // no copy when all pass
}

std::string tick_json(double rate, double mark) {
  return "{\"funding_rate\":" + num(rate) + ",\"mark_price\":" + num(mark) +
         ",\"index_price\":100,\"futures_price\":100,\"open_interest\":1,\"long_size\":1,\"short_size\":1,"
         "\"taker_buy_volume\":1,\"taker_sell_volume\":1,\"long_liquidation\":0,\"short_liquidation\":0}";
}

TEST(EngineSideFeeds, BadRecordsAreLeftOutAndTheRunGoesOn) {
  // A strategy that reads no side feed gives the same document with feeds
  // full of failing records as without them.
  const auto bs = flat_bars({100, 101, 102});
  const std::string spec = spec_json("{}", close_eq(100), kNever, R"("sizing":{"type":"fixed_qty","qty":1})");
  const std::string feeds =
      R"("derivs":[)" + tick_json(0, 0) + "," + tick_json(0, -1) + "," + tick_json(0, 100) +
      R"(],"books":[{"bids":[],"asks":[]},{"bids":[[100,1]],"asks":[[99,1]]},{"bids":[[99,1]],"asks":[[101,1]]}],)"
      R"("trades":[[{"price":-1,"size":1,"side":"buy"}],[],[{"price":1,"size":-1,"side":"sell"},{"price":1,"size":1,"side":"buy"}]],)"
      R"("sections":[{"members":[]},{"members":[{"change":1,"volume":-1}]},[[[1,1,true,false]],5]],)"
      R"("reference":[{"time":1,"open":1,"high":1,"low":1,"close":1},{"time":1,"open":1,"high":1,"low":1,"close":1},{"time":1,"open":1,"high":1,"low":1,"close":1}])";
  auto plain = run_backtest_json(request_json(spec, bs));
  auto with_feeds = run_backtest_json(request_json(spec, bs, feeds));
  ASSERT_TRUE(plain.ok());
  ASSERT_TRUE(with_feeds.ok()) << with_feeds.error().to_string();
  EXPECT_EQ(with_feeds.value(), plain.value());
}

TEST(EngineSideFeeds, SpreadSlippageComesFromTheBarsCheckedBook) {
  const std::string spec =
      spec_json("{}", close_eq(100), close_eq(110),
                R"("sizing":{"type":"fixed_qty","qty":1},"costs":{"slippage":{"type":"spread"}})");
  const auto bs = flat_bars({100, 100, 110, 110});
  const auto book = [](double bid, double ask) {
    return "{\"bids\":[[" + num(bid) + ",1]],\"asks\":[[" + num(ask) + ",1]]}";
  };
  const auto spread_u = [](double b, double a) { return (a - b) / 2.0 / ((b + a) / 2.0); };
  {
    // Bid 99 / ask 101: u = 1 / 100; the long buys at 101. The exit bar's
    // book (108 / 112) prices the sale.
    const auto doc = run_ok(request_json(
        spec, bs, "\"books\":[" + book(1, 2) + "," + book(99, 101) + "," + book(1, 2) + "," + book(108, 112) + "]"));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    const double in = 100.0 * (1.0 + spread_u(99, 101));
    const double out = 110.0 * (1.0 - spread_u(108, 112));
    EXPECT_EQ(in, 101.0);
    expect_trade(trades_of(doc)[0], {2000, 4000, in, out, 1, out - in, (out - in) / in * 100.0, "signal"});
  }
  {
    // A crossed book on the fill bar is left out: no slippage there.
    const auto doc = run_ok(request_json(
        spec, bs, "\"books\":[" + book(1, 2) + "," + book(101, 101) + "," + book(1, 2) + "," + book(108, 112) + "]"));
    ASSERT_EQ(trades_of(doc).size(), 1u);
    EXPECT_EQ(num_at(trades_of(doc)[0], "entry_price"), 100.0);
  }
}

TEST(EngineSideFeeds, FundingIsChargedFromEachBarsCheckedTick) {
  // A short of 2 at 100: a rate of 0.0001 at mark 100 pays it 0.02 per bar;
  // bar 2's tick (mark 0) is left out, so nothing is charged there.
  const std::string spec = spec_json(
      "{}", kNever, kNever,
      R"("short_entry":)" + close_eq(100) + R"(,"sizing":{"type":"fixed_qty","qty":2},"costs":{"funding":true})");
  const auto doc = run_ok(request_json(spec, flat_bars({100, 100, 100, 100}),
                                       "\"derivs\":[" + tick_json(0.0001, 100) + "," + tick_json(0.0001, 100) + "," +
                                           tick_json(0.0001, 0) + "," + tick_json(0.0001, 100) + "]"));
  const double payment = 0.0001 * (100.0 * -2.0);
  double cash = 10000.0 - (100.0 * -2.0 + 0.0);
  cash -= payment;
  const double e1 = cash + -2.0 * 100.0;
  const double e2 = e1;
  cash -= payment;
  const double e3 = cash + -2.0 * 100.0;
  EXPECT_EQ(equity_of(doc), (std::vector<double>{10000, e1, e2, e3}));
  EXPECT_DOUBLE_EQ(num_at(doc, "fees_paid"), payment + payment);
  EXPECT_DOUBLE_EQ(num_at(doc, "fees_paid"), -0.04);
  // The metrics' pnl is the trades' pnl minus the net funding charged.
  ASSERT_EQ(trades_of(doc).size(), 1u);
  EXPECT_NEAR(num_at(metrics_of(doc), "pnl"), num_at(trades_of(doc)[0], "pnl") - (payment + payment), 1e-9);
}

// Population standard deviation of the returns between consecutive closes.
double close_volatility(const std::vector<double>& closes) {
  std::vector<double> r;
  for (std::size_t i = 0; i + 1 < closes.size(); ++i) r.push_back(closes[i + 1] / closes[i] - 1.0);
  double mean = 0.0;
  for (double x : r) mean += x;
  mean /= static_cast<double>(r.size());
  double var = 0.0;
  for (double x : r) var += (x - mean) * (x - mean);
  return std::sqrt(var / static_cast<double>(r.size()));
}

TEST(EngineSideFeeds, VolTargetSizesFromTheWindowsCloses) {
  const auto qty_of = [](const std::string& entry, const std::string& extra_members, const std::vector<Bar>& bs) {
    const auto doc = run_ok(request_json(
        spec_json("{}", entry, kNever, R"("sizing":{"type":"vol_target","target_vol":0.02,"lookback":4})" + extra_members),
        bs));
    return trades_of(doc).empty() ? -1.0 : num_at(trades_of(doc)[0], "qty");
  };
  const auto bs = bars({{100, 100, 100, 100}, {102, 102, 102, 102}, {99, 99, 99, 99}, {104, 104, 104, 104},
                        {103, 103, 103, 103}, {105, 105, 105, 105}});
  // Signal at bar 4, filled at bar 5's open: the window holds bars 0..4 and
  // the newest four closes give the volatility.
  const double vol = close_volatility({102, 99, 104, 103});
  const double raw = 0.02 * 10000.0 / vol / 105.0;
  EXPECT_DOUBLE_EQ(qty_of(close_eq(103), "", bs), std::fmin(105.0 * raw, 10000.0) / 105.0);
  // At the close the fill bar itself is in the window.
  const double raw_close = 0.02 * 10000.0 / vol / 103.0;
  EXPECT_DOUBLE_EQ(qty_of(close_eq(103), R"(,"execution":{"fill_timing":"close"})", bs),
                   std::fmin(103.0 * raw_close, 10000.0) / 103.0);
  // Fewer records than the look-back, or no movement: no size, no trade.
  EXPECT_EQ(qty_of(close_eq(99), "", bs), -1.0);
  EXPECT_EQ(qty_of(close_eq(100), "", flat_bars({100, 100, 100, 100, 100, 100})), -1.0);
}

TEST(EngineSideFeeds, VolumeImpactSlippageScalesWithSizeOverVolume) {
  const auto doc = run_ok(request_json(
      spec_json("{}", close_eq(100), close_eq(101),
                R"("sizing":{"type":"fixed_qty","qty":10},"costs":{"slippage":{"type":"volume_impact","coef":0.5}})"),
      bars({{100, 100, 100, 100, 0}, {100, 101, 99, 101, 1000}, {102, 102, 102, 102, 0}})));
  ASSERT_EQ(trades_of(doc).size(), 1u);
  const double in = 100.0 * (1.0 + 0.5 * 10.0 / 1000.0);
  // The exit bar has no volume: no slippage.
  expect_trade(trades_of(doc)[0], {2000, 3000, in, 102, 10, 10.0 * (102.0 - in), 10.0 * (102.0 - in) / (10.0 * in) * 100.0,
                                   "signal"});
}

// Whatever the model and the sign of its setting, the slippage fraction u
// lies within [-1, 1]: a sale is never priced below 0, a purchase never
// above twice the price, and an entry slipped to a price of 0 is no entry.
// Fifty wanted at bar 1's open of 125 (volume 0), exited at bar 2's open of
// 100 (volume 10).
TEST(EngineSideFeeds, SlippageNeverMovesAPriceByMoreThanItself) {
  struct Case {
    const char* slippage;
    double side;
    double entry;  // 0: no entry
    double exit;
  };
  const std::vector<Case> cases = {
      // 0.5 x 50 / 10 = 2.5 on the exit only (no volume at the entry).
      {R"({"type":"volume_impact","coef":0.5})", 1, 125, 0},
      {R"({"type":"volume_impact","coef":0.5})", -1, 125, 200},
      // -10 x 50 / 10 = -50: the sale gains at most the price itself.
      {R"({"type":"volume_impact","coef":-10})", 1, 125, 200},
      {R"({"type":"volume_impact","coef":-10})", -1, 125, 0},
      // 20,000 bps is a fraction of 2; -20,000 of -2.
      {R"({"type":"fixed_bps","bps":20000})", 1, 250, 0},
      {R"({"type":"fixed_bps","bps":20000})", -1, 0, 0},
      {R"({"type":"fixed_bps","bps":-20000})", 1, 0, 0},
      {R"({"type":"fixed_bps","bps":-20000})", -1, 250, 0},
  };
  const auto market = bars({{125, 125, 125, 125, 0}, {125, 126, 119, 120, 0}, {100, 101, 99, 100, 10}});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.slippage) + (c.side > 0 ? " long" : " short"));
    const std::string members =
        R"("sizing":{"type":"fixed_qty","qty":50},"costs":{"slippage":)" + std::string(c.slippage) + "}";
    const auto doc = run_ok(request_json(one_side_spec(c.side < 0, close_eq(125), close_eq(120), members), market));
    if (c.entry == 0.0) {
      EXPECT_TRUE(trades_of(doc).empty());
      EXPECT_EQ(equity_of(doc).back(), 10000.0);
      continue;
    }
    ASSERT_EQ(trades_of(doc).size(), 1u);
    const double qty = c.side * std::fmin(c.entry * 50.0, 10000.0) / c.entry;  // capped at the cash
    const double pnl = qty * (c.exit - c.entry);
    expect_trade(trades_of(doc)[0],
                 {2000, 3000, c.entry, c.exit, qty, pnl, pnl / (std::fabs(qty) * c.entry) * 100.0, "signal"});
    EXPECT_EQ(equity_of(doc).back(), 10000.0 + pnl);
  }
  // An entry on a bar of volume 10: 0.5 x 80 / 10 = 4, bought at twice the
  // open and sized there.
  const std::string impact = R"("sizing":{"type":"fixed_qty","qty":50},)"
                             R"("costs":{"slippage":{"type":"volume_impact","coef":0.5}})";
  const auto doc = run_ok(request_json(spec_json("{}", close_eq(125), kNever, impact),
                                       bars({{125, 125, 125, 125, 0}, {125, 126, 124, 125, 10}})));
  ASSERT_EQ(trades_of(doc).size(), 1u);
  EXPECT_EQ(num_at(trades_of(doc)[0], "entry_price"), 250.0);
  EXPECT_DOUBLE_EQ(num_at(trades_of(doc)[0], "qty"), std::fmin(250.0 * 50.0, 10000.0) / 250.0);
}

TEST(EngineSideFeeds, HistoryWindowSize) {
  const auto capacity = [](const std::string& entry, const std::string& sizing, std::size_t candles) {
    auto read = read_run_request(request_json(spec_json("{}", entry, kNever, sizing), flat_bars({1})));
    EXPECT_TRUE(read.ok());
    auto engine = Engine::create(read.value().spec, 10000.0, candles);
    EXPECT_TRUE(engine.ok());
    return engine.value().history_capacity();
  };
  const std::string fixed = R"("sizing":{"type":"fixed_fraction","fraction":1})";
  EXPECT_EQ(capacity(kAlways, fixed, 100), 1u);
  EXPECT_EQ(capacity(kAlways, R"("sizing":{"type":"vol_target","target_vol":1,"lookback":20})", 100), 21u);
  EXPECT_EQ(capacity(R"({"cross_above":[{"prev":[{"price":"close"},2]},1]})", fixed, 100), 4u);
  // Never more records than bars, however far a rule looks back.
  EXPECT_EQ(capacity(R"({"rising":[{"price":"close"},4294967295]})", fixed, 7), 7u);
}

}  // namespace
}  // namespace vsci::testing
