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

inline Operand operand_reference(std::string key) {
  Operand op;
  op.kind = Operand::Kind::Reference;
  op.reference = std::move(key);
  return op;
}

inline Operand operand_constant(double value) {
  Operand op;
  op.constant = value;
  return op;
}

inline Operand operand_price(PriceField field) {
  Operand op;
  op.kind = Operand::Kind::Price;
  op.field = field;
  return op;
}

inline Operand operand_prev(Operand x, std::uint32_t lag) {
  Operand op;
  op.kind = Operand::Kind::Prev;
  op.lag = lag;
  op.args.push_back(std::move(x));
  return op;
}

// Add, Sub, Mul or Div.
inline Operand operand_binary(Operand::Kind kind, Operand left, Operand right) {
  Operand op;
  op.kind = kind;
  op.args = {std::move(left), std::move(right)};
  return op;
}

// Gt..CrossBelow over {a, b}, Between over {x, low, high}, Rising/Falling
// over {x} with `count` bars.
inline Rule rule_over(Rule::Kind kind, std::vector<Operand> operands, std::uint32_t count = 0) {
  Rule r;
  r.kind = kind;
  r.operands = std::move(operands);
  r.count = count;
  return r;
}

inline Rule rule_compare(Rule::Kind kind, Operand a, Operand b) {
  return rule_over(kind, {std::move(a), std::move(b)});
}

inline Rule rule_between(Operand x, Operand low, Operand high) {
  return rule_over(Rule::Kind::Between, {std::move(x), std::move(low), std::move(high)});
}

inline Rule rule_trend(Rule::Kind kind, Operand x, std::uint32_t n) { return rule_over(kind, {std::move(x)}, n); }

// All/Any over `children`; Not over one child.
inline Rule rule_list(Rule::Kind kind, std::vector<Rule> children) {
  Rule r;
  r.kind = kind;
  r.children = std::move(children);
  return r;
}

inline Rule rule_not(Rule child) { return rule_list(Rule::Kind::Not, {std::move(child)}); }

inline Rule rule_in_position(bool flag) {
  Rule r;
  r.kind = Rule::Kind::InPosition;
  r.flag = flag;
  return r;
}

inline Rule rule_bars_since_entry(Comparator comparator, std::uint32_t n) {
  Rule r;
  r.kind = Rule::Kind::BarsSinceEntry;
  r.comparator = comparator;
  r.count = n;
  return r;
}

}  // namespace vsci
