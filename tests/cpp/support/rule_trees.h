// Rule and operand trees built in code, as the strategy reader would build
// them from their JSON forms, for tests that evaluate or validate a tree
// without writing its text.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/rules.h"

namespace vsci {

// A default `Node` (the constant 0, an empty All) with `set` applied.
template <class Node, class Set>
Node node_with(Set&& set) {
  Node node;
  set(node);
  return node;
}

inline Operand operand_reference(std::string key) {
  return node_with<Operand>([&](Operand& op) { op.kind = Operand::Kind::Reference; op.reference = std::move(key); });
}

inline Operand operand_constant(double value) {
  return node_with<Operand>([&](Operand& op) { op.constant = value; });
}

inline Operand operand_price(PriceField field) {
  return node_with<Operand>([&](Operand& op) { op.kind = Operand::Kind::Price; op.field = field; });
}

inline Operand operand_prev(Operand x, std::uint32_t lag) {
  return node_with<Operand>([&](Operand& op) {
    op.kind = Operand::Kind::Prev;
    op.lag = lag;
    op.args.push_back(std::move(x));
  });
}

// Add, Sub, Mul or Div.
inline Operand operand_binary(Operand::Kind kind, Operand left, Operand right) {
  return node_with<Operand>([&](Operand& op) {
    op.kind = kind;
    op.args.push_back(std::move(left));
    op.args.push_back(std::move(right));
  });
}

// Gt..CrossBelow over {a, b}, Between over {x, low, high}, Rising/Falling
// over {x} for `count` bars.
inline Rule rule_over(Rule::Kind kind, std::vector<Operand> operands, std::uint32_t count = 0) {
  return node_with<Rule>([&](Rule& r) { r.kind = kind; r.operands = std::move(operands); r.count = count; });
}

inline Rule rule_compare(Rule::Kind kind, Operand a, Operand b) { return rule_over(kind, {std::move(a), std::move(b)}); }

inline Rule rule_between(Operand x, Operand low, Operand high) {
  return rule_over(Rule::Kind::Between, {std::move(x), std::move(low), std::move(high)});
}

inline Rule rule_trend(Rule::Kind kind, Operand x, std::uint32_t n) { return rule_over(kind, {std::move(x)}, n); }

// All or Any over `children`, or Not over its one child.
inline Rule rule_list(Rule::Kind kind, std::vector<Rule> children) {
  return node_with<Rule>([&](Rule& r) { r.kind = kind; r.children = std::move(children); });
}

inline Rule rule_not(Rule child) { return rule_list(Rule::Kind::Not, {std::move(child)}); }

inline Rule rule_in_position(bool flag) {
  return node_with<Rule>([&](Rule& r) { r.kind = Rule::Kind::InPosition; r.flag = flag; });
}

inline Rule rule_bars_since_entry(Comparator comparator, std::uint32_t n) {
  return node_with<Rule>([&](Rule& r) { r.kind = Rule::Kind::BarsSinceEntry; r.comparator = comparator; r.count = n; });
}

}  // namespace vsci
