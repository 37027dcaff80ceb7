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

char* put_point_by_key(char* p, const EquityPoint& e) {
  p = json::write_f64(Writer::put_text(p, "{\"equity\":"), e.equity);
  p = json::write_i64(Writer::put_text(p, ",\"time\":"), e.time);
  *p++ = '}';
  return p;
}

// Member i of a trade, in declared order: entry_time, exit_time,
// entry_price, exit_price, qty, pnl, return_pct, reason.
char* put_trade_member(char* p, const Trade& t, int i) {
  switch (i) {
    case 0: return json::write_i64(Writer::put_text(p, "\"entry_time\":"), t.entry_time);
    case 1: return json::write_i64(Writer::put_text(p, "\"exit_time\":"), t.exit_time);
    case 2: return json::write_f64(Writer::put_text(p, "\"entry_price\":"), t.entry_price);
    case 3: return json::write_f64(Writer::put_text(p, "\"exit_price\":"), t.exit_price);
    case 4: return json::write_f64(Writer::put_text(p, "\"qty\":"), t.qty);
    case 5: return json::write_f64(Writer::put_text(p, "\"pnl\":"), t.pnl);
    case 6: return json::write_f64(Writer::put_text(p, "\"return_pct\":"), t.return_pct);
    default:
      // The reasons are plain words: no byte of them needs escaping.
      p = Writer::put_text(Writer::put_text(p, "\"reason\":\""), exit_reason_text(t.reason));
      *p++ = '"';
      return p;
  }
}

constexpr int kTradeDeclared[] = {0, 1, 2, 3, 4, 5, 6, 7};
constexpr int kTradeByKey[] = {2, 0, 3, 1, 5, 4, 7, 6};

char* put_trade(char* p, const Trade& t, MemberOrder order) {
  *p++ = '{';
  for (const int i : order == MemberOrder::Key ? kTradeByKey : kTradeDeclared) {
    if (p[-1] != '{') *p++ = ',';
    p = put_trade_member(p, t, i);
  }
  *p++ = '}';
  return p;
}

void write_metrics(json::Writer& w, const Metrics& m, MemberOrder order) {
  const std::pair<std::string_view, double> floats[] = {
      {"pnl", m.pnl},       {"return_pct", m.return_pct},     {"sharpe", m.sharpe},     {"sortino", m.sortino},
      {"calmar", m.calmar}, {"max_drawdown", m.max_drawdown}, {"win_rate", m.win_rate}, {"profit_factor", m.profit_factor},
  };
  // By key: calmar, max_drawdown, num_trades, pnl, profit_factor, return_pct,
  // sharpe, sortino, win_rate.
  constexpr int kByKey[] = {4, 5, -1, 0, 7, 1, 2, 3, 6};
  constexpr int kDeclared[] = {0, 1, 2, 3, 4, 5, 6, 7, -1};
  w.begin_object();
  for (const int i : order == MemberOrder::Key ? kByKey : kDeclared) {
    if (i < 0) {
      w.key("num_trades");
      w.u64(m.num_trades);
    } else {
      w.key(floats[i].first);
      w.f64(floats[i].second);
    }
  }
  w.end_object();
}

template <class Put>
void write_list(json::Writer& w, std::size_t count, std::size_t max_chars, Put put) {
  w.begin_array();
  w.raw_values(count, max_chars, put);
  w.end_array();
}

}  // namespace

std::string write_result(const BacktestResult& r, MemberOrder order) {
  json::Writer w;
  write_result(w, r, order);
  return w.take();
}

void write_result(json::Writer& w, const BacktestResult& r, MemberOrder order) {
  // The equity curve and the trades are most of the text: reserved once for
  // their usual length, they are written straight into the buffer. Room
  // reserved and never written costs no memory; the slack takes the members
  // of an enclosing document that follow (a test's tolerances and checks), so
  // that they do not move the whole text.
  w.reserve(w.size() + r.equity.size() * (kUsualPointChars + 1) + r.trades.size() * (kMaxTradeChars + 1) +
            kMaxPointChars + r.symbol.size() * 6 + r.timeframe.size() * 6 + 4096);
  const bool by_key = order == MemberOrder::Key;
  const auto trades = [&] {
    w.key("trades");
    write_list(w, r.trades.size(), kMaxTradeChars, [&](char* p, std::size_t i) {
      return put_trade(p, r.trades[i], order);
    });
  };
  const auto equity = [&] {
    w.key("equity");
    write_list(w, r.equity.size(), kMaxPointChars, [&](char* p, std::size_t i) {
      return by_key ? put_point_by_key(p, r.equity[i]) : put_point(p, r.equity[i]);
    });
  };
  const auto money = [&] {
    w.key("fees_paid");
    w.f64(r.fees_paid);
    w.key("initial_capital");
    w.f64(r.initial_capital);
  };
  const auto metrics = [&] {
    w.key("metrics");
    write_metrics(w, r.metrics, order);
  };
  const auto names = [&] {
    w.key("schema_version");
    w.u64(r.schema_version);
    w.key("symbol");
    w.string(r.symbol);
    w.key("timeframe");
    w.string(r.timeframe);
  };
  w.begin_object();
  if (by_key) {
    equity();
    money();
    metrics();
    names();
    trades();
  } else {
    names();
    metrics();
    trades();
    equity();
    money();
  }
  w.end_object();
}

}  // namespace vsci
