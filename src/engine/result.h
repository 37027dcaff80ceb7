// The outcome of one backtest: closed trades, the equity curve, the metrics,
// and the writer that turns them into the result document in one pass. Plain
// values; the writer is pure and callable from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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
