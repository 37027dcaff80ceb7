// A strategy whose settings contradict one another is refused before the first
// bar, with a text naming both settings.
#include <string>

#include "engine/strategy_spec.h"
#include "factory/feed.h"

namespace vsci {

std::string_view split_reference(std::string_view reference) {
  return reference.substr(0, reference.find('.'));
}

Expected<void, BacktestError> check_rule_references(const Rule& rule,
                                                    const std::map<std::string, IndicatorSpec>& declared) {
  const Operand* bad = nullptr;
  for_each_reference(rule, [&](const Operand& op) {
    if (bad == nullptr && declared.find(std::string(split_reference(op.reference))) == declared.end()) bad = &op;
  });
  if (bad != nullptr) return unexpected(BacktestError::undeclared_indicator(bad->reference));
  return {};
}

namespace {

Expected<void, BacktestError> invalid(std::string message) {
  return unexpected(BacktestError::invalid_spec(std::move(message)));
}

constexpr std::uint32_t kHighestVersion = 1;

}  // namespace

Expected<void, BacktestError> StrategySpec::validate() const {
  Expected<void, BacktestError> references;
  for_each_rule(*this, [&](const Rule& rule) {
    if (references.ok()) references = check_rule_references(rule, indicators);
  });
  if (!references.ok()) return references;

  if (spec_version < 1 || spec_version > kHighestVersion) {
    return invalid("spec_version " + std::to_string(spec_version) + " is not supported; this build reads 1..=" +
                   std::to_string(kHighestVersion));
  }

  if (sizing.type == Sizing::Type::RiskPerTrade && !risk.stop_loss_pct) {
    return invalid(
        "sizing risk_per_trade requires risk.stop_loss_pct: the position size is                  derived from the "
        "distance to the stop");
  }

  for (const auto& [name, declared] : indicators) {
    const Feed consumed = feed_for_kind(declared.type);
    if (declared.feed == Feed::Unknown || consumed == Feed::Unknown || declared.feed == consumed) continue;
    return invalid("indicator '" + name + "' (" + declared.type + ") declares feed " +
                   std::string(feed_display_name(declared.feed)) + " but consumes " +
                   std::string(feed_display_name(consumed)));
  }

  const bool has_limit = execution.limit_offset_pct.has_value();
  const bool has_stop = execution.stop_offset_pct.has_value();
  switch (execution.order_type) {
    case OrderType::Limit:
      if (!has_limit) return invalid("limit order_type requires execution.limit_offset_pct");
      break;
    case OrderType::Stop:
      if (!has_stop) return invalid("stop order_type requires execution.stop_offset_pct");
      break;
    case OrderType::StopLimit:
      if (!has_limit || !has_stop) {
        return invalid(
            "stop_limit order_type requires both execution.stop_offset_pct and                      "
            "execution.limit_offset_pct");
      }
      break;
    case OrderType::Market:
      break;
  }

  if (execution.partial_fills && !execution.max_participation) {
    return invalid("partial_fills requires execution.max_participation");
  }

  if (execution.fill_timing == FillTiming::Close) {
    if (execution.order_type != OrderType::Market) return invalid("fill_timing close requires a market order_type");
    if (execution.latency_bars != 0) return invalid("fill_timing close is incompatible with latency_bars");
  }
  return {};
}

}  // namespace vsci
