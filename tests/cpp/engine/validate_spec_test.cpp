#include <gtest/gtest.h>

#include <string>

#include "engine/engine.h"
#include "engine/strategy_spec.h"
#include "support/rule_trees.h"

namespace vsci {
namespace {

Operand ref(const std::string& key) { return operand_reference(key); }
Rule gt(Operand a, Operand b) { return rule_compare(Rule::Kind::Gt, std::move(a), std::move(b)); }
Rule gt_ref(const std::string& key) { return gt(ref(key), operand_constant(0)); }

StrategySpec base() {
  StrategySpec s;
  s.symbol = "BTC";
  s.timeframe = "1h";
  s.indicators["rsi"] = IndicatorSpec{"Rsi", {14}, Feed::Unknown};
  s.entry = gt_ref("rsi");
  s.exit = gt_ref("rsi");
  return s;
}

std::string error_of(const StrategySpec& s) {
  auto r = s.validate();
  return r.ok() ? "<ok>" : r.error().to_string();
}

TEST(ValidateSpec, CleanSpecPasses) {
  EXPECT_EQ(error_of(base()), "<ok>");
  StrategySpec s = base();
  s.indicators.clear();
  s.entry = rule_in_position(false);
  s.exit = Rule{};
  EXPECT_EQ(error_of(s), "<ok>");
}

TEST(ValidateSpec, ReferencesAreCheckedFirstInRuleOrder) {
  StrategySpec s = base();
  s.entry = gt_ref("macd");
  s.spec_version = 2;
  EXPECT_EQ(error_of(s), "rule references undeclared indicator: macd");

  s = base();
  s.short_exit = gt_ref("late");
  s.short_entry = gt_ref("early");
  EXPECT_EQ(error_of(s), "rule references undeclared indicator: early");
  s.short_entry = gt_ref("rsi");
  EXPECT_EQ(error_of(s), "rule references undeclared indicator: late");
  s.exit = gt_ref("second");
  EXPECT_EQ(error_of(s), "rule references undeclared indicator: second");
}

TEST(ValidateSpec, WalkOrderInsideOneRule) {
  StrategySpec s = base();
  // all[ between(x, prev(low_ind), add(rsi, high_ind)), not(rising(deep)) ]: the
  // first undeclared in operand-then-child order is "low_ind".
  Rule between = rule_between(ref("rsi"), operand_prev(ref("low_ind"), 1),
                                    operand_binary(Operand::Kind::Add, ref("rsi"), ref("high_ind")));
  s.entry = rule_list(Rule::Kind::All,
                            {between, rule_not(rule_trend(Rule::Kind::Rising, ref("deep"), 2))});
  EXPECT_EQ(error_of(s), "rule references undeclared indicator: low_ind");
  s.indicators["low_ind"] = IndicatorSpec{"Sma", {3}, Feed::Unknown};
  EXPECT_EQ(error_of(s), "rule references undeclared indicator: high_ind");
  s.indicators["high_ind"] = IndicatorSpec{"Sma", {3}, Feed::Unknown};
  EXPECT_EQ(error_of(s), "rule references undeclared indicator: deep");
}

TEST(ValidateSpec, ReferencesAreCutAtTheFirstDot) {
  EXPECT_EQ(split_reference("bb.upper"), "bb");
  EXPECT_EQ(split_reference("a.b.c"), "a");
  EXPECT_EQ(split_reference("plain"), "plain");
  EXPECT_EQ(split_reference(".x"), "");

  StrategySpec s = base();
  s.indicators["bb"] = IndicatorSpec{"BollingerBands", {20, 2}, Feed::Unknown};
  s.entry = gt(ref("bb.upper"), ref("bb.nope"));
  EXPECT_EQ(error_of(s), "<ok>");

  s = base();
  s.indicators["a.b"] = IndicatorSpec{"Sma", {3}, Feed::Unknown};
  s.entry = gt_ref("a.b");
  EXPECT_EQ(error_of(s), "rule references undeclared indicator: a.b");
  s.indicators["a"] = IndicatorSpec{"Sma", {3}, Feed::Unknown};
  EXPECT_EQ(error_of(s), "<ok>");
}

TEST(ValidateSpec, VersionAndSizingMessages) {
  StrategySpec s = base();
  s.spec_version = 2;
  EXPECT_EQ(error_of(s), "invalid strategy spec: spec_version 2 is not supported; this build reads 1..=1");
  s.spec_version = 0;
  EXPECT_EQ(error_of(s), "invalid strategy spec: spec_version 0 is not supported; this build reads 1..=1");
  s.spec_version = 4294967295u;
  EXPECT_EQ(error_of(s),
            "invalid strategy spec: spec_version 4294967295 is not supported; this build reads 1..=1");

  s = base();
  s.sizing.type = Sizing::Type::RiskPerTrade;
  s.sizing.risk_pct = 1;
  s.execution.partial_fills = true;  // a later problem stays hidden
  const std::string risk = "sizing risk_per_trade requires risk.stop_loss_pct: the position size is" +
                           std::string(18, ' ') + "derived from the distance to the stop";
  EXPECT_EQ(risk.size(), 126u);
  EXPECT_EQ(error_of(s), "invalid strategy spec: " + risk);
  s.risk.stop_loss_pct = 2;
  EXPECT_EQ(error_of(s), "invalid strategy spec: partial_fills requires execution.max_participation");
}

TEST(ValidateSpec, DeclaredFeedsAgainstTheCatalogue) {
  StrategySpec s = base();
  s.indicators["flow"] = IndicatorSpec{"Vpin", {50}, Feed::Trade};
  EXPECT_EQ(error_of(s), "<ok>");
  s.indicators["flow"].feed = Feed::Unknown;
  EXPECT_EQ(error_of(s), "<ok>");
  s.indicators["flow"].feed = Feed::Kline;
  EXPECT_EQ(error_of(s), "invalid strategy spec: indicator 'flow' (Vpin) declares feed Kline but consumes Trade");
  // A name that is no kind of its own passes whatever it declares.
  s.indicators["flow"] = IndicatorSpec{"Vpinn", {}, Feed::Derivatives};
  EXPECT_EQ(error_of(s), "<ok>");
  s.indicators["flow"] = IndicatorSpec{"Macd", {}, Feed::Orderbook};
  EXPECT_EQ(error_of(s), "<ok>");
  // With two mismatches the name that sorts first is reported.
  s.indicators["zz"] = IndicatorSpec{"FundingRate", {}, Feed::TradeQuote};
  s.indicators["Zz"] = IndicatorSpec{"Microprice", {}, Feed::CrossSection};
  EXPECT_EQ(error_of(s),
            "invalid strategy spec: indicator 'Zz' (Microprice) declares feed CrossSection but consumes Orderbook");
  s.indicators.erase("Zz");
  EXPECT_EQ(error_of(s),
            "invalid strategy spec: indicator 'zz' (FundingRate) declares feed TradeQuote but consumes Derivatives");
  // Feeds come after the sizing check.
  s.sizing.type = Sizing::Type::RiskPerTrade;
  EXPECT_NE(error_of(s).find("sizing risk_per_trade"), std::string::npos);
}

TEST(ValidateSpec, ExecutionConsistencyInOrder) {
  const std::string stop_limit = "stop_limit order_type requires both execution.stop_offset_pct and" +
                                 std::string(22, ' ') + "execution.limit_offset_pct";
  EXPECT_EQ(stop_limit.size(), 113u);
  struct Case {
    OrderType type;
    std::optional<double> limit, stop;
    std::string want;
  };
  const Case cases[] = {
      {OrderType::Market, std::nullopt, std::nullopt, "<ok>"},
      {OrderType::Limit, std::nullopt, 1.0, "invalid strategy spec: limit order_type requires execution.limit_offset_pct"},
      {OrderType::Limit, -0.5, std::nullopt, "<ok>"},
      {OrderType::Stop, 1.0, std::nullopt, "invalid strategy spec: stop order_type requires execution.stop_offset_pct"},
      {OrderType::Stop, std::nullopt, 0.0, "<ok>"},
      {OrderType::StopLimit, std::nullopt, 1.0, "invalid strategy spec: " + stop_limit},
      {OrderType::StopLimit, 1.0, std::nullopt, "invalid strategy spec: " + stop_limit},
      {OrderType::StopLimit, std::nullopt, std::nullopt, "invalid strategy spec: " + stop_limit},
      {OrderType::StopLimit, 1.0, 1.0, "<ok>"},
  };
  for (const Case& c : cases) {
    StrategySpec s = base();
    s.execution.order_type = c.type;
    s.execution.limit_offset_pct = c.limit;
    s.execution.stop_offset_pct = c.stop;
    EXPECT_EQ(error_of(s), c.want) << int(c.type);
  }

  StrategySpec s = base();
  s.execution.partial_fills = true;
  EXPECT_EQ(error_of(s), "invalid strategy spec: partial_fills requires execution.max_participation");
  s.execution.max_participation = 0.1;
  EXPECT_EQ(error_of(s), "<ok>");

  s = base();
  s.execution.fill_timing = FillTiming::Close;
  s.execution.latency_bars = 1;
  EXPECT_EQ(error_of(s), "invalid strategy spec: fill_timing close is incompatible with latency_bars");
  s.execution.order_type = OrderType::Limit;
  EXPECT_EQ(error_of(s), "invalid strategy spec: limit order_type requires execution.limit_offset_pct");
  s.execution.limit_offset_pct = 1;
  EXPECT_EQ(error_of(s), "invalid strategy spec: fill_timing close requires a market order_type");
  s.execution.order_type = OrderType::Market;
  s.execution.latency_bars = 0;
  EXPECT_EQ(error_of(s), "<ok>");
  // Latency is fine with next-open fills.
  s.execution.fill_timing = FillTiming::NextOpen;
  s.execution.latency_bars = 7;
  EXPECT_EQ(error_of(s), "<ok>");
}

TEST(StrategySpecLookback, LargestRuleOrVolTarget) {
  StrategySpec s = base();
  EXPECT_EQ(s.lookback(), 0u);
  s.exit = rule_compare(Rule::Kind::CrossAbove, operand_prev(ref("rsi"), 4), ref("rsi"));
  EXPECT_EQ(s.lookback(), 5u);
  s.short_exit = rule_trend(Rule::Kind::Falling, ref("rsi"), 9);
  EXPECT_EQ(s.lookback(), 9u);
  s.sizing.type = Sizing::Type::VolTarget;
  s.sizing.lookback = 20;
  EXPECT_EQ(s.lookback(), 20u);
  s.sizing.lookback = 3;
  EXPECT_EQ(s.lookback(), 9u);
  // A lookback member that is not vol_target's plays no part.
  s.sizing.type = Sizing::Type::FixedQty;
  s.sizing.lookback = 50;
  EXPECT_EQ(s.lookback(), 9u);
}

// Through the engine's setup: each referenced declared name gets its own
// storage slot at once, in name order; an output key gets the next one when
// its first value arrives; every operand naming a key carries that key's slot.
TEST(BindSlots, EveryReferenceAndDeclaredNameGetsASlot) {
  StrategySpec s = base();
  s.indicators["bb"] = IndicatorSpec{"BollingerBands", {2, 2}, Feed::Unknown};
  s.entry = gt(ref("bb.upper"), operand_prev(ref("rsi"), 1));
  s.short_entry = gt(ref("bb.upper"), ref("bb"));
  auto engine = Engine::create(s, 10000.0, 4);
  ASSERT_TRUE(engine.ok());
  const StrategySpec& bound = engine->TEST_bound_spec();
  EXPECT_EQ(bound.short_entry->operands[1].slot, 0u);  // bb
  EXPECT_EQ(bound.entry.operands[1].args[0].slot, 1u);  // rsi
  EXPECT_EQ(bound.exit.operands[0].slot, 1u);
  EXPECT_EQ(bound.entry.operands[0].slot, NO_SLOT);  // bb.upper: no value yet
  EXPECT_EQ(bound.short_entry->operands[0].slot, NO_SLOT);
  for (int t = 1; t <= 3; ++t) {
    const double p = 100.0 + t;
    ASSERT_TRUE(engine->step(Candle{t, p, p + 1, p - 1, p, 10.0}, BarFeeds{}).ok());
  }
  EXPECT_EQ(bound.entry.operands[0].slot, 2u);
  EXPECT_EQ(bound.short_entry->operands[0].slot, 2u);
  EXPECT_EQ(bound.short_entry->operands[1].slot, 0u);
  EXPECT_EQ(bound.exit.operands[0].slot, 1u);
}

}  // namespace
}  // namespace vsci
