// The outcome of one backtest: closed trades, the equity curve, the metrics,
// and the writer that turns them into the result document in one pass. Plain
// values; the writer is pure and callable from any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vsci {

namespace json {
class Writer;
}

enum class ExitReason : std::uint8_t { Signal, StopLoss, TrailingStop, TakeProfit, Liquidation, End };

std::string_view exit_reason_text(ExitReason reason);

struct Trade {
  std::int64_t entry_time = 0;
  std::int64_t exit_time = 0;
  double entry_price = 0.0;
  double exit_price = 0.0;
  double qty = 0.0;  // signed: negative for a short
  double pnl = 0.0;
  double return_pct = 0.0;
  ExitReason reason = ExitReason::Signal;
};

struct EquityPoint {
  std::int64_t time = 0;
  double equity = 0.0;
};

struct Metrics {
  double pnl = 0.0;
  double return_pct = 0.0;
  double sharpe = 0.0;
  double sortino = 0.0;
  double calmar = 0.0;
  double max_drawdown = 0.0;
  double win_rate = 0.0;
  double profit_factor = 0.0;
  std::uint64_t num_trades = 0;
};

struct BacktestResult {
  std::uint32_t schema_version = 1;
  std::string symbol;
  std::string timeframe;
  Metrics metrics;
  std::vector<Trade> trades;
  std::vector<EquityPoint> equity;
  double fees_paid = 0.0;
  double initial_capital = 0.0;
};

// A member of a record in the result document: its name and the value of
// the record it holds, one of a float (written null when not finite), an
// integer or the exit reason (written as its text).
template <class Record>
struct Member {
  constexpr Member(std::string_view n, double Record::*v) : name(n), f64(v) {}
  constexpr Member(std::string_view n, std::int64_t Record::*v) : name(n), i64(v) {}
  constexpr Member(std::string_view n, std::uint64_t Record::*v) : name(n), u64(v) {}
  constexpr Member(std::string_view n, ExitReason Record::*v) : name(n), reason(v) {}
  std::string_view name;
  double Record::*f64 = nullptr;
  std::int64_t Record::*i64 = nullptr;
  std::uint64_t Record::*u64 = nullptr;
  ExitReason Record::*reason = nullptr;
};

// Each record's members in the order the engine writes them.
inline constexpr Member<EquityPoint> kPointMembers[] = {{"time", &EquityPoint::time}, {"equity", &EquityPoint::equity}};
inline constexpr Member<Trade> kTradeMembers[] = {
    {"entry_time", &Trade::entry_time}, {"exit_time", &Trade::exit_time}, {"entry_price", &Trade::entry_price},
    {"exit_price", &Trade::exit_price}, {"qty", &Trade::qty},             {"pnl", &Trade::pnl},
    {"return_pct", &Trade::return_pct}, {"reason", &Trade::reason}};
inline constexpr Member<Metrics> kMetricMembers[] = {
    {"pnl", &Metrics::pnl},       {"return_pct", &Metrics::return_pct},     {"sharpe", &Metrics::sharpe},
    {"sortino", &Metrics::sortino}, {"calmar", &Metrics::calmar},           {"max_drawdown", &Metrics::max_drawdown},
    {"win_rate", &Metrics::win_rate}, {"profit_factor", &Metrics::profit_factor}, {"num_trades", &Metrics::num_trades}};

// The positions of a record's members in the order of their names' bytes,
// which is the order of their paths.
template <const auto& kMembers>
inline constexpr auto kKeyOrder = [] {
  std::array<std::uint8_t, std::size(kMembers)> order{};
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint8_t>(i);
  for (std::size_t i = 1; i < order.size(); ++i) {
    for (std::size_t j = i; j > 0 && kMembers[order[j]].name < kMembers[order[j - 1]].name; --j) {
      std::swap(order[j], order[j - 1]);
    }
  }
  return order;
}();

// How the members of the result document's objects are laid out: in declared
// order (the engine's own document), or ordered by key bytes, as a document
// tree holding the same result would write it (what bless stores).
enum class MemberOrder : unsigned char { Declared, Key };

// The compact result document.
std::string write_result(const BacktestResult& result, MemberOrder order = MemberOrder::Declared);
// The same document written as the next value of `w`, inside a larger one
// (bless's answer), so that its text is never held twice.
void write_result(json::Writer& w, const BacktestResult& result, MemberOrder order);

}  // namespace vsci
