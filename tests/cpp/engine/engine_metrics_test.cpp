// The metrics: their degenerate cases, a plain reference computation on
// random curves, and the identities that tie a whole run's document together
// (equity, trades, fees, pnl) on randomly drawn strategies and markets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "engine/metrics.h"
#include "engine_test_support.h"
#include "util/math_constants.h"

namespace vsci::testing {
namespace {

constexpr double kEpsilon = 2.220446049250313e-16;

std::vector<EquityPoint> curve(const std::vector<double>& values) {
  std::vector<EquityPoint> out;
  std::int64_t t = 0;
  for (double v : values) out.push_back({t += 60, v});
  return out;
}

std::vector<Trade> trades_with_pnl(const std::vector<double>& pnls) {
  std::vector<Trade> out;
  for (double p : pnls) {
    Trade t;
    t.pnl = p;
    out.push_back(t);
  }
  return out;
}

// The definitions, written out as plainly as possible.
Metrics reference_metrics(const std::vector<double>& e, const std::vector<double>& pnls, double capital) {
  Metrics m;
  const std::size_t n = e.size();
  m.pnl = n == 0 ? 0.0 : e[n - 1] - capital;
  m.return_pct = std::fabs(capital) < kEpsilon ? 0.0 : m.pnl / capital * 100.0;
  if (n >= 2) {
    std::vector<double> r;
    for (std::size_t i = 0; i + 1 < n; ++i) {
      // From a negative point, the change over its magnitude.
      const double change = (e[i + 1] - e[i]) / std::fabs(e[i]);
      r.push_back(std::fabs(e[i]) < kEpsilon ? 0.0 : e[i] < 0.0 ? change : e[i + 1] / e[i] - 1.0);
    }
    double sum = 0.0;
    for (double x : r) sum += x;
    const double mean = sum / static_cast<double>(n - 1);
    double sq = 0.0, down = 0.0;
    for (double x : r) {
      sq += (x - mean) * (x - mean);
      down += x < 0.0 ? x * x : 0.0;
    }
    const double sd = std::sqrt(sq / static_cast<double>(n - 1));
    const double dd = std::sqrt(down / static_cast<double>(n - 1));
    m.sharpe = sd < kEpsilon ? 0.0 : mean / sd;
    m.sortino = dd < kEpsilon ? 0.0 : mean / dd;
  }
  double peak = -kInf;
  for (double x : e) {
    peak = std::max(peak, x);
    if (peak > 0.0) m.max_drawdown = std::max(m.max_drawdown, (peak - x) / peak * 100.0);
  }
  m.calmar = m.max_drawdown < kEpsilon ? (m.return_pct > 0.0 ? kInf : 0.0) : m.return_pct / m.max_drawdown;
  double wins = 0.0, gp = 0.0, gl = 0.0;
  for (double p : pnls) {
    if (p > 0.0) wins += 1.0, gp += p;
    if (p < 0.0) gl -= p;
  }
  m.num_trades = pnls.size();
  m.win_rate = pnls.empty() ? 0.0 : wins / static_cast<double>(pnls.size()) * 100.0;
  m.profit_factor = gl < kEpsilon ? (gp > 0.0 ? kInf : 0.0) : gp / gl;
  return m;
}

void expect_metrics(const Metrics& got, const Metrics& want) {
  EXPECT_DOUBLE_EQ(got.pnl, want.pnl);
  EXPECT_DOUBLE_EQ(got.return_pct, want.return_pct);
  EXPECT_NEAR(got.sharpe, want.sharpe, 1e-12 * std::max(1.0, std::fabs(want.sharpe)));
  EXPECT_NEAR(got.sortino, want.sortino, 1e-12 * std::max(1.0, std::fabs(want.sortino)));
  if (std::isinf(want.calmar)) {
    EXPECT_EQ(got.calmar, want.calmar);
  } else {
    EXPECT_NEAR(got.calmar, want.calmar, 1e-12 * std::max(1.0, std::fabs(want.calmar)));
  }
  EXPECT_DOUBLE_EQ(got.max_drawdown, want.max_drawdown);
  EXPECT_DOUBLE_EQ(got.win_rate, want.win_rate);
  if (std::isinf(want.profit_factor)) {
    EXPECT_EQ(got.profit_factor, want.profit_factor);
  } else {
    EXPECT_DOUBLE_EQ(got.profit_factor, want.profit_factor);
  }
  EXPECT_EQ(got.num_trades, want.num_trades);
}

// A curve that only falls, through 0 and below it: every return is a fall.
TEST(EngineMetrics, ACurveFallingBelowZeroHasOnlyFallingReturns) {
  const auto e = curve({10000, 10000, 5000, 0, -2500, -5000, -10000, -15000});
  // 0, -1/2, -1, 0 after the zero point, then -2500 -> -5000 is a fall of
  // 100 % of 2500, -5000 -> -10000 of 100 %, -10000 -> -15000 of 50 %.
  const std::vector<double> r = {0.0, -0.5, -1.0, 0.0, -1.0, -1.0, -0.5};
  const double mean = -4.0 / 7.0;
  double sq = 0.0, down = 0.0;
  for (double x : r) sq += (x - mean) * (x - mean), down += x * x;
  const Metrics m = compute_metrics(e, {}, 10000.0);
  EXPECT_NEAR(m.sharpe, mean / std::sqrt(sq / 7.0), 1e-12);
  EXPECT_NEAR(m.sortino, mean / std::sqrt(down / 7.0), 1e-12);
  EXPECT_LT(m.sharpe, 0.0);
  // A rise below zero is a rise: -200 -> -100 gains 50 % of 200.
  const Metrics up = compute_metrics(curve({-200, -100}), {}, 100.0);
  EXPECT_EQ(up.sortino, 0.0);
  const Metrics back = compute_metrics(curve({-200, -100, -200}), {}, 100.0);
  EXPECT_NEAR(back.sharpe, (0.5 + -1.0) / 2.0 / 0.75, 1e-12);
}

TEST(EngineMetrics, DegenerateCases) {
  // No point at all, and a single point: nothing to measure.
  Metrics m = compute_metrics({}, {}, 10000.0);
  EXPECT_EQ(m.pnl, 0.0);
  EXPECT_EQ(m.sharpe, 0.0);
  m = compute_metrics(curve({10500}), {}, 10000.0);
  EXPECT_EQ(m.pnl, 500.0);
  EXPECT_EQ(m.return_pct, 5.0);
  EXPECT_EQ(m.sharpe, 0.0);
  EXPECT_EQ(m.sortino, 0.0);
  EXPECT_EQ(m.calmar, kInf);  // a gain without drawdown

  // Equity that only rises: no drawdown, no downside, infinite calmar.
  m = compute_metrics(curve({100, 200, 400}), trades_with_pnl({10, 11}), 100.0);
  EXPECT_EQ(m.max_drawdown, 0.0);
  EXPECT_EQ(m.sortino, 0.0);
  EXPECT_EQ(m.sharpe, 0.0);  // both returns are 100 %: no deviation
  EXPECT_EQ(m.calmar, kInf);
  EXPECT_EQ(m.profit_factor, kInf);
  EXPECT_EQ(m.win_rate, 100.0);

  // A loss without drawdown from a positive peak: calmar 0, not infinite.
  m = compute_metrics(curve({-5, -10}), trades_with_pnl({0, -3}), 100.0);
  EXPECT_EQ(m.max_drawdown, 0.0);
  EXPECT_EQ(m.calmar, 0.0);
  EXPECT_EQ(m.win_rate, 0.0);
  EXPECT_EQ(m.profit_factor, 0.0);
  EXPECT_EQ(m.num_trades, 2u);

  // A zero capital gives no return; a zero equity point gives a 0 return after it.
  m = compute_metrics(curve({0, 0, 5}), {}, 0.0);
  EXPECT_EQ(m.return_pct, 0.0);
  EXPECT_EQ(m.sharpe, 0.0);
  m = compute_metrics(curve({100, 0, 50}), {}, 100.0);
  expect_metrics(m, reference_metrics({100, 0, 50}, {}, 100.0));
  EXPECT_EQ(m.max_drawdown, 100.0);

  // Zero-pnl trades count only in num_trades.
  m = compute_metrics(curve({1, 1}), trades_with_pnl({0, 0, 2}), 1.0);
  EXPECT_DOUBLE_EQ(m.win_rate, 1.0 / 3.0 * 100.0);
  EXPECT_EQ(m.profit_factor, kInf);
}

TEST(EngineMetrics, MatchThePlainDefinitionsOnRandomCurves) {
  std::mt19937_64 rng(7);
  std::normal_distribution<double> step(0.0, 0.02);
  std::normal_distribution<double> pnl(0.0, 50.0);
  for (int run = 0; run < 50; ++run) {
    const std::size_t n = 1 + rng() % 200;
    std::vector<double> e{1000.0};
    while (e.size() < n) e.push_back(e.back() * (1.0 + step(rng)));
    std::vector<double> pnls;
    for (std::size_t k = rng() % 12; k > 0; --k) pnls.push_back(pnl(rng));
    expect_metrics(compute_metrics(curve(e), trades_with_pnl(pnls), 1000.0), reference_metrics(e, pnls, 1000.0));
  }
}

// A random strategy over two averages with random costs, risk and execution
// settings, as request members.
std::string random_strategy(std::mt19937_64& rng, bool& fills_at_close, double& taker_rate) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };
  const int fast = 2 + pick(4);
  const int slow = fast + 1 + pick(8);
  const std::string indicators = "{\"fast\":{\"type\":\"" + std::string(chance(0.5) ? "Sma" : "Ema") +
                                 "\",\"params\":[" + std::to_string(fast) + "]},\"slow\":{\"type\":\"Sma\",\"params\":[" +
                                 std::to_string(slow) + "]}}";
  const std::string entry = R"({"cross_above":["fast","slow"]})";
  const std::string exit = chance(0.5) ? R"({"cross_below":["fast","slow"]})"
                                       : "{\"bars_since_entry\":{\"ge\":" + std::to_string(1 + pick(10)) + "}}";
  std::string members;
  if (chance(0.5)) members += R"("short_entry":{"cross_below":["fast","slow"]},"short_exit":{"cross_above":["fast","slow"]},)";
  switch (pick(4)) {
    case 0:
      members += "\"sizing\":{\"type\":\"fixed_fraction\",\"fraction\":" + num(0.1 + 0.9 * (pick(100) / 100.0)) + "}";
      break;
    case 1:
      members += "\"sizing\":{\"type\":\"fixed_qty\",\"qty\":" + num(1 + pick(200)) + "}";
      break;
    case 2:
      members += R"("sizing":{"type":"vol_target","target_vol":0.01,"lookback":)" + std::to_string(2 + pick(20)) + "}";
      break;
    default:
      members += R"("sizing":{"type":"fixed_cash","cash":3000})";
      break;
  }
  const int taker = pick(20);
  taker_rate = taker / 10000.0;
  members += ",\"costs\":{\"maker_bps\":" + std::to_string(pick(10)) + ",\"taker_bps\":" + std::to_string(taker) +
             ",\"slippage\":" +
             (chance(0.5) ? "{\"type\":\"fixed_bps\",\"bps\":" + std::to_string(pick(30)) + "}"
                          : std::string(R"({"type":"volume_impact","coef":0.01})")) +
             "}";
  members += ",\"risk\":{";
  std::string risk;
  if (chance(0.4)) risk += ",\"stop_loss_pct\":" + num(0.5 + pick(50) / 10.0);
  if (chance(0.4)) risk += ",\"take_profit_pct\":" + num(0.5 + pick(80) / 10.0);
  if (chance(0.4)) risk += ",\"trailing_stop_pct\":" + num(0.5 + pick(50) / 10.0);
  if (chance(0.5)) risk += ",\"max_leverage\":" + num(1 + pick(5));
  if (chance(0.3)) risk += ",\"max_position_pct\":" + num(10 + pick(90));
  risk += std::string(",\"liquidation\":") + (chance(0.5) ? "true" : "false");
  members += risk.substr(1) + "}";
  fills_at_close = chance(0.3);
  if (fills_at_close) {
    members += R"(,"execution":{"fill_timing":"close"})";
  } else {
    const char* orders[] = {R"("order_type":"market")", R"("order_type":"limit","limit_offset_pct":-0.5)",
                            R"("order_type":"stop","stop_offset_pct":0.5)",
                            R"("order_type":"stop_limit","stop_offset_pct":0.3,"limit_offset_pct":1)"};
    members += std::string(",\"execution\":{") + orders[pick(4)] + ",\"latency_bars\":" + std::to_string(pick(3));
    if (chance(0.3)) members += R"(,"partial_fills":true,"max_participation":0.5)";
    members += "}";
  }
  return spec_json(indicators, entry, exit, members);
}

std::vector<Bar> random_market(std::mt19937_64& rng, std::size_t n) {
  std::normal_distribution<double> step(0.0, 1.5);
  std::uniform_real_distribution<double> wick(0.0, 1.0);
  std::uniform_real_distribution<double> volume(0.0, 500.0);
  std::vector<Bar> out;
  double close = 100.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double open = close;
    close = std::max(1.0, open + step(rng));
    out.push_back({static_cast<std::int64_t>(i) * 60000, open, std::max(open, close) + wick(rng),
                   std::min(open, close) - wick(rng) * 0.5, close, volume(rng)});
  }
  return out;
}

TEST(EngineMetrics, RunIdentitiesHoldOnRandomStrategies) {
  std::mt19937_64 rng(2024);
  int checked_pnl = 0;
  int checked_last_close = 0;
  int with_trades = 0;
  for (int run = 0; run < 120; ++run) {
    bool at_close = false;
    double taker_rate = 0.0;
    const std::string spec = random_strategy(rng, at_close, taker_rate);
    const std::vector<Bar> market = random_market(rng, 150 + rng() % 150);
    const json::Value doc = run_ok(request_json(spec, market));
    if (!doc.is_object()) continue;
    SCOPED_TRACE(spec);

    const std::vector<double> e = equity_of(doc);
    ASSERT_EQ(e.size(), market.size());
    const auto& trades = trades_of(doc);
    std::vector<double> pnls;
    double fees = 0.0;
    double pnl_sum = 0.0;
    std::int64_t previous_exit = std::numeric_limits<std::int64_t>::min();
    bool touches_last_close = false;  // an entry or a signal exit at the last bar's close
    const std::int64_t last_time = market.back().time;
    for (std::size_t k = 0; k < trades.size(); ++k) {
      const json::Value& t = trades[k];
      const double qty = num_at(t, "qty"), entry = num_at(t, "entry_price"), exit = num_at(t, "exit_price");
      const double pnl = num_at(t, "pnl");
      pnls.push_back(pnl);
      pnl_sum += pnl;
      // What a trade's pnl leaves out of its price move is its two fees.
      const double trade_fees = qty * (exit - entry) - pnl;
      EXPECT_GE(trade_fees, -1e-9);
      fees += trade_fees;
      EXPECT_NEAR(num_at(t, "return_pct"), pnl / (std::fabs(qty) * entry) * 100.0, 1e-9);
      EXPECT_GT(std::fabs(qty), 0.0);
      EXPECT_LE(int_at(t, "entry_time"), int_at(t, "exit_time"));
      EXPECT_LE(previous_exit, int_at(t, "entry_time"));
      previous_exit = int_at(t, "exit_time");
      const std::string reason = str_at(t, "reason");
      if (k + 1 < trades.size()) {
        EXPECT_NE(reason, "end");
      }
      if (reason == "end") {
        EXPECT_EQ(int_at(t, "exit_time"), last_time);
      }
      if (at_close && (int_at(t, "entry_time") == last_time || (int_at(t, "exit_time") == last_time && reason == "signal")))
        touches_last_close = true;
    }
    with_trades += trades.empty() ? 0 : 1;
    EXPECT_NEAR(num_at(doc, "fees_paid"), fees, 1e-7);

    // The metrics are those of the document's own curve and trades.
    const auto& m = metrics_of(doc);
    const Metrics want = reference_metrics(e, pnls, 10000.0);
    EXPECT_DOUBLE_EQ(num_at(m, "pnl"), want.pnl);
    EXPECT_NEAR(num_at(m, "sharpe"), want.sharpe, 1e-12);
    EXPECT_NEAR(num_at(m, "sortino"), want.sortino, 1e-12);
    EXPECT_DOUBLE_EQ(num_at(m, "max_drawdown"), want.max_drawdown);
    EXPECT_DOUBLE_EQ(num_at(m, "win_rate"), want.win_rate);
    EXPECT_EQ(int_at(m, "num_trades"), static_cast<std::int64_t>(trades.size()));

    // pnl = the trades' pnl + the close-out fee (no funding here), a fill at
    // the last close included.
    checked_last_close += touches_last_close ? 1 : 0;
    double closeout_fee = 0.0;
    if (!trades.empty() && str_at(trades.back(), "reason") == "end") {
      const json::Value& t = trades.back();
      closeout_fee = std::fabs(num_at(t, "qty")) * num_at(t, "exit_price") * taker_rate;
    }
    EXPECT_NEAR(num_at(m, "pnl"), pnl_sum + closeout_fee, 1e-7);
    ++checked_pnl;
  }
  EXPECT_GT(checked_pnl, 80);
  EXPECT_GT(checked_last_close, 0);
  EXPECT_GT(with_trades, 80);
}

// A fill at the last bar's close shows in that bar's equity point: the
// metrics' pnl is the trades' pnl plus the close-out fee there too. One
// bought (sold) at 10 bps of taker fee, 5 bps of slippage.
TEST(EngineMetrics, AFillAtTheLastCloseIsInTheLastEquityPoint) {
  const std::string members = R"("sizing":{"type":"fixed_qty","qty":10},)"
                              R"("costs":{"taker_bps":10,"slippage":{"type":"fixed_bps","bps":5}},)"
                              R"("execution":{"fill_timing":"close"})";
  const auto closes = flat_bars({100, 102, 104, 103});
  for (const double side : {1.0, -1.0}) {
    SCOPED_TRACE(side);
    const auto run = [&](const std::string& entry) {
      return run_ok(request_json(one_side_spec(side < 0, entry, close_eq(103), members), closes));
    };
    // An entry at the last close: held for no bar, closed out at that close.
    {
      const auto doc = run(close_eq(103));
      ASSERT_EQ(trades_of(doc).size(), 1u);
      const double fill = 103.0 * (1.0 + side * 5.0 / 10000.0);
      const double cash = 10000.0 - fill * side * 10.0 - fill * 10.0 * 0.001;
      EXPECT_DOUBLE_EQ(equity_of(doc).back(), cash + side * 10.0 * 103.0);
      const double closeout_fee = 10.0 * 103.0 * 0.001;
      EXPECT_NEAR(num_at(metrics_of(doc), "pnl"), num_at(trades_of(doc)[0], "pnl") + closeout_fee, 1e-9);
    }
    // An exit signal at the last close: the point is the cash after the sale.
    {
      const auto doc = run(close_eq(102));
      ASSERT_EQ(trades_of(doc).size(), 1u);
      const double in = 102.0 * (1.0 + side * 5.0 / 10000.0);
      const double out = 103.0 * (1.0 - side * 5.0 / 10000.0);
      const double cash = 10000.0 - in * side * 10.0 - in * 10.0 * 0.001 + out * side * 10.0 - out * 10.0 * 0.001;
      EXPECT_DOUBLE_EQ(equity_of(doc).back(), cash);
      EXPECT_EQ(str_at(trades_of(doc)[0], "reason"), "signal");
      EXPECT_NEAR(num_at(metrics_of(doc), "pnl"), num_at(trades_of(doc)[0], "pnl"), 1e-9);
      // The points before it are as the bars left them.
      EXPECT_DOUBLE_EQ(equity_of(doc)[2], 10000.0 - in * side * 10.0 - in * 10.0 * 0.001 + side * 10.0 * 104.0);
    }
  }
}

}  // namespace
}  // namespace vsci::testing
