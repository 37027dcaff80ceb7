// The result document is written in one pass into one reservation, because the
// equity curve of a long run is most of the bytes the caller receives.
#include "engine/result.h"

#include "json/number_format.h"
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

namespace {

using json::Writer;

// The longest texts of an equity point and of a trade: member names and
// punctuation, then integers and floats at their longest. The usual length
// takes plain floats of at most 17 digits and 13-digit times instead.
constexpr std::size_t kPointNames = 19;  // {"time":,"equity":}
constexpr std::size_t kMaxPointChars = kPointNames + json::kMaxIntChars + json::kMaxF64Chars;
constexpr std::size_t kUsualPointChars = kPointNames + 20 + 19;
constexpr std::size_t kTradeNames = 97;  // names, punctuation and the quotes of the reason
constexpr std::size_t kMaxTradeChars = kTradeNames + 2 * json::kMaxIntChars + 5 * json::kMaxF64Chars + 13;  // "trailing_stop"

char* put_point(char* p, const EquityPoint& e) {
  p = json::write_i64(Writer::put_text(p, "{\"time\":"), e.time);
  p = json::write_f64(Writer::put_text(p, ",\"equity\":"), e.equity);
  *p++ = '}';
  return p;
}

char* put_trade(char* p, const Trade& t) {
  p = json::write_i64(Writer::put_text(p, "{\"entry_time\":"), t.entry_time);
  p = json::write_i64(Writer::put_text(p, ",\"exit_time\":"), t.exit_time);
  p = json::write_f64(Writer::put_text(p, ",\"entry_price\":"), t.entry_price);
  p = json::write_f64(Writer::put_text(p, ",\"exit_price\":"), t.exit_price);
  p = json::write_f64(Writer::put_text(p, ",\"qty\":"), t.qty);
  p = json::write_f64(Writer::put_text(p, ",\"pnl\":"), t.pnl);
  p = json::write_f64(Writer::put_text(p, ",\"return_pct\":"), t.return_pct);
  // The reasons are plain words: no byte of them needs escaping.
  p = Writer::put_text(Writer::put_text(p, ",\"reason\":\""), exit_reason_text(t.reason));
  return Writer::put_text(p, "\"}");
}

}  // namespace

std::string write_result(const BacktestResult& r) {
  json::Writer w;
  // The equity curve and the trades are most of the text: reserved once for
  // their usual length, they are written straight into the buffer. Room
  // reserved and never written costs no memory.
  w.reserve(r.equity.size() * (kUsualPointChars + 1) + r.trades.size() * (kMaxTradeChars + 1) + kMaxPointChars +
            r.symbol.size() * 6 + r.timeframe.size() * 6 + 1024);
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
  w.raw_values(r.trades.size(), kMaxTradeChars,
               [&](char* p, std::size_t i) { return put_trade(p, r.trades[i]); });
  w.end_array();

  w.key("equity");
  w.begin_array();
  w.raw_values(r.equity.size(), kMaxPointChars,
               [&](char* p, std::size_t i) { return put_point(p, r.equity[i]); });
  w.end_array();

  w.key("fees_paid");
  w.f64(r.fees_paid);
  w.key("initial_capital");
  w.f64(r.initial_capital);
  w.end_object();
  return w.take();
}

}  // namespace vsci
