#include <gtest/gtest.h>

#include <string>

#include "engine/request.h"
#include "support/request_text.h"

namespace vsci {
namespace {

using testing::at_byte;
using testing::first_byte;
using testing::kPrefix;
using testing::last_byte;
using testing::last_byte_after;
using testing::read_error;
using testing::read_ok;
using testing::request_with;
using testing::spec_set;

StrategySpec with(const std::string& member, const std::string& value) {
  return read_ok(request_with("", spec_set(member, value))).spec;
}

// A failure whose position is the last byte of `marker`, searched after the
// member's name.
struct Failure {
  std::string value;
  std::string message;
  std::string marker;
};

void expect_failures(const std::string& member, std::initializer_list<Failure> cases) {
  for (const Failure& c : cases) {
    const std::string text = request_with("", spec_set(member, c.value));
    EXPECT_EQ(read_error(text), kPrefix + c.message + at_byte(text, last_byte_after(text, "\"" + member + "\":",
                                                                                     c.marker)))
        << member << ": " << c.value;
  }
}

TEST(RequestSettings, SizingVariantsInEveryForm) {
  for (const char* v : {R"({"type":"fixed_qty","qty":2})", R"({"qty":2,"type":"fixed_qty"})", R"(["fixed_qty",2])",
                        R"({"qty":2,"note":[1],"type":"fixed_qty"})"}) {
    const Sizing s = with("sizing", v).sizing;
    EXPECT_EQ(s.type, Sizing::Type::FixedQty) << v;
    EXPECT_EQ(s.qty, 2.0) << v;
  }
  const Sizing frac = with("sizing", R"({"type":"fixed_fraction","fraction":0.5,"note":"x"})").sizing;
  EXPECT_EQ(frac.type, Sizing::Type::FixedFraction);
  EXPECT_EQ(frac.fraction, 0.5);
  EXPECT_EQ(with("sizing", R"(["fixed_cash",250])").sizing.cash, 250.0);
  const Sizing vol = with("sizing", R"({"lookback":20,"type":"vol_target","target_vol":0.2})").sizing;
  EXPECT_EQ(vol.type, Sizing::Type::VolTarget);
  EXPECT_EQ(vol.target_vol, 0.2);
  EXPECT_EQ(vol.lookback, 20u);
  EXPECT_EQ(with("sizing", R"(["vol_target",0.1,4294967295])").sizing.lookback, 4294967295u);
  const Sizing risk = with("sizing", R"({"type":"risk_per_trade","risk_pct":1})").sizing;
  EXPECT_EQ(risk.type, Sizing::Type::RiskPerTrade);
  EXPECT_EQ(risk.risk_pct, 1.0);
}

TEST(RequestSettings, SizingMessages) {
  const std::string five = "`fixed_fraction`, `fixed_qty`, `fixed_cash`, `vol_target`, `risk_per_trade`";
  // Sizing is the last member of the strategy object: failures about the
  // variant's members surface where the strategy object closes, one byte past
  // the sizing value.
  expect_failures(
      "sizing",
      {
          {R"({"type":"vol_target","target_vol":0.2})", "missing field `lookback`", "}}"},
          {R"(["vol_target",0.2])", "invalid length 1, expected struct variant Sizing::VolTarget with 2 elements",
           "]}"},
          {R"({"type":"vol_target","target_vol":0.2,"lookback":20.5})",
           "invalid type: floating point `20.5`, expected u32", "}}"},
          {R"(["vol_target",0.2,20,1])", "invalid length 3, expected 2 elements in sequence", "]}"},
          {R"(["fixed_qty",1,2])", "invalid length 2, expected 1 element in sequence", "]}"},
          {R"(["risk_per_trade"])", "invalid length 0, expected struct variant Sizing::RiskPerTrade with 1 element",
           "]}"},
          {R"({"type":"fixed_qty","qty":"2"})", "invalid type: string \"2\", expected f64", "}}"},
          {R"({"type":"fixed_qty","qty":1,"qty":2})", "duplicate field `qty`", "}}"},
          // Failures about the tag are placed where they happen.
          {R"({"type":"FixedQty","qty":1})", "unknown variant `FixedQty`, expected one of " + five, "\"FixedQty\""},
          {R"({"qty":1,"type":5})", "invalid type: integer `5`, expected variant identifier", "5"},
          {R"({"qty":1})", "missing field `type`", "}"},
          {R"([])", "missing field `type`", "]"},
          {R"("fixed_qty")", "invalid type: string \"fixed_qty\", expected internally tagged enum Sizing",
           "\"fixed_qty\""},
      });
  // The repeated tag is reported at the second "type".
  const std::string twice = request_with("", spec_set("sizing", R"({"type":"fixed_qty","type":"fixed_qty","qty":1})"));
  EXPECT_EQ(read_error(twice), kPrefix + "duplicate field `type`" + at_byte(twice, last_byte(twice, "\"type\"", 1)));
  // Followed by another member, the strategy object does not close: the
  // failure stays at the last byte of the sizing value.
  const std::string mid = request_with("", R"({"sizing":{"type":"fixed_qty"},"symbol":"X"})");
  EXPECT_EQ(read_error(mid), kPrefix + "missing field `qty`" + at_byte(mid, last_byte(mid, "qty\"}")));
  const std::string arr = request_with("", R"([1,"X",null,"1h",{},{"all":[]},{"all":[]},null,null,["fixed_qty"], {}])");
  EXPECT_EQ(read_error(arr), kPrefix + "invalid length 0, expected struct variant Sizing::FixedQty with 1 element" +
                                 at_byte(arr, last_byte(arr, "], ")));
}

TEST(RequestSettings, SlippageAndCosts) {
  const Costs none = with("costs", "{}").costs;
  EXPECT_EQ(none.maker_bps, 0.0);
  EXPECT_EQ(none.taker_bps, 0.0);
  EXPECT_EQ(none.slippage.type, Slippage::Type::FixedBps);
  EXPECT_EQ(none.slippage.bps, 0.0);
  EXPECT_FALSE(none.funding);
  const Costs maker = with("costs", "[1.5]").costs;
  EXPECT_EQ(maker.maker_bps, 1.5);
  EXPECT_EQ(maker.taker_bps, 0.0);
  const Costs all = with("costs", R"({"funding":true,"slippage":["volume_impact",0.3],"taker_bps":5,"maker_bps":2})").costs;
  EXPECT_EQ(all.maker_bps, 2.0);
  EXPECT_EQ(all.taker_bps, 5.0);
  EXPECT_EQ(all.slippage.type, Slippage::Type::VolumeImpact);
  EXPECT_EQ(all.slippage.coef, 0.3);
  EXPECT_TRUE(all.funding);
  EXPECT_EQ(with("costs", R"({"slippage":{"type":"spread","bps":5}})").costs.slippage.type, Slippage::Type::Spread);
  EXPECT_EQ(with("costs", R"({"slippage":["spread"]})").costs.slippage.type, Slippage::Type::Spread);
  EXPECT_EQ(with("costs", R"({"slippage":{"bps":7,"type":"fixed_bps"}})").costs.slippage.bps, 7.0);

  const std::string three = "`fixed_bps`, `spread`, `volume_impact`";
  // Slippage failures about the variant's members are placed by the costs
  // object that holds the slippage: its closing brace when the slippage is
  // its last member.
  expect_failures("costs",
                  {
                      {R"({"slippage":["spread",5]})", "invalid length 1, expected 0 elements in sequence", "]}"},
                      {R"({"slippage":["fixed_bps",5,6]})", "invalid length 2, expected 1 element in sequence", "]}"},
                      {R"({"slippage":{"type":"volume_impact"}})", "missing field `coef`", "}}"},
                      {R"({"slippage":{"type":"Spread"}})", "unknown variant `Spread`, expected one of " + three,
                       "\"Spread\""},
                      {R"({"slippage":{"bps":5}})", "missing field `type`", "}"},
                      {R"({"slippage":null})", "invalid type: null, expected internally tagged enum Slippage",
                       "null"},
                      {R"([0,0,["fixed_bps",0],false,1])", "trailing characters", ",1"},
                      {R"(5)", "invalid type: integer `5`, expected struct Costs", "5"},
                  });
  // A member failure inside the slippage when another costs member follows:
  // the costs object does not close, so the position is the slippage's end.
  const std::string text = request_with("", spec_set("costs", R"({"slippage":{"type":"volume_impact"},"funding":true})"));
  EXPECT_EQ(read_error(text), kPrefix + "missing field `coef`" +
                                  at_byte(text, last_byte(text, "\"volume_impact\"}")));
}

TEST(RequestSettings, RiskMembers) {
  const Risk none = with("risk", "{}").risk;
  EXPECT_FALSE(none.stop_loss_pct || none.take_profit_pct || none.trailing_stop_pct || none.max_leverage ||
               none.max_position_pct || none.liquidation);
  const Risk stop = with("risk", "[0.02]").risk;
  EXPECT_EQ(stop.stop_loss_pct, 0.02);
  EXPECT_FALSE(stop.take_profit_pct || stop.max_leverage || stop.liquidation);
  EXPECT_FALSE(with("risk", R"({"stop_loss_pct":null})").risk.stop_loss_pct);
  const Risk lev = with("risk", R"({"max_leverage":3,"extra":[1,2]})").risk;
  EXPECT_EQ(lev.max_leverage, 3.0);
  const Risk full = with("risk", "[1,2,3,4,5,true]").risk;
  EXPECT_EQ(full.stop_loss_pct, 1.0);
  EXPECT_EQ(full.take_profit_pct, 2.0);
  EXPECT_EQ(full.trailing_stop_pct, 3.0);
  EXPECT_EQ(full.max_leverage, 4.0);
  EXPECT_EQ(full.max_position_pct, 5.0);
  EXPECT_TRUE(full.liquidation);
  expect_failures("risk", {
                              {R"({"stop_loss_pct":null,"stop_loss_pct":0.05})", "duplicate field `stop_loss_pct`",
                               "null,\"stop_loss_pct\""},
                              {"[1,2,3,4,5,true,7]", "trailing characters", ",7"},
                              {R"("tight")", "invalid type: string \"tight\", expected struct Risk", "\"tight\""},
                          });
}

TEST(RequestSettings, ExecutionMembersAndChoices) {
  const Execution none = with("execution", "{}").execution;
  EXPECT_EQ(none.order_type, OrderType::Market);
  EXPECT_EQ(none.fill_timing, FillTiming::NextOpen);
  EXPECT_EQ(none.latency_bars, 0u);
  EXPECT_FALSE(none.partial_fills);
  EXPECT_FALSE(none.limit_offset_pct || none.stop_offset_pct || none.max_participation);
  const Execution arr = with("execution", R"(["limit","next_open",0.5])").execution;
  EXPECT_EQ(arr.order_type, OrderType::Limit);
  EXPECT_EQ(arr.limit_offset_pct, 0.5);
  EXPECT_FALSE(arr.stop_offset_pct);
  EXPECT_EQ(with("execution", R"({"order_type":"stop_limit"})").execution.order_type, OrderType::StopLimit);
  EXPECT_EQ(with("execution", R"({"order_type":{"stop":null}})").execution.order_type, OrderType::Stop);
  EXPECT_EQ(with("execution", R"({"fill_timing":{"close":null}})").execution.fill_timing, FillTiming::Close);
  const Execution full = with("execution", R"(["market","close",1,-2,3,true,0.25])").execution;
  EXPECT_EQ(full.fill_timing, FillTiming::Close);
  EXPECT_EQ(full.stop_offset_pct, -2.0);
  EXPECT_EQ(full.latency_bars, 3u);
  EXPECT_TRUE(full.partial_fills);
  EXPECT_EQ(full.max_participation, 0.25);

  const std::string four = "expected one of `market`, `limit`, `stop`, `stop_limit`";
  expect_failures(
      "execution",
      {
          {R"({"order_type":"StopLimit"})", "unknown variant `StopLimit`, " + four, "\"StopLimit\""},
          {R"({"fill_timing":"open"})", "unknown variant `open`, expected `next_open` or `close`", "\"open\""},
          {R"({"order_type":{"limt":null}})", "unknown variant `limt`, " + four, "\"limt\""},
          {"[0]", "expected value", "0"},
          {R"(["market","close",1,-2,3,true,0.25,0])", "trailing characters", "25,0"},
      });
}

}  // namespace
}  // namespace vsci
