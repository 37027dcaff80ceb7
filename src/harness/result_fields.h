// The numbers of a backtest result document as its text holds them, named
// once: the document's members, its metrics, an equity point's and a trade's
// members, each list of names in key order (the order of their paths), and
// the number the text holds at each. Read by the comparison with an expected
// document and by the property checks' look-ups, so that both follow the
// result writer from one list. Pure; thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "engine/result.h"

namespace vsci::result_fields {

enum Top : std::uint8_t { kEquity, kFeesPaid, kInitialCapital, kMetrics, kSchemaVersion, kSymbol, kTimeframe, kTrades };
inline constexpr std::string_view kTopNames[] = {"equity",         "fees_paid", "initial_capital", "metrics",
                                                 "schema_version", "symbol",    "timeframe",       "trades"};
inline constexpr std::string_view kMetricNames[] = {"calmar",     "max_drawdown", "num_trades", "pnl",     "profit_factor",
                                                    "return_pct", "sharpe",       "sortino",    "win_rate"};
inline constexpr std::string_view kPointNames[] = {"equity", "time"};
inline constexpr std::string_view kTradeNames[] = {"entry_price", "entry_time", "exit_price", "exit_time",
                                                   "pnl",         "qty",        "reason",     "return_pct"};

using Names = std::span<const std::string_view>;

// The member `key` names, trying `hint` first (members usually come in this
// order); -1 for a name the result does not have.
int find_name(Names names, std::string_view key, int hint);

// What the result's text holds at a member, as a number: none where the
// writer writes null (a value that is not finite), a string or an object.
std::optional<double> top_number(const BacktestResult& r, int top);
std::optional<double> metric_number(const Metrics& m, int k);
std::optional<double> point_number(const EquityPoint& p, int k);
std::optional<double> trade_number(const Trade& t, int k);

// The same at a field path ("fees_paid", "metrics.sharpe", "trades[3].qty").
std::optional<double> number_at(const BacktestResult& r, std::string_view path);

}  // namespace vsci::result_fields
