#include "harness/result_fields.h"

#include <charconv>
#include <cmath>
#include <cstddef>

namespace vsci::result_fields {

namespace {

std::optional<double> finite(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

// The item index and member of "name[i].member" when `path` is one, i written
// as the flattening writes it (no leading zero) and below `count`.
std::optional<std::size_t> item(std::string_view path, std::string_view name, std::size_t count,
                                std::string_view& member) {
  if (!path.starts_with(name) || path.size() <= name.size() + 1 || path[name.size()] != '[') return std::nullopt;
  const std::string_view rest = path.substr(name.size() + 1);
  std::size_t i = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), i);
  const auto digits = static_cast<std::size_t>(end - rest.data());
  if (ec != std::errc() || digits == 0 || (digits > 1 && rest[0] == '0') || i >= count) return std::nullopt;
  if (!rest.substr(digits).starts_with("].")) return std::nullopt;
  member = rest.substr(digits + 2);
  return i;
}

}  // namespace

int find_name(Names names, std::string_view key, int hint) {
  if (hint >= 0 && static_cast<std::size_t>(hint) < names.size() && names[static_cast<std::size_t>(hint)] == key) {
    return hint;
  }
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (names[k] == key) return static_cast<int>(k);
  }
  return -1;
}

std::optional<double> top_number(const BacktestResult& r, int top) {
  switch (top) {
    case kFeesPaid: return finite(r.fees_paid);
    case kInitialCapital: return finite(r.initial_capital);
    case kSchemaVersion: return static_cast<double>(r.schema_version);
    default: return std::nullopt;
  }
}

std::optional<double> metric_number(const Metrics& m, int k) {
  switch (k) {
    case 0: return finite(m.calmar);
    case 1: return finite(m.max_drawdown);
    case 2: return static_cast<double>(m.num_trades);
    case 3: return finite(m.pnl);
    case 4: return finite(m.profit_factor);
    case 5: return finite(m.return_pct);
    case 6: return finite(m.sharpe);
    case 7: return finite(m.sortino);
    default: return finite(m.win_rate);
  }
}

std::optional<double> point_number(const EquityPoint& p, int k) {
  return k == 0 ? finite(p.equity) : static_cast<double>(p.time);
}

std::optional<double> trade_number(const Trade& t, int k) {
  switch (k) {
    case 0: return finite(t.entry_price);
    case 1: return static_cast<double>(t.entry_time);
    case 2: return finite(t.exit_price);
    case 3: return static_cast<double>(t.exit_time);
    case 4: return finite(t.pnl);
    case 5: return finite(t.qty);
    case 6: return std::nullopt;  // the reason, a string
    default: return finite(t.return_pct);
  }
}

std::optional<double> number_at(const BacktestResult& r, std::string_view path) {
  std::string_view member;
  if (const auto i = item(path, kTopNames[kEquity], r.equity.size(), member)) {
    const int k = find_name(kPointNames, member, -1);
    return k < 0 ? std::nullopt : point_number(r.equity[*i], k);
  }
  if (const auto i = item(path, kTopNames[kTrades], r.trades.size(), member)) {
    const int k = find_name(kTradeNames, member, -1);
    return k < 0 ? std::nullopt : trade_number(r.trades[*i], k);
  }
  if (path.starts_with("metrics.")) {
    const int k = find_name(kMetricNames, path.substr(8), -1);
    return k < 0 ? std::nullopt : metric_number(r.metrics, k);
  }
  return top_number(r, find_name(kTopNames, path, -1));
}

}  // namespace vsci::result_fields
