// The rules' look-back fixes how much history a run keeps. The engine binds
// each reference to a slot at its setup, so no name is looked up per bar.
#include "engine/strategy_spec.h"

#include <algorithm>

namespace vsci {

std::uint64_t StrategySpec::lookback() const {
  std::uint64_t deepest = 0;
  for_each_rule(*this, [&](const Rule& rule) { deepest = std::max(deepest, rule.lookback()); });
  if (sizing.type == Sizing::Type::VolTarget) deepest = std::max<std::uint64_t>(deepest, sizing.lookback);
  return deepest;
}

}  // namespace vsci
