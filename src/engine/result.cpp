// The result document is written in one pass into one reservation, because the
// equity curve of a long run is most of the bytes the caller receives.
#include "engine/result.h"

#include "json/writer.h"

namespace vsci {

std::string_view exit_reason_text(ExitReason reason) {
  switch (reason) {
    case ExitReason::Signal:
      return "signal";
    case ExitReason::StopLoss:
      return "stop_loss";
    case ExitReason::TrailingStop:
      return "trailing_stop";
    case ExitReason::TakeProfit:
      return "take_profit";
    case ExitReason::Liquidation:
      return "liquidation";
    case ExitReason::End:
      return "end";
  }
  return "signal";
}

std::string write_result(const BacktestResult& r) {
  json::Writer w;
  // About 50 bytes an equity point and 200 a trade: one reservation instead of
  // repeated growth over a long run.
  w.reserve(r.equity.size() * 56 + r.trades.size() * 224 + 512);
  w.begin_object();
  w.key("schema_version");
  w.u64(r.schema_version);
  w.key("symbol");
  w.string(r.symbol);
  w.key("timeframe");
  w.string(r.timeframe);

  const Metrics& m = r.metrics;
  w.key("metrics");
  w.begin_object();
  w.key("pnl");
  w.f64(m.pnl);
  w.key("return_pct");
  w.f64(m.return_pct);
  w.key("sharpe");
  w.f64(m.sharpe);
  w.key("sortino");
  w.f64(m.sortino);
  w.key("calmar");
  w.f64(m.calmar);
  w.key("max_drawdown");
  w.f64(m.max_drawdown);
  w.key("win_rate");
  w.f64(m.win_rate);
  w.key("profit_factor");
  w.f64(m.profit_factor);
  w.key("num_trades");
  w.u64(m.num_trades);
  w.end_object();

  w.key("trades");
  w.begin_array();
  for (const Trade& t : r.trades) {
    w.begin_object();
    w.key("entry_time");
    w.i64(t.entry_time);
    w.key("exit_time");
    w.i64(t.exit_time);
    w.key("entry_price");
    w.f64(t.entry_price);
    w.key("exit_price");
    w.f64(t.exit_price);
    w.key("qty");
    w.f64(t.qty);
    w.key("pnl");
    w.f64(t.pnl);
    w.key("return_pct");
    w.f64(t.return_pct);
    w.key("reason");
    w.string(exit_reason_text(t.reason));
    w.end_object();
  }
  w.end_array();

  w.key("equity");
  w.begin_array();
  for (const EquityPoint& p : r.equity) {
    w.begin_object();
    w.key("time");
    w.i64(p.time);
    w.key("equity");
    w.f64(p.equity);
    w.end_object();
  }
  w.end_array();

  w.key("fees_paid");
  w.f64(r.fees_paid);
  w.key("initial_capital");
  w.f64(r.initial_capital);
  w.end_object();
  return w.take();
}

}  // namespace vsci
