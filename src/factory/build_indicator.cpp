#include "factory/build_indicator.h"

#include <algorithm>
#include <array>
#include <vector>

#include "factory/params.h"
#include "factory/registry.h"

namespace vsci {

namespace {

std::vector<const KindEntry*> build_table() {
  std::vector<const KindEntry*> table;
  // One line per family, so a new family is one added line.
  static constexpr std::span<const KindEntry> (*kFamilies[])() = {
      moving_average_kinds,
      momentum_kinds,
      adaptive_average_kinds,
      regression_kinds,
      ma_oscillator_kinds,
      rsi_family_kinds,
      trend_strength_kinds,
      volatility_kinds,
      rolling_statistics_kinds,
      performance_ratio_kinds,
      cycle_filter_kinds,
      hilbert_kinds,
      price_transform_kinds,
      fib_level_kinds,
      chart_pattern_kinds,
      harmonic_pattern_kinds,
      candle_oscillator_kinds,
      volatility_stop_kinds,
      momentum_oscillator_kinds,
      range_position_kinds,
      demark_count_kinds,
      money_flow_kinds,
      volume_profile_kinds,
      pivot_level_kinds,
      volume_line_kinds,
      candlestick_single_kinds,
      candlestick_multi_kinds,
      td_bar_pattern_kinds,
      pair_statistic_kinds,
      spread_statistic_kinds,
      pair_test_kinds,
      trade_flow_kinds,
      order_book_kinds,
      derivatives_kinds,
      market_breadth_kinds,
      deviation_band_kinds,
      envelope_channel_kinds,
      price_channel_kinds,
      market_profile_kinds,
      session_level_kinds,
      volume_candle_kinds,
      geometry_level_kinds,
      smoothed_line_kinds,
      trailing_stop_kinds,
      trend_strength_line_kinds,
      macd_family_kinds,
      stochastic_family_kinds,
      directional_movement_kinds,
      range_estimator_kinds,
      stop_system_kinds,
  };
  for (auto family : kFamilies) {
    for (const KindEntry& e : family()) table.push_back(&e);
  }
  std::sort(table.begin(), table.end(), [](const KindEntry* a, const KindEntry* b) { return a->name < b->name; });
  return table;
}

// An alias starts the call again under its target's name, so every outcome,
// errors included, is exactly the target's.
constexpr KindAlias kAliases[] = {{"Bollinger", "BollingerBands"}, {"Macd", "MacdIndicator"}};

}  // namespace

std::span<const KindAlias> kind_aliases() { return kAliases; }

std::span<const KindEntry* const> registry() {
  static const std::vector<const KindEntry*> table = build_table();
  return table;
}

const KindEntry* find_kind(std::string_view name) {
  auto table = registry();
  auto it = std::lower_bound(table.begin(), table.end(), name,
                             [](const KindEntry* e, std::string_view n) { return e->name < n; });
  if (it == table.end() || (*it)->name != name) return nullptr;
  return *it;
}

Expected<IndicatorPtr, BacktestError> build_indicator(std::string_view kind_name, std::span<const double> params) {
  std::string_view target = kind_name;
  for (const KindAlias& a : kAliases) {
    if (a.alias == target) {
      target = a.target;
      break;
    }
  }

  const KindEntry* entry = find_kind(target);
  if (entry == nullptr) return unexpected(BacktestError::unknown_indicator(std::string(target)));

  std::array<ParamValue, kMaxKindParams> values{};
  for (std::size_t pos = 0; pos < entry->params.size() && pos < kMaxKindParams; ++pos) {
    ParamValue& v = values[pos];
    switch (entry->params[pos]) {
      case 'f': {
        auto r = param_finite(params, pos, entry->name);
        if (!r.ok()) return unexpected(std::move(r).error());
        v.real = r.value();
        break;
      }
      case 'p': {
        auto r = param_positive_integer(params, pos, entry->name);
        if (!r.ok()) return unexpected(std::move(r).error());
        v.count = r.value();
        break;
      }
      case 'i': {
        auto r = param_i32(params, pos, entry->name);
        if (!r.ok()) return unexpected(std::move(r).error());
        v.i32 = r.value();
        break;
      }
      case 'u': {
        auto r = param_u32(params, pos, entry->name);
        if (!r.ok()) return unexpected(std::move(r).error());
        v.u32 = r.value();
        break;
      }
      default:
        break;
    }
  }
  IndicatorResult built = entry->make(values.data());
  if (!built.ok()) return unexpected(attach_indicator_name(entry->name, built.error()));
  return std::move(built).value();
}

}  // namespace vsci
