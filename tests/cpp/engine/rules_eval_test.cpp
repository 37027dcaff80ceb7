#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/bar_record.h"
#include "engine/rules.h"
#include "support/rule_trees.h"

namespace vsci {
namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();

using NamedValues = std::map<std::string, double>;

// A window over bars given as (close, values); every candle has
// open = close - 1, high = close + 2, low = close - 3, volume = 10 * close.
struct Bars {
  SlotTable slots;
  HistoryWindow window;

  Bars(const std::vector<std::string>& keys, const std::vector<std::pair<double, NamedValues>>& bars,
       std::size_t capacity = 0)
      : slots(keys), window(capacity == 0 ? bars.size() : capacity, slots.size()) {
    std::int64_t time = 0;
    for (const auto& [close, values] : bars) {
      Candle c{time += 60000, close - 1, close + 2, close - 3, close, 10 * close};
      BarRecord& r = window.push(c);
      for (const auto& [k, v] : values) r.set(slots.find(k), v);
    }
  }

  Operand ref(const std::string& key) const {
    Operand op = operand_reference(key);
    op.slot = slots.find(key);
    return op;
  }
  std::size_t last() const { return window.size() - 1; }
  bool at(const Rule& r, std::size_t t, PositionContext pos = {}) const { return r.eval(window, t, pos); }
};

Operand constant(double v) { return operand_constant(v); }
Operand price(PriceField f) { return operand_price(f); }
Rule cmp(Rule::Kind k, Operand a, Operand b) { return rule_compare(k, std::move(a), std::move(b)); }

TEST(RuleEval, MissingValueMakesComparisonFalseAndNotTrue) {
  Bars b({"rsi"}, {{100, {}}, {101, {{"rsi", 75}}}, {102, {}}});
  const Rule gt = cmp(Rule::Kind::Gt, b.ref("rsi"), constant(70));
  const Rule negated = rule_not(gt);
  EXPECT_FALSE(b.at(gt, 0));
  EXPECT_TRUE(b.at(negated, 0));
  EXPECT_TRUE(b.at(gt, 1));
  EXPECT_FALSE(b.at(negated, 1));
  EXPECT_FALSE(b.at(gt, 2));
  // A chain of nots negates once per link.
  EXPECT_FALSE(b.at(rule_not(negated), 0));
  EXPECT_TRUE(b.at(rule_not(rule_not(negated)), 0));
  // An output name that never receives a value and an unbound reference both read as absent.
  EXPECT_FALSE(b.at(cmp(Rule::Kind::Lt, b.ref("rsi.nope"), constant(1e300)), 1));
  EXPECT_FALSE(b.at(cmp(Rule::Kind::Lt, operand_reference("rsi"), constant(1e300)), 1));
}

TEST(RuleEval, OrderedComparisonsAndNan) {
  Bars b({"x", "n"}, {{100, {{"x", 5}, {"n", kNan}}}});
  // At equality only the inclusive comparisons hold.
  EXPECT_FALSE(b.at(cmp(Rule::Kind::Gt, constant(5), constant(5)), 0));
  EXPECT_FALSE(b.at(cmp(Rule::Kind::Lt, constant(5), constant(5)), 0));
  EXPECT_TRUE(b.at(cmp(Rule::Kind::Ge, constant(5), constant(5)), 0));
  EXPECT_TRUE(b.at(cmp(Rule::Kind::Le, constant(5), constant(5)), 0));
  EXPECT_TRUE(b.at(cmp(Rule::Kind::Gt, constant(5), constant(4)), 0));
  for (Rule::Kind k : {Rule::Kind::Gt, Rule::Kind::Lt, Rule::Kind::Ge, Rule::Kind::Le, Rule::Kind::Eq,
                       Rule::Kind::Ne}) {
    EXPECT_FALSE(b.at(cmp(k, b.ref("n"), b.ref("x")), 0)) << int(k);
    EXPECT_FALSE(b.at(cmp(k, b.ref("x"), b.ref("n")), 0)) << int(k);
  }
}

TEST(RuleEval, EqualityWithinEps) {
  Bars b({}, {{1, {}}});
  const double eps = std::ldexp(1.0, -52);
  // 0.1 + 0.2 differs from 0.3 by one ulp of 0.3 (about 5.6e-17): equal.
  EXPECT_TRUE(b.at(cmp(Rule::Kind::Eq, constant(0.1 + 0.2), constant(0.3)), 0));
  EXPECT_FALSE(b.at(cmp(Rule::Kind::Ne, constant(0.1 + 0.2), constant(0.3)), 0));
  // A difference of exactly EPS is not below it.
  EXPECT_FALSE(b.at(cmp(Rule::Kind::Eq, constant(1.0 + eps), constant(1.0)), 0));
  EXPECT_TRUE(b.at(cmp(Rule::Kind::Ne, constant(1.0 + eps), constant(1.0)), 0));
  // Equal infinities subtract to NaN: neither equal nor unequal.
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(b.at(cmp(Rule::Kind::Eq, constant(inf), constant(inf)), 0));
  EXPECT_FALSE(b.at(cmp(Rule::Kind::Ne, constant(inf), constant(inf)), 0));
}

TEST(RuleEval, DivisionByNearZeroIsNan) {
  Bars b({}, {{1, {}}});
  const Rule lt_div_zero = cmp(Rule::Kind::Lt, operand_binary(Operand::Kind::Div, constant(1), constant(0)), constant(5));
  EXPECT_FALSE(b.at(lt_div_zero, 0));
  EXPECT_TRUE(b.at(rule_not(lt_div_zero), 0));
  const Operand tiny = operand_binary(Operand::Kind::Div, constant(1), constant(1e-17));
  EXPECT_TRUE(std::isnan(*tiny.eval(b.window, 0)));
  const Operand neg_tiny = operand_binary(Operand::Kind::Div, constant(1), constant(-2e-16));
  EXPECT_TRUE(std::isnan(*neg_tiny.eval(b.window, 0)));
  // A divisor of exactly EPS divides.
  const double eps = std::ldexp(1.0, -52);
  const Operand at_eps = operand_binary(Operand::Kind::Div, constant(1), constant(eps));
  EXPECT_EQ(*at_eps.eval(b.window, 0), std::ldexp(1.0, 52));
}

TEST(RuleEval, ArithmeticOperandsAndMissingSides) {
  Bars b({"a"}, {{10, {{"a", 6}}}, {11, {}}});
  auto bin = [&](Operand::Kind k, Operand l, Operand r) { return operand_binary(k, std::move(l), std::move(r)); };
  EXPECT_EQ(*bin(Operand::Kind::Add, b.ref("a"), constant(1.5)).eval(b.window, 0), 7.5);
  EXPECT_EQ(*bin(Operand::Kind::Sub, b.ref("a"), constant(1.5)).eval(b.window, 0), 4.5);
  EXPECT_EQ(*bin(Operand::Kind::Mul, b.ref("a"), constant(1.5)).eval(b.window, 0), 9.0);
  EXPECT_EQ(*bin(Operand::Kind::Div, b.ref("a"), constant(4)).eval(b.window, 0), 1.5);
  EXPECT_FALSE(bin(Operand::Kind::Add, b.ref("a"), constant(1)).eval(b.window, 1));
  EXPECT_FALSE(bin(Operand::Kind::Add, constant(1), b.ref("a")).eval(b.window, 1));
  // Past the newest record nothing has a value, not even a constant.
  EXPECT_FALSE(constant(1).eval(b.window, 2));
}

TEST(RuleEval, PriceFields) {
  Bars b({}, {{100.3, {}}});
  const double c = 100.3, o = c - 1, h = c + 2, l = c - 3;
  const std::pair<PriceField, double> fields[] = {
      {PriceField::Open, o},
      {PriceField::High, h},
      {PriceField::Low, l},
      {PriceField::Close, c},
      {PriceField::Volume, 10 * c},
      {PriceField::Hlc3, ((h + l) + c) / 3},
      {PriceField::Ohlc4, (((o + h) + l) + c) * 0.25},
  };
  for (const auto& [f, want] : fields) EXPECT_EQ(*price(f).eval(b.window, 0), want) << int(f);
}

TEST(RuleEval, PrevReadsEarlierRecords) {
  Bars b({"x"}, {{1, {{"x", 10}}}, {2, {{"x", 20}}}, {3, {}}, {4, {{"x", 40}}}});
  const Operand prev2 = operand_prev(b.ref("x"), 2);
  EXPECT_FALSE(prev2.eval(b.window, 0));
  EXPECT_FALSE(prev2.eval(b.window, 1));
  EXPECT_EQ(*prev2.eval(b.window, 2), 10);
  EXPECT_EQ(*prev2.eval(b.window, 3), 20);
  const Operand prev0 = operand_prev(b.ref("x"), 0);
  EXPECT_EQ(*prev0.eval(b.window, 3), 40);
  EXPECT_FALSE(prev0.eval(b.window, 2));
  const Operand nested = operand_prev(operand_prev(price(PriceField::Close), 1), 2);
  EXPECT_EQ(*nested.eval(b.window, 3), 1);
  EXPECT_FALSE(nested.eval(b.window, 2));
}

TEST(RuleEval, CrossesNeedBothBarsAndAreFalseAtZero) {
  // fast: 1, 2, 3, 2, 1, 0;  slow: 2, 2, 2, 2, 2, absent
  Bars b({"fast", "slow"}, {{1, {{"fast", 1}, {"slow", 2}}},
                            {1, {{"fast", 2}, {"slow", 2}}},
                            {1, {{"fast", 3}, {"slow", 2}}},
                            {1, {{"fast", 2}, {"slow", 2}}},
                            {1, {{"fast", 1}, {"slow", 2}}},
                            {1, {{"fast", 0}}}});
  const Rule above = cmp(Rule::Kind::CrossAbove, b.ref("fast"), b.ref("slow"));
  const Rule below = cmp(Rule::Kind::CrossBelow, b.ref("fast"), b.ref("slow"));
  // Reference: a(t-1) <= b(t-1) && a(t) > b(t), all four present, t > 0.
  const std::optional<double> fast[] = {1, 2, 3, 2, 1, 0};
  const std::optional<double> slow[] = {2, 2, 2, 2, 2, std::nullopt};
  for (std::size_t t = 0; t < 6; ++t) {
    bool want_above = false, want_below = false;
    if (t > 0 && fast[t - 1] && slow[t - 1] && fast[t] && slow[t]) {
      want_above = *fast[t - 1] <= *slow[t - 1] && *fast[t] > *slow[t];
      want_below = *fast[t - 1] >= *slow[t - 1] && *fast[t] < *slow[t];
    }
    EXPECT_EQ(b.at(above, t), want_above) << t;
    EXPECT_EQ(b.at(below, t), want_below) << t;
  }
  EXPECT_TRUE(b.at(above, 2));  // equal on the previous bar, above now
  EXPECT_TRUE(b.at(below, 4));  // equal before, below now
  // Index 0 is never a cross even when the values would qualify.
  Bars one({"f", "s"}, {{1, {{"f", 5}, {"s", 1}}}});
  EXPECT_FALSE(one.at(cmp(Rule::Kind::CrossAbove, one.ref("f"), one.ref("s")), 0));
}

TEST(RuleEval, BetweenIsInclusive) {
  Bars b({}, {{1, {}}});
  auto between = [](double x, double lo, double hi) { return rule_between(constant(x), constant(lo), constant(hi)); };
  EXPECT_TRUE(b.at(between(1, 1, 2), 0));
  EXPECT_TRUE(b.at(between(2, 1, 2), 0));
  EXPECT_FALSE(b.at(between(2.5, 1, 2), 0));
  EXPECT_FALSE(b.at(between(1, 2, 1), 0));
  EXPECT_FALSE(b.at(between(kNan, 0, 2), 0));
  EXPECT_FALSE(b.at(rule_between(constant(1), operand_reference("none"), constant(2)), 0));
}

TEST(RuleEval, RisingAndFallingAgainstBatchReference) {
  const std::vector<std::optional<double>> xs = {3, 1, 4, 1, 5, std::nullopt, 2, 6, 5, 3};
  std::vector<std::pair<double, NamedValues>> bars;
  for (const auto& x : xs) bars.push_back({1.0, x ? NamedValues{{"x", *x}} : NamedValues{}});
  Bars b({"x"}, bars);
  for (std::uint32_t n : {0u, 1u, 2u, 3u, 9u, 10u}) {
    const Rule rising = rule_trend(Rule::Kind::Rising, b.ref("x"), n);
    const Rule falling = rule_trend(Rule::Kind::Falling, b.ref("x"), n);
    for (std::size_t t = 0; t < xs.size(); ++t) {
      bool want_rise = false, want_fall = false;
      if (t >= n && xs[t] && xs[t - n]) {
        want_rise = *xs[t] > *xs[t - n];
        want_fall = *xs[t] < *xs[t - n];
      }
      EXPECT_EQ(b.at(rising, t), want_rise) << "n=" << n << " t=" << t;
      EXPECT_EQ(b.at(falling, t), want_fall) << "n=" << n << " t=" << t;
    }
  }
  // A count beyond any window is simply never true.
  EXPECT_FALSE(b.at(rule_trend(Rule::Kind::Rising, b.ref("x"), 4294967295u), b.last()));
}

TEST(RuleEval, AllAndAnyOverLists) {
  Bars b({}, {{1, {}}});
  const Rule yes = cmp(Rule::Kind::Gt, constant(2), constant(1));
  const Rule no = cmp(Rule::Kind::Gt, constant(1), constant(2));
  EXPECT_TRUE(b.at(rule_list(Rule::Kind::All, {}), 0));
  EXPECT_FALSE(b.at(rule_list(Rule::Kind::Any, {}), 0));
  EXPECT_TRUE(b.at(rule_list(Rule::Kind::All, {yes, yes}), 0));
  EXPECT_FALSE(b.at(rule_list(Rule::Kind::All, {yes, no, yes}), 0));
  EXPECT_TRUE(b.at(rule_list(Rule::Kind::Any, {no, no, yes}), 0));
  EXPECT_FALSE(b.at(rule_list(Rule::Kind::Any, {no, no}), 0));
  EXPECT_TRUE(b.at(Rule{}, 0));  // the default rule is an empty all
}

TEST(RuleEval, PositionRules) {
  Bars b({}, {{1, {}}});
  const PositionContext flat{};
  const PositionContext open5{5u, true};
  EXPECT_TRUE(b.at(rule_in_position(false), 0, flat));
  EXPECT_FALSE(b.at(rule_in_position(true), 0, flat));
  EXPECT_TRUE(b.at(rule_in_position(true), 0, open5));
  // Against 5 bars since entry; never true while no entry is recorded.
  const std::tuple<Comparator, std::uint32_t, bool> cases[] = {
      {Comparator::Gt, 5, false}, {Comparator::Lt, 6, true}, {Comparator::Ge, 5, true},
      {Comparator::Le, 4, false}, {Comparator::Eq, 5, true}};
  for (const auto& [c, n, want] : cases) {
    EXPECT_EQ(b.at(rule_bars_since_entry(c, n), 0, open5), want) << int(c) << " " << n;
    EXPECT_FALSE(b.at(rule_bars_since_entry(c, n), 0, flat));
  }
  // Zero bars since entry is a recorded entry.
  EXPECT_TRUE(b.at(rule_bars_since_entry(Comparator::Le, 0), 0, PositionContext{0u, true}));
}

TEST(RuleLookback, CombinesOperandsAndRules) {
  auto prev = [](Operand x, std::uint32_t lag) { return operand_prev(std::move(x), lag); };
  const Operand a = operand_reference("a");
  const Operand b = operand_reference("b");
  EXPECT_EQ(cmp(Rule::Kind::CrossAbove, prev(a, 2), b).lookback(), 3u);
  EXPECT_EQ(rule_trend(Rule::Kind::Rising, prev(price(PriceField::Close), 1), 5).lookback(), 6u);
  EXPECT_EQ(cmp(Rule::Kind::Gt, prev(a, 4), prev(b, 7)).lookback(), 7u);
  EXPECT_EQ(rule_between(a, prev(b, 3), constant(1)).lookback(), 3u);
  EXPECT_EQ(cmp(Rule::Kind::Gt, operand_binary(Operand::Kind::Sub, prev(a, 2), prev(b, 9)), constant(0)).lookback(),
            9u);
  EXPECT_EQ(rule_list(Rule::Kind::Any, {}).lookback(), 0u);
  EXPECT_EQ(rule_list(Rule::Kind::All, {cmp(Rule::Kind::Gt, prev(a, 1), b),
                                              rule_not(rule_trend(Rule::Kind::Falling, a, 4))})
                .lookback(),
            4u);
  EXPECT_EQ(rule_in_position(true).lookback(), 0u);
  EXPECT_EQ(rule_bars_since_entry(Comparator::Ge, 100).lookback(), 0u);
  EXPECT_EQ(rule_trend(Rule::Kind::Rising, a, 0).lookback(), 0u);
}

TEST(RuleLookback, LargeCountsAddInSixtyFourBits) {
  const std::uint64_t max32 = 4294967295u;
  const Operand deep = operand_prev(operand_prev(operand_reference("x"), 4294967295u), 4294967295u);
  EXPECT_EQ(deep.lookback(), 2 * max32);
  EXPECT_EQ(rule_trend(Rule::Kind::Rising, deep, 4294967295u).lookback(), 3 * max32);
  EXPECT_EQ(cmp(Rule::Kind::CrossBelow, deep, constant(0)).lookback(), 2 * max32 + 1);
  const std::uint64_t max64 = std::numeric_limits<std::uint64_t>::max();
  EXPECT_EQ(saturating_add(max64 - 1, 1), max64);
  EXPECT_EQ(saturating_add(max64 - 1, 2), max64);
  EXPECT_EQ(saturating_add(max64, max64), max64);
  EXPECT_EQ(saturating_add(3, 4), 7u);
}

}  // namespace
}  // namespace vsci
