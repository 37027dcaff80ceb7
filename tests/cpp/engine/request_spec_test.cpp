#include <gtest/gtest.h>

#include <string>

#include "engine/request.h"
#include "support/request_text.h"

namespace vsci {
namespace {

using testing::at_byte;
using testing::first_byte;
using testing::kPrefix;
using testing::kSpec;
using testing::last_byte;
using testing::last_byte_after;
using testing::read_error;
using testing::read_ok;
using testing::request_with;
using testing::spec_set;
using testing::spec_with;

StrategySpec spec_of(const std::string& spec) { return read_ok(request_with("", spec)).spec; }
std::string spec_error(const std::string& spec) { return read_error(request_with("", spec)); }

const std::string kRequired[] = {
    R"("symbol":"BTC")",          R"("timeframe":"1h")",          R"("indicators":{})",
    R"("entry":{"all":[]})",      R"("exit":{"any":[]})",        R"("sizing":{"type":"fixed_qty","qty":1})",
};

std::string object_without(const std::string& left_out1, const std::string& left_out2 = "") {
  std::string s = "{";
  for (const std::string& m : kRequired) {
    if (m.find("\"" + left_out1 + "\"") == 0 || (!left_out2.empty() && m.find("\"" + left_out2 + "\"") == 0)) continue;
    s += (s.size() > 1 ? "," : "") + m;
  }
  return s + "}";
}

TEST(RequestSpec, RequiredMembersOnlyTakeTheDefaults) {
  const StrategySpec s = spec_of(kSpec);
  EXPECT_EQ(s.spec_version, 1u);
  EXPECT_EQ(s.symbol, "BTC");
  EXPECT_EQ(s.timeframe, "1h");
  EXPECT_FALSE(s.ref_symbol);
  EXPECT_TRUE(s.indicators.empty());
  EXPECT_EQ(s.entry.kind, Rule::Kind::All);
  EXPECT_EQ(s.exit.kind, Rule::Kind::Any);
  EXPECT_FALSE(s.short_entry);
  EXPECT_FALSE(s.short_exit);
  EXPECT_EQ(s.sizing.type, Sizing::Type::FixedQty);
  EXPECT_EQ(s.sizing.qty, 1.0);
  EXPECT_EQ(s.costs.maker_bps, 0.0);
  EXPECT_EQ(s.costs.taker_bps, 0.0);
  EXPECT_EQ(s.costs.slippage.type, Slippage::Type::FixedBps);
  EXPECT_EQ(s.costs.slippage.bps, 0.0);
  EXPECT_FALSE(s.costs.funding);
  EXPECT_FALSE(s.risk.stop_loss_pct || s.risk.take_profit_pct || s.risk.trailing_stop_pct || s.risk.max_leverage ||
               s.risk.max_position_pct);
  EXPECT_FALSE(s.risk.liquidation);
  EXPECT_EQ(s.execution.order_type, OrderType::Market);
  EXPECT_EQ(s.execution.fill_timing, FillTiming::NextOpen);
  EXPECT_FALSE(s.execution.limit_offset_pct || s.execution.stop_offset_pct || s.execution.max_participation);
  EXPECT_EQ(s.execution.latency_bars, 0u);
  EXPECT_FALSE(s.execution.partial_fills);
  EXPECT_FALSE(s.warmup);
}

TEST(RequestSpec, MissingAndRepeatedMembers) {
  for (const char* field : {"symbol", "timeframe", "indicators", "entry", "exit", "sizing"}) {
    const std::string spec = object_without(field);
    const std::string text = request_with("", spec);
    EXPECT_EQ(read_error(text), kPrefix + "missing field `" + field + "`" +
                                    at_byte(text, first_byte(text, spec) + spec.size() - 1));
  }
  EXPECT_NE(spec_error(object_without("entry", "symbol")).find("missing field `symbol`"), std::string::npos);
  EXPECT_NE(spec_error(object_without("sizing", "exit")).find("missing field `exit`"), std::string::npos);

  const StrategySpec s = spec_of(spec_with(R"("notes":{"any":["thing",{"x":null}]},"sizing_hint":5)"));
  EXPECT_EQ(s.symbol, "BTC");
  const std::string twice = request_with("", spec_with(R"("spec_version":1,"spec_version":1)"));
  EXPECT_EQ(read_error(twice), kPrefix + "duplicate field `spec_version`" +
                                   at_byte(twice, last_byte(twice, "\"spec_version\"", 1)));
}

TEST(RequestSpec, ArrayFormLengths) {
  const std::string rule = R"({"all":[]})";
  const std::string sizing = R"(["fixed_qty",1])";
  const std::string seven = R"([1,"BTC",null,"1h",{},)" + rule + "," + rule + "]";
  const std::string text7 = request_with("", seven);
  EXPECT_EQ(read_error(text7), kPrefix + "invalid length 9, expected struct StrategySpec with 14 elements" +
                                   at_byte(text7, first_byte(text7, seven) + seven.size() - 1));
  EXPECT_NE(spec_error("[]").find("invalid length 1, expected struct StrategySpec with 14 elements"),
            std::string::npos);
  EXPECT_NE(spec_error(R"([1,"BTC"])").find("invalid length 3, expected struct StrategySpec with 14 elements"),
            std::string::npos);

  const std::string ten = R"([2,"BTC","ETH","4h",{"m":["Sma",[3]]},)" + rule + "," + rule + ",null," + rule + "," +
                          sizing + "]";
  const StrategySpec s = spec_of(ten);
  EXPECT_EQ(s.spec_version, 2u);
  EXPECT_EQ(s.ref_symbol, "ETH");
  EXPECT_EQ(s.timeframe, "4h");
  EXPECT_EQ(s.indicators.at("m").type, "Sma");
  EXPECT_FALSE(s.short_entry);
  ASSERT_TRUE(s.short_exit);
  EXPECT_EQ(s.sizing.qty, 1.0);

  const std::string full = R"([1,"BTC",null,"1h",{},)" + rule + "," + rule + ",null,null," + sizing +
                           R"(,{},{},{},7])";
  EXPECT_EQ(spec_of(full).warmup, 7u);
  const std::string fifteen = full.substr(0, full.size() - 1) + ",0]";
  const std::string text15 = request_with("", fifteen);
  EXPECT_EQ(read_error(text15), kPrefix + "trailing characters" + at_byte(text15, last_byte(text15, "7,0")));
  const std::string five = request_with("", "5");
  EXPECT_EQ(read_error(five), kPrefix + "invalid type: integer `5`, expected struct StrategySpec" +
                                  at_byte(five, last_byte(five, ":5")));
}

TEST(RequestSpec, IntegerMembersAndNulls) {
  EXPECT_FALSE(spec_of(spec_with(R"("warmup":null,"ref_symbol":null,"short_entry":null,"short_exit":null)")).warmup);
  EXPECT_EQ(spec_of(spec_with(R"("warmup":4294967295)")).warmup, 4294967295u);
  struct Case {
    std::string member;
    std::string message;
    std::string value;  // the reader stops at its last byte
  };
  const Case cases[] = {
      {R"("warmup":10.0)", "invalid type: floating point `10.0`, expected u32", "10.0"},
      {R"("spec_version":"1")", "invalid type: string \"1\", expected u32", "\"1\""},
      {R"("ref_symbol":7)", "invalid type: integer `7`, expected a string", "7"},
  };
  for (const Case& c : cases) {
    const std::string text = request_with("", spec_with(c.member));
    EXPECT_EQ(read_error(text), kPrefix + c.message + at_byte(text, last_byte_after(text, c.member.substr(0, 8),
                                                                                     c.value)))
        << c.member;
  }
  const std::string sym = request_with("", R"({"symbol":null})");
  EXPECT_EQ(read_error(sym), kPrefix + "invalid type: null, expected a string" + at_byte(sym, last_byte(sym, "null")));
}

TEST(RequestSpec, IndicatorDeclarations) {
  const StrategySpec s = spec_of(spec_set("indicators",
      R"({"zeta":{"type":"Sma","params":[14]},"Alpha":["Ema",[3,4.5],"kline"],"mid":{"type":"Rsi"},)"
      R"("zeta":{"type":"Wma"},"v":{"type":"Vpin","feed":{"trade":null},"params":[]},"n":["Sma",[],null]})"));
  ASSERT_EQ(s.indicators.size(), 5u);
  std::vector<std::string> names;
  for (const auto& [name, decl] : s.indicators) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "mid", "n", "v", "zeta"}));
  EXPECT_EQ(s.indicators.at("zeta").type, "Wma");  // the later declaration replaces the earlier whole
  EXPECT_TRUE(s.indicators.at("zeta").params.empty());
  EXPECT_EQ(s.indicators.at("Alpha").params, (std::vector<double>{3, 4.5}));
  EXPECT_EQ(s.indicators.at("Alpha").feed, Feed::Kline);
  EXPECT_EQ(s.indicators.at("mid").feed, Feed::Unknown);
  EXPECT_TRUE(s.indicators.at("mid").params.empty());
  EXPECT_EQ(s.indicators.at("v").feed, Feed::Trade);
  EXPECT_EQ(s.indicators.at("n").feed, Feed::Unknown);

  for (const char* feed : {R"("kline")", R"({"kline":null})"}) {
    const StrategySpec k =
        spec_of(spec_set("indicators", std::string(R"({"a":{"type":"Sma","params":[14],"feed":)") + feed + "}}"));
    EXPECT_EQ(k.indicators.at("a").feed, Feed::Kline) << feed;
  }
  const std::string feeds[] = {"trade", "orderbook", "trade_quote", "derivatives", "cross_section"};
  for (int i = 0; i < 5; ++i) {
    const StrategySpec k = spec_of(spec_set("indicators", R"({"a":["X",[],")" + feeds[i] + R"("]})"));
    EXPECT_EQ(static_cast<int>(k.indicators.at("a").feed), i + 1) << feeds[i];
  }

  const std::string six = "expected one of `kline`, `trade`, `orderbook`, `trade_quote`, `derivatives`, `cross_section`";
  struct Case {
    std::string indicators;
    std::string message;
    std::string marker;  // the reader stops at the last byte of the first marker after "indicators"
  };
  const Case cases[] = {
      {R"({"a":{"type":"Sma","feed":"Kline"}})", "unknown variant `Kline`, " + six, "\"Kline\""},
      {R"({"a":{"type":"Sma","feed":{"kline":1}}})", "invalid type: integer `1`, expected unit", "1"},
      {R"({"a":{"type":"Sma","feed":{"klines":null}}})", "unknown variant `klines`, " + six, "\"klines\""},
      {R"({"a":{"type":"Sma","feed":5}})", "expected value", "5"},
      {R"({"a":{"params":[1]}})", "missing field `type`", "}"},
      {R"({"a":[]})", "invalid length 0, expected struct IndicatorSpec with 3 elements", "]"},
      {R"({"a":["Sma",[],"kline",1]})", "trailing characters", "1"},
      {R"({"a":"Sma"})", "invalid type: string \"Sma\", expected struct IndicatorSpec", "\"Sma\""},
      {R"({"a":{"type":"Sma","params":["x"]}})", "invalid type: string \"x\", expected f64", "\"x\""},
      {R"({"a":{"type":"Sma","params":3}})", "invalid type: integer `3`, expected a sequence", "3"},
      {R"({"a":{"type":"Sma","type":"Ema"}})", "duplicate field `type`", "\"type\":\"E"},
      {R"([["Sma"]])", "invalid type: sequence, expected a map", "["},
  };
  for (const Case& c : cases) {
    const std::string text = request_with("", spec_set("indicators", c.indicators));
    std::size_t stop = last_byte_after(text, "\"indicators\":", c.marker);
    if (c.marker == "\"type\":\"E") stop -= 3;  // the closing quote of the repeated key
    EXPECT_EQ(read_error(text), kPrefix + c.message + at_byte(text, stop)) << c.indicators;
  }
}

}  // namespace
}  // namespace vsci
