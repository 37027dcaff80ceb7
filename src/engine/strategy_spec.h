// The strategy specification: declared indicators, the four rules, and the
// sizing, cost, slippage, risk and execution settings with their defaults, and
// its validation. Plain copyable values, read once per backtest; only an
// engine's own copy changes, its rule references bound to value slots.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rules.h"
#include "factory/backtest_error.h"
#include "factory/feed.h"
#include "util/expected.h"

namespace vsci {

struct IndicatorSpec {
  std::string type;
  std::vector<double> params;
  Feed feed = Feed::Unknown;  // Unknown: not declared
};

struct Sizing {
  enum class Type : std::uint8_t { FixedFraction, FixedQty, FixedCash, VolTarget, RiskPerTrade };
  Type type = Type::FixedFraction;
  double fraction = 0.0;      // FixedFraction
  double qty = 0.0;           // FixedQty
  double cash = 0.0;          // FixedCash
  double target_vol = 0.0;    // VolTarget
  std::uint32_t lookback = 0; // VolTarget
  double risk_pct = 0.0;      // RiskPerTrade
};

struct Slippage {
  enum class Type : std::uint8_t { FixedBps, Spread, VolumeImpact };
  Type type = Type::FixedBps;
  double bps = 0.0;   // FixedBps
  double coef = 0.0;  // VolumeImpact
};

struct Costs {
  double maker_bps = 0.0;
  double taker_bps = 0.0;
  Slippage slippage;  // fixed_bps with bps 0
  bool funding = false;
};

struct Risk {
  std::optional<double> stop_loss_pct;
  std::optional<double> take_profit_pct;
  std::optional<double> trailing_stop_pct;
  std::optional<double> max_leverage;
  std::optional<double> max_position_pct;
  bool liquidation = false;
};

enum class OrderType : std::uint8_t { Market, Limit, Stop, StopLimit };
enum class FillTiming : std::uint8_t { NextOpen, Close };

struct Execution {
  OrderType order_type = OrderType::Market;
  FillTiming fill_timing = FillTiming::NextOpen;
  std::optional<double> limit_offset_pct;
  std::optional<double> stop_offset_pct;
  std::uint32_t latency_bars = 0;
  bool partial_fills = false;
  std::optional<double> max_participation;
};

struct StrategySpec {
  std::uint32_t spec_version = 1;
  std::string symbol;
  std::optional<std::string> ref_symbol;
  std::string timeframe;
  // Ordered by name bytewise: the order indicators are built and updated in.
  std::map<std::string, IndicatorSpec> indicators;
  Rule entry;
  Rule exit;
  std::optional<Rule> short_entry;
  std::optional<Rule> short_exit;
  Sizing sizing;
  Costs costs;
  Risk risk;
  Execution execution;
  std::optional<std::uint32_t> warmup;

  // The first problem that makes the strategy unusable, in the fixed
  // check order; no side effects, so repeated calls agree.
  Expected<void, BacktestError> validate() const;

  // The largest look-back of the four rules, raised to vol_target's lookback
  // (saturating). The history window needs this many earlier records plus
  // the current one; callers cap it by the candle count.
  std::uint64_t lookback() const;
};

// Calls f(rule) on each rule present, in the order entry, exit, short_entry,
// short_exit; `spec` may be const or not.
template <class Spec, class F>
void for_each_rule(Spec& spec, F&& f) {
  f(spec.entry);
  f(spec.exit);
  if (spec.short_entry) f(*spec.short_entry);
  if (spec.short_exit) f(*spec.short_exit);
}

// The indicator-name part of a reference: the text before its first '.',
// or the whole text.
std::string_view split_reference(std::string_view reference);

// Every reference in `rule` must name a declared indicator (after
// split_reference); the first that does not gives UndeclaredIndicator with
// the whole reference as written.
Expected<void, BacktestError> check_rule_references(const Rule& rule,
                                                    const std::map<std::string, IndicatorSpec>& declared);

// The texts of the two cost-feed guards (also repeated per bar by the engine).
inline constexpr std::string_view SPREAD_NEEDS_BOOKS =
    "costs.slippage spread needs an order-book feed; without one every fill              would be priced at "
    "zero slippage";
inline constexpr std::string_view FUNDING_NEEDS_DERIVS =
    "costs.funding needs a derivatives feed; without one no funding would be              charged at all";

}  // namespace vsci
