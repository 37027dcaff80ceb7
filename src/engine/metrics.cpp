// The metrics are computed once, after the last bar, from the equity curve and
// the trade list; per-bar returns are walked twice rather than stored. Where
// the metrics depart from a plain reading of their rules, the README's
// "Deliberate choices a user may notice" says how and why.
#include "engine/metrics.h"

#include <cmath>

#include "engine/bar_record.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

struct ReturnStats {
  double sharpe = 0.0;
  double sortino = 0.0;
};

// Per-bar returns of the curve: r[i] = E[i+1] / E[i] - 1, 0 after a (near)
// zero point, and the change over |E[i]| after a negative one, where the
// ratio's sign would turn a fall into a rise. Two passes, so the returns are
// never stored.
ReturnStats return_stats(std::span<const EquityPoint> equity) {
  const std::size_t n = equity.size();
  if (n < 2) return {};
  auto bar_return = [&](std::size_t i) {
    const double e = equity[i].equity;
    if (std::fabs(e) < EPS) return 0.0;
    if (e < 0.0) return 1.0 - equity[i + 1].equity / e;
    return equity[i + 1].equity / e - 1.0;
  };
  const double m = static_cast<double>(n - 1);
  double sum = 0.0;
  for (std::size_t i = 0; i + 1 < n; ++i) sum += bar_return(i);
  const double mean = sum / m;
  double sq = 0.0;
  double down = 0.0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const double r = bar_return(i);
    const double d = r - mean;
    sq += d * d;
    const double neg = std::fmin(r, 0.0);
    down += neg * neg;
  }
  const double sd = std::sqrt(sq / m);
  const double dd = std::sqrt(down / m);
  ReturnStats s;
  s.sharpe = sd < EPS ? 0.0 : mean / sd;
  s.sortino = dd < EPS ? 0.0 : mean / dd;
  return s;
}

double max_drawdown_pct(std::span<const EquityPoint> equity) {
  double peak = -kInf;
  double worst = 0.0;
  for (const EquityPoint& p : equity) {
    if (p.equity > peak) peak = p.equity;
    if (peak > 0.0) {
      const double dd = (peak - p.equity) / peak * 100.0;
      if (dd > worst) worst = dd;
    }
  }
  return worst;
}

}  // namespace

Metrics compute_metrics(std::span<const EquityPoint> equity, std::span<const Trade> trades, double initial_capital) {
  Metrics m;
  m.pnl = equity.empty() ? 0.0 : equity.back().equity - initial_capital;
  m.return_pct = std::fabs(initial_capital) < EPS ? 0.0 : m.pnl / initial_capital * 100.0;
  const ReturnStats rs = return_stats(equity);
  m.sharpe = rs.sharpe;
  m.sortino = rs.sortino;
  m.max_drawdown = max_drawdown_pct(equity);
  if (m.max_drawdown < EPS) {
    m.calmar = m.return_pct > 0.0 ? kInf : 0.0;
  } else {
    m.calmar = m.return_pct / m.max_drawdown;
  }

  m.num_trades = trades.size();
  std::uint64_t wins = 0;
  double gross_profit = 0.0;
  double gross_loss = 0.0;
  for (const Trade& t : trades) {
    if (t.pnl > 0.0) {
      ++wins;
      gross_profit += t.pnl;
    } else if (t.pnl < 0.0) {
      gross_loss += -t.pnl;
    }
  }
  m.win_rate = trades.empty() ? 0.0 : static_cast<double>(wins) / static_cast<double>(m.num_trades) * 100.0;
  if (gross_loss < EPS) {
    m.profit_factor = gross_profit > 0.0 ? kInf : 0.0;
  } else {
    m.profit_factor = gross_profit / gross_loss;
  }
  return m;
}

}  // namespace vsci
