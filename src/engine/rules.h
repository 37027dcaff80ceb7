// Rules and operands: the entry and exit conditions of a strategy, their
// evaluation at one bar of the history window and the look-back each needs.
// Trees are plain copyable values. Evaluation is const, allocates nothing and
// never fails: a missing value or NaN makes a comparison false.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/bar_record.h"

namespace vsci {

enum class PriceField : std::uint8_t { Open, High, Low, Close, Volume, Hlc3, Ohlc4 };

// A numeric expression over indicator values, candle prices, earlier bars and
// constants.
struct Operand {
  enum class Kind : std::uint8_t { Reference, Constant, Price, Prev, Add, Sub, Mul, Div };

  Kind kind = Kind::Constant;
  double constant = 0.0;           // Constant
  std::string reference;           // Reference: the key text as written
  Slot slot = NO_SLOT;             // Reference: its key's storage slot, bound by the engine
  PriceField field = PriceField::Close;  // Price
  std::uint32_t lag = 0;           // Prev
  std::vector<Operand> args;       // Prev: {x}; Add..Div: {left, right}

  // The value at window index t, or none (t past the window, a missing value,
  // a reference that was never bound).
  std::optional<double> eval(const HistoryWindow& window, std::size_t t) const;
  // Earlier bars read, saturating at the largest 64-bit count.
  std::uint64_t lookback() const;
};

enum class Comparator : std::uint8_t { Gt, Lt, Ge, Le, Eq };

struct Rule {
  enum class Kind : std::uint8_t {
    Gt,
    Lt,
    Ge,
    Le,
    Eq,
    Ne,
    CrossAbove,
    CrossBelow,
    Between,
    Rising,
    Falling,
    All,
    Any,
    Not,
    InPosition,
    BarsSinceEntry,
  };

  Kind kind = Kind::All;           // an empty All: always true
  std::vector<Operand> operands;   // Gt..CrossBelow {a, b}; Between {x, low, high}; Rising/Falling {x}
  std::vector<Rule> children;      // All/Any: the list; Not: one child
  std::uint32_t count = 0;         // Rising/Falling n; BarsSinceEntry n
  Comparator comparator = Comparator::Gt;  // BarsSinceEntry
  bool flag = false;               // InPosition

  // Whether the rule holds at window index t.
  bool eval(const HistoryWindow& window, std::size_t t, const PositionContext& position) const;
  // Earlier bars read, saturating at the largest 64-bit count.
  std::uint64_t lookback() const;
};

// Adds a and b, saturating at the largest 64-bit count.
std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b);

// Calls f(operand) for every Reference operand under `node` (a Rule or an
// Operand, const or not), in the order validation visits them: operands left
// to right, sub-rules in list order, depth first.
template <class Node, class F>
void for_each_reference(Node& node, F&& f) {
  if constexpr (std::is_same_v<std::remove_const_t<Node>, Operand>) {
    if (node.kind == Operand::Kind::Reference) {
      f(node);
      return;
    }
    for (auto& arg : node.args) for_each_reference(arg, f);
  } else {
    for (auto& op : node.operands) for_each_reference(op, f);
    for (auto& child : node.children) for_each_reference(child, f);
  }
}

}  // namespace vsci
