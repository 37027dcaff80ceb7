#include "factory/build_indicator.h"

#include <algorithm>
#include <array>
#include <vector>

#include "factory/params.h"
#include "factory/registry.h"

namespace vsci {

// Each family's rows, from its src/factory/kinds_<family>.cpp.
std::span<const KindEntry> moving_average_kinds();
std::span<const KindEntry> adaptive_average_kinds();
std::span<const KindEntry> regression_kinds();
std::span<const KindEntry> momentum_kinds();
std::span<const KindEntry> ma_oscillator_kinds();
std::span<const KindEntry> rsi_family_kinds();
std::span<const KindEntry> trend_strength_kinds();
std::span<const KindEntry> cycle_filter_kinds();
std::span<const KindEntry> hilbert_kinds();
std::span<const KindEntry> volatility_kinds();
std::span<const KindEntry> rolling_statistics_kinds();
std::span<const KindEntry> performance_ratio_kinds();
std::span<const KindEntry> price_transform_kinds();
std::span<const KindEntry> candle_oscillator_kinds();
std::span<const KindEntry> momentum_oscillator_kinds();
std::span<const KindEntry> range_position_kinds();
std::span<const KindEntry> range_estimator_kinds();
std::span<const KindEntry> directional_movement_kinds();
std::span<const KindEntry> money_flow_kinds();
std::span<const KindEntry> volume_line_kinds();
std::span<const KindEntry> volume_candle_kinds();
std::span<const KindEntry> volume_profile_kinds();
std::span<const KindEntry> market_profile_kinds();
std::span<const KindEntry> session_level_kinds();
std::span<const KindEntry> pivot_level_kinds();
std::span<const KindEntry> fib_level_kinds();
std::span<const KindEntry> geometry_level_kinds();
std::span<const KindEntry> chart_pattern_kinds();
std::span<const KindEntry> harmonic_pattern_kinds();
std::span<const KindEntry> candlestick_single_kinds();
std::span<const KindEntry> candlestick_multi_kinds();
std::span<const KindEntry> demark_count_kinds();
std::span<const KindEntry> td_bar_pattern_kinds();
std::span<const KindEntry> volatility_stop_kinds();
std::span<const KindEntry> trailing_stop_kinds();
std::span<const KindEntry> stop_system_kinds();
std::span<const KindEntry> deviation_band_kinds();
std::span<const KindEntry> envelope_channel_kinds();
std::span<const KindEntry> price_channel_kinds();
std::span<const KindEntry> smoothed_line_kinds();
std::span<const KindEntry> trend_strength_line_kinds();
std::span<const KindEntry> macd_family_kinds();
std::span<const KindEntry> stochastic_family_kinds();
std::span<const KindEntry> pair_statistic_kinds();
std::span<const KindEntry> spread_statistic_kinds();
std::span<const KindEntry> pair_test_kinds();
std::span<const KindEntry> trade_flow_kinds();
std::span<const KindEntry> order_book_kinds();
std::span<const KindEntry> derivatives_kinds();
std::span<const KindEntry> market_breadth_kinds();

namespace {

// The reference's sections: close-series kinds first, then candle kinds,
// multi-output kinds, and the kinds over a reference series or side feeds.
// A new family is its line here and its declaration above.
constexpr KindFamily kFamilies[] = {
    {"Moving averages", moving_average_kinds},
    {"Adaptive averages", adaptive_average_kinds},
    {"Regression", regression_kinds},
    {"Momentum", momentum_kinds},
    {"Moving-average oscillators", ma_oscillator_kinds},
    {"RSI family", rsi_family_kinds},
    {"Trend strength", trend_strength_kinds},
    {"Cycle filters", cycle_filter_kinds},
    {"Hilbert transform", hilbert_kinds},
    {"Volatility", volatility_kinds},
    {"Rolling statistics", rolling_statistics_kinds},
    {"Performance ratios", performance_ratio_kinds},
    {"Price transforms", price_transform_kinds},
    {"Candle oscillators", candle_oscillator_kinds},
    {"Momentum oscillators", momentum_oscillator_kinds},
    {"Range position", range_position_kinds},
    {"Range estimators", range_estimator_kinds},
    {"Directional movement", directional_movement_kinds},
    {"Money flow", money_flow_kinds},
    {"Volume lines", volume_line_kinds},
    {"Volume candles", volume_candle_kinds},
    {"Volume profiles", volume_profile_kinds},
    {"Market profiles", market_profile_kinds},
    {"Session levels", session_level_kinds},
    {"Pivot levels", pivot_level_kinds},
    {"Fibonacci levels", fib_level_kinds},
    {"Geometry levels", geometry_level_kinds},
    {"Chart patterns", chart_pattern_kinds},
    {"Harmonic patterns", harmonic_pattern_kinds},
    {"Candlestick patterns, single bar", candlestick_single_kinds},
    {"Candlestick patterns, several bars", candlestick_multi_kinds},
    {"DeMark counts", demark_count_kinds},
    {"DeMark bar patterns", td_bar_pattern_kinds},
    {"Volatility stops", volatility_stop_kinds},
    {"Trailing stops", trailing_stop_kinds},
    {"Stop systems", stop_system_kinds},
    {"Deviation bands", deviation_band_kinds},
    {"Envelope channels", envelope_channel_kinds},
    {"Price channels", price_channel_kinds},
    {"Smoothed lines", smoothed_line_kinds},
    {"Trend-strength lines", trend_strength_line_kinds},
    {"MACD family", macd_family_kinds},
    {"Stochastic family", stochastic_family_kinds},
    {"Pair statistics", pair_statistic_kinds},
    {"Spread statistics", spread_statistic_kinds},
    {"Pair tests", pair_test_kinds},
    {"Trade flow", trade_flow_kinds},
    {"Order book", order_book_kinds},
    {"Derivatives", derivatives_kinds},
    {"Market breadth", market_breadth_kinds},
};

constexpr std::string_view kFeedDisplayNames[] = {"Kline",       "Trade",        "Orderbook", "TradeQuote",
                                                  "Derivatives", "CrossSection", "Unknown"};

std::vector<const KindEntry*> build_table() {
  std::vector<const KindEntry*> table;
  for (const KindFamily& family : kind_families()) {
    for (const KindEntry& e : family.rows()) table.push_back(&e);
  }
  std::sort(table.begin(), table.end(), [](const KindEntry* a, const KindEntry* b) { return a->name < b->name; });
  return table;
}

// An alias starts the call again under its target's name, so every outcome,
// errors included, is exactly the target's.
constexpr KindAlias kAliases[] = {{"Bollinger", "BollingerBands"}, {"Macd", "MacdIndicator"}};

}  // namespace

std::span<const KindAlias> kind_aliases() { return kAliases; }

std::span<const KindFamily> kind_families() { return kFamilies; }

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

Feed feed_for_kind(std::string_view name) {
  const KindEntry* entry = find_kind(name);
  return entry == nullptr ? Feed::Unknown : entry->feed;
}

std::string_view feed_display_name(Feed feed) { return kFeedDisplayNames[static_cast<std::size_t>(feed)]; }

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
