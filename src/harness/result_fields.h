// The numbers of a backtest result document as its text holds them: the
// document's members, and the members of its records (metrics, an equity
// point, a trade) in key order (the order of their paths), taken from the
// tables the result writer writes from, with the number the text holds at
// each. Read by the comparison with an expected document and by the property
// checks' look-ups. Pure; thread-safe.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "engine/result.h"

namespace vsci::result_fields {

enum Top : std::uint8_t { kEquity, kFeesPaid, kInitialCapital, kMetrics, kSchemaVersion, kSymbol, kTimeframe, kTrades };
inline constexpr std::string_view kTopNames[] = {"equity",         "fees_paid", "initial_capital", "metrics",
                                                 "schema_version", "symbol",    "timeframe",       "trades"};

// A record's member names in key order.
template <const auto& kMembers>
inline constexpr auto kKeyNames = [] {
  std::array<std::string_view, std::size(kMembers)> names{};
  for (std::size_t k = 0; k < names.size(); ++k) names[k] = kMembers[kKeyOrder<kMembers>[k]].name;
  return names;
}();
inline constexpr auto& kMetricNames = kKeyNames<kMetricMembers>;
inline constexpr auto& kPointNames = kKeyNames<kPointMembers>;
inline constexpr auto& kTradeNames = kKeyNames<kTradeMembers>;

using Names = std::span<const std::string_view>;

// The member `key` names, trying `hint` first (members usually come in this
// order); -1 for a name the result does not have.
int find_name(Names names, std::string_view key, int hint);

// What the result's text holds at a member, as a number: none where the
// writer writes null (a value that is not finite), a string or an object.
inline std::optional<double> finite(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}
std::optional<double> top_number(const BacktestResult& r, int top);
// A record's k-th member in key order.
template <const auto& kMembers, class Record>
std::optional<double> number(const Record& r, std::size_t k) {
  const auto& m = kMembers[kKeyOrder<kMembers>[k]];
  if (m.f64 != nullptr) return finite(r.*(m.f64));
  if (m.i64 != nullptr) return static_cast<double>(r.*(m.i64));
  if (m.u64 != nullptr) return static_cast<double>(r.*(m.u64));
  return std::nullopt;
}

// The same at a field path ("fees_paid", "metrics.sharpe", "trades[3].qty").
std::optional<double> number_at(const BacktestResult& r, std::string_view path);

}  // namespace vsci::result_fields
