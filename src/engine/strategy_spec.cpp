// The rules' look-back fixes how much history a run keeps; binding turns each
// reference into a slot once, so no name is looked up per bar.
#include "engine/strategy_spec.h"

#include <algorithm>

namespace vsci {

std::uint64_t StrategySpec::lookback() const {
  std::uint64_t deepest = 0;
  for_each_rule(*this, [&](const Rule& rule) { deepest = std::max(deepest, rule.lookback()); });
  if (sizing.type == Sizing::Type::VolTarget) deepest = std::max<std::uint64_t>(deepest, sizing.lookback);
  return deepest;
}

SlotTable bind_slots(StrategySpec& spec) {
  std::vector<std::string> keys;
  keys.reserve(spec.indicators.size());
  for (const auto& entry : spec.indicators) keys.push_back(entry.first);
  for_each_rule(spec, [&](const Rule& rule) {
    for_each_reference(rule, [&](const Operand& op) { keys.push_back(op.reference); });
  });
  SlotTable table(std::move(keys));
  for_each_rule(spec, [&](Rule& rule) {
    for_each_reference(rule, [&](Operand& op) { op.slot = table.find(op.reference); });
  });
  return table;
}

}  // namespace vsci
