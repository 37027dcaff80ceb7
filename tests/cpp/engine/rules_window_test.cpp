#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/bar_record.h"
#include "engine/rules.h"
#include "support/rule_trees.h"

namespace vsci {
namespace {

TEST(SlotTable, AssignsSlotsInBytewiseKeyOrder) {
  const SlotTable table({"sma", "bb.upper", "bb", "Zeta", "sma", "bb.upper", "\xc3\xa9t\xc3\xa9"});
  // Unique keys sorted as bytes: "Zeta" < "bb" < "bb.upper" < "sma" < "\xc3..." (0xC3 above ASCII).
  const std::vector<std::string> want = {"Zeta", "bb", "bb.upper", "sma", "\xc3\xa9t\xc3\xa9"};
  ASSERT_EQ(table.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(table.key(static_cast<Slot>(i)), want[i]);
    EXPECT_EQ(table.find(want[i]), i);
  }
  EXPECT_EQ(table.find("zeta"), NO_SLOT);
  EXPECT_EQ(table.find(""), NO_SLOT);
  EXPECT_EQ(table.find("bb.upp"), NO_SLOT);
  EXPECT_EQ(table.find_output("bb", "upper"), table.find("bb.upper"));
  EXPECT_EQ(table.find_output("bb", "lower"), NO_SLOT);
  EXPECT_EQ(SlotTable().find("x"), NO_SLOT);
}

TEST(SlotTable, OutputKeyAndDottedNameShareOneSlot) {
  // An indicator named "a.b" and the output "b" of indicator "a" store under
  // the same key, so the later store of a bar wins, as in a map.
  const SlotTable table({"a", "a.b"});
  EXPECT_EQ(table.find_output("a", "b"), table.find("a.b"));
  HistoryWindow w(1, table.size());
  BarRecord& r = w.push(Candle{});
  r.set(table.find_output("a", "b"), 1.0);
  r.set(table.find("a.b"), 2.0);
  EXPECT_EQ(*w[0].value(table.find("a.b")), 2.0);
}

TEST(HistoryWindow, KeepsNewestRecordsOldestFirst) {
  HistoryWindow w(3, 2);
  EXPECT_EQ(w.size(), 0u);
  for (int i = 0; i < 5; ++i) {
    Candle c;
    c.time = i;
    c.close = 100 + i;
    BarRecord& r = w.push(c);
    // A reused record starts with every value absent.
    EXPECT_FALSE(r.value(0));
    EXPECT_FALSE(r.value(1));
    if (i % 2 == 0) r.set(0, i * 10.0);
    r.set(NO_SLOT, 1.0);  // a key without a slot is not stored
    EXPECT_EQ(w.size(), std::min(i + 1, 3));
  }
  EXPECT_EQ(w.capacity(), 3u);
  ASSERT_EQ(w.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const int bar = static_cast<int>(i) + 2;
    EXPECT_EQ(w[i].candle.time, bar);
    EXPECT_EQ(w[i].candle.close, 100 + bar);
    EXPECT_EQ(w[i].value(0), bar % 2 == 0 ? std::optional<double>(bar * 10.0) : std::nullopt);
    EXPECT_FALSE(w[i].value(1));
    EXPECT_FALSE(w[i].value(7));
  }
}

TEST(HistoryWindow, RulesIndexTheWindowNotTheRun) {
  // Ten closes 1..10 through a window of three: index 0 holds close 8.
  HistoryWindow w(3, 0);
  for (int i = 1; i <= 10; ++i) w.push(Candle{i, 0, 0, 0, static_cast<double>(i), 0});
  const Operand close = operand_price(PriceField::Close);
  EXPECT_EQ(*close.eval(w, 0), 8.0);
  EXPECT_EQ(*operand_prev(close, 2).eval(w, 2), 8.0);
  EXPECT_FALSE(operand_prev(close, 3).eval(w, 2));
  const Rule rising2 = rule_trend(Rule::Kind::Rising, close, 2);
  EXPECT_TRUE(rising2.eval(w, 2, {}));
  EXPECT_FALSE(rule_trend(Rule::Kind::Rising, close, 3).eval(w, 2, {}));
}

}  // namespace
}  // namespace vsci
