// The protective exits against the two paths a bar allows, open-high-low-close
// and open-low-high-close: on random long and short strategies over gapping
// candles, every stop-loss, take-profit, trailing stop and liquidation is what
// one of the two paths gives on its bar, and no position is held through a bar
// on which both paths close it. The paths are walked here from the exit rules
// (levels resting from the fill, the open first, then the first level each
// straight segment meets), not from the engine's ranking of the levels. An
// open at or beyond the liquidation price leaves the account worth nothing
// before any order fills there, so it liquidates first; and with liquidation
// on, no exit but the liquidation is booked beyond that price, exits on a
// signal included. A liquidation leaves the account exactly nothing but the
// fee it owes, so no trade follows it.
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine_test_support.h"
#include "json/writer.h"

namespace vsci::testing {
namespace {

constexpr double kNoLevel = std::numeric_limits<double>::infinity();

// A position's resting levels with a short's prices negated, so that every
// position reads as a long: stops below, the target above, the best price the
// highest. A level that is not set lies out of reach.
struct PathLevels {
  double stop = -kNoLevel, target = kNoLevel, liquidation = -kNoLevel;
  bool trails = false;
  double trail = 0.0;  // the trailing level is best x trail
};

struct PathOutcome {
  const char* reason = nullptr;  // none: the path holds the position
  double price = 0.0;
  bool at_open = false;
};

// The highest of the stop-loss, trailing and liquidation levels that `low`
// reaches; on equal levels the first in that order.
PathOutcome highest_stop_reached(const PathLevels& lv, double best, double low) {
  const double levels[3] = {lv.stop, lv.trails ? best * lv.trail : -kNoLevel, lv.liquidation};
  const char* names[3] = {"stop_loss", "trailing_stop", "liquidation"};
  PathOutcome hit;
  for (int k = 0; k < 3; ++k)
    if (low <= levels[k] && (hit.reason == nullptr || levels[k] > hit.price)) hit = {names[k], levels[k], false};
  return hit;
}

// Where one path o -> p1 -> p2 -> c through a bar of low `low` and high `high`
// closes the position, whose best price before the bar is `best`.
PathOutcome walk_exit_path(const PathLevels& lv, double best, double o, double p1, double p2, double c, double low,
                           double high) {
  best = std::max(best, o);
  if (std::max(o, low) <= lv.liquidation) return {"liquidation", lv.liquidation, true};
  PathOutcome out = highest_stop_reached(lv, best, std::max(o, low));
  if (out.reason != nullptr) {
    out.at_open = true;
    if (std::string_view(out.reason) != "liquidation") out.price = o;
    return out;
  }
  if (std::min(o, high) >= lv.target) return {"take_profit", o, true};
  const double pts[4] = {o, p1, p2, c};
  for (int k = 0; k < 3; ++k) {
    if (pts[k + 1] > pts[k]) {
      if (pts[k + 1] >= lv.target) return {"take_profit", lv.target, false};
      best = std::max(best, pts[k + 1]);
    } else if (pts[k + 1] < pts[k]) {
      out = highest_stop_reached(lv, best, pts[k + 1]);
      if (out.reason != nullptr) return out;
    }
  }
  return {};
}

struct ExitPathDraw {
  std::string strategy;
  bool at_close = false;
  bool liquidation = false;
  int exit_on = 0;  // the exit rule holds on a bar closing above (1) or below (-1) its open; 0: never
  double stop = NAN, target = NAN, trail = NAN, fee_rate = 0.0;
};

// A strategy that enters whenever it is flat and leaves through its
// protective exits, sometimes a signal, or at the end of the candles.
ExitPathDraw draw_exit_path_strategy(std::mt19937_64& rng) {
  auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  auto chance = [&](double p) { return uniform(0, 1) < p; };
  ExitPathDraw d;
  const std::string up = R"({"gt":[{"price":"close"},{"price":"open"}]})";
  const std::string down = R"({"lt":[{"price":"close"},{"price":"open"}]})";
  std::string risk;
  std::string members;
  // Now and then so high that a gap can pass the liquidation price within a bar or two.
  const int leverage = static_cast<int>(chance(0.3) ? 20 + rng() % 31 : 4 + rng() % 7);
  d.liquidation = chance(0.5);
  if (d.liquidation) {
    risk += ",\"max_leverage\":" + num(leverage) + ",\"liquidation\":true";
    members += chance(0.5) ? R"("sizing":{"type":"fixed_qty","qty":1000000})"
                           : "\"sizing\":{\"type\":\"fixed_fraction\",\"fraction\":" + num(leverage) + "}";
  } else {
    members += "\"sizing\":{\"type\":\"fixed_fraction\",\"fraction\":" + num(uniform(0.3, 1.0)) + "}";
  }
  // Beside a liquidation a stop is sometimes set beyond it, so that either may be the nearer.
  if (chance(0.6)) d.stop = uniform(0.2, d.liquidation ? 150.0 / leverage : 6.0);
  if (chance(d.liquidation ? 0.3 : 0.6)) d.target = uniform(0.2, 6.0);
  if (chance(0.6)) d.trail = uniform(0.2, d.liquidation ? 150.0 / leverage : 6.0);
  if (!std::isnan(d.stop)) risk += ",\"stop_loss_pct\":" + num(d.stop);
  if (!std::isnan(d.target)) risk += ",\"take_profit_pct\":" + num(d.target);
  if (!std::isnan(d.trail)) risk += ",\"trailing_stop_pct\":" + num(d.trail);
  if (!risk.empty()) members += ",\"risk\":{" + risk.substr(1) + "}";
  if (chance(0.5)) {
    const std::string bps = num(static_cast<double>(1 + rng() % 10));
    d.fee_rate = std::stod(bps) / 10000.0;
    members += ",\"costs\":{\"maker_bps\":" + bps + ",\"taker_bps\":" + bps + "}";
  }
  const std::string offset = num((chance(0.5) ? 1 : -1) * uniform(0.1, 1.5));
  switch (rng() % 4) {
    case 0: d.at_close = true; members += R"(,"execution":{"fill_timing":"close"})"; break;
    case 1: members += ",\"execution\":{\"order_type\":\"limit\",\"limit_offset_pct\":" + offset + "}"; break;
    case 2: members += ",\"execution\":{\"order_type\":\"stop\",\"stop_offset_pct\":" + offset + "}"; break;
    default: break;
  }
  const int side = static_cast<int>(rng() % 3);
  if (chance(0.3)) d.exit_on = side == 1 ? -1 : 1;
  const std::string exit = d.exit_on == 0 ? kNever : d.exit_on > 0 ? up : down;
  switch (side) {
    case 0: d.strategy = one_side_spec(false, chance(0.5) ? kAlways : up, exit, members); break;
    case 1: d.strategy = one_side_spec(true, chance(0.5) ? kAlways : down, exit, members); break;
    default: d.strategy = spec_json(kNoIndicators, up, exit, "\"short_entry\":" + kAlways + "," + members); break;
  }
  return d;
}

// A random walk whose opens often gap from the last close, sometimes by
// several percent; wicks of random length, sometimes none.
std::vector<Bar> gapping_exit_candles(std::mt19937_64& rng, std::size_t n) {
  std::normal_distribution<double> small(0.0, 0.003), large(0.0, 0.04), body(0.0, 0.015);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<Bar> out;
  double close = 100.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double r = u(rng);
    const double open = r < 0.4 ? close : close * std::max(0.5, 1.0 + (r < 0.8 ? small(rng) : large(rng)));
    close = open * std::max(0.5, 1.0 + body(rng));
    const double high = std::max(open, close) * (u(rng) < 0.2 ? 1.0 : 1.0 + 0.012 * u(rng));
    const double low = std::min(open, close) * (u(rng) < 0.2 ? 1.0 : 1.0 - 0.012 * u(rng));
    out.push_back({static_cast<std::int64_t>(i + 1) * 60000, open, high, low, close, 1.0});
  }
  return out;
}

struct ExitPathCounts {
  int by_side_reason[2][6] = {};  // long, short x stop_loss, take_profit, trailing_stop, liquidation, end, signal
  int stop_at_open = 0, target_at_open = 0;
  int target_or_trailing = 0;  // one path gives each
  int liquidation_beside_stop = 0, stop_beside_liquidation = 0;  // the bar reached both; the first, the second won
  int liquidated_past_gapped_stop = 0, liquidated_past_due_exit = 0;  // at an open beyond both
  int liquidated_without_fee = 0;
  int failures = 0;
};

int reason_index(const std::string& r) {
  const char* names[6] = {"stop_loss", "take_profit", "trailing_stop", "liquidation", "end", "signal"};
  for (int k = 0; k < 6; ++k)
    if (r == names[k]) return k;
  return -1;
}

bool same_price(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b)); }

void check_exit_paths(std::uint64_t seed, int runs, ExitPathCounts& n) {
  std::mt19937_64 rng(seed);
  for (int run = 0; run < runs; ++run) {
    const ExitPathDraw d = draw_exit_path_strategy(rng);
    const std::vector<Bar> bars = gapping_exit_candles(rng, 250 + rng() % 150);
    const json::Value doc = run_ok(request_json(d.strategy, bars, "\"capital\":10000"));
    if (!doc.is_object()) continue;
    double cash = 10000.0;
    const std::vector<double> equity = equity_of(doc);
    bool emptied = false;  // by a liquidation; no fee here is a rebate
    for (const json::Value& t : trades_of(doc)) {
      const double qty = num_at(t, "qty"), entry = num_at(t, "entry_price"), s = qty > 0 ? 1.0 : -1.0;
      // The account booked as the engine books it, so that the liquidation
      // price stays exact however far stops at high leverage drained the cash.
      const double cash_after = cash - (entry * qty + entry * std::fabs(qty) * d.fee_rate);
      const std::string reason = str_at(t, "reason");
      const int r = reason_index(reason);
      const auto entry_bar = static_cast<std::size_t>(int_at(t, "entry_time") / 60000 - 1);
      const auto exit_bar = static_cast<std::size_t>(int_at(t, "exit_time") / 60000 - 1);
      ASSERT_GE(r, 0) << reason;
      ++n.by_side_reason[s > 0 ? 0 : 1][r];
      PathLevels lv;
      if (!std::isnan(d.stop)) lv.stop = s * entry * (1 - s * d.stop / 100);
      if (!std::isnan(d.target)) lv.target = s * entry * (1 + s * d.target / 100);
      lv.trails = !std::isnan(d.trail);
      lv.trail = 1 - s * d.trail / 100;
      if (d.liquidation && -cash_after / qty > 0) lv.liquidation = s * (-cash_after / qty);
      // A fill at the open is tested on its own bar; one at the close or inside the bar from the next on.
      std::size_t i = entry_bar + ((d.at_close || entry != bars[entry_bar].open) ? 1 : 0);
      const std::size_t last = reason == "end" ? bars.size() - 1 : exit_bar;
      const double price = num_at(t, "exit_price");
      const double exit_fee = reason == "signal" ? d.fee_rate * std::fabs(qty) * price : std::fabs(qty) * price * d.fee_rate;
      cash = cash_after + (price * qty - exit_fee);
      double best = s * entry;
      std::string fault = i > last && reason != "end" ? "closed before its first tested bar" : "";
      if (emptied) fault = "entered by an account a liquidation emptied";
      // From the liquidation on, the account holds exactly nothing but the fee it owes.
      if (reason == "liquidation") {
        emptied = true;
        n.liquidated_without_fee += d.fee_rate == 0.0;
        for (std::size_t k = exit_bar; k < equity.size() && fault.empty(); ++k)
          if (equity[k] != 0.0 - exit_fee || std::signbit(equity[k]) != (exit_fee > 0.0))
            fault = "equity " + num(equity[k]) + " after the liquidation at bar " + std::to_string(k);
      }
      if (reason != "liquidation" && s * price < lv.liquidation - 1e-9 * std::fabs(lv.liquidation))
        fault = "booked past the liquidation price " + num(s * lv.liquidation);
      // A signal exits at the next open, or at its own bar's close after that bar's protective exits.
      const bool signal = reason == "signal";
      if (signal && price != (d.at_close ? bars[exit_bar].close : bars[exit_bar].open)) fault = "signal off its fill";
      std::size_t fault_bar = i;
      for (; i <= last && fault.empty(); ++i) {
        fault_bar = i;
        const Bar& b = bars[i];
        const double o = s * b.open, hi = s > 0 ? b.high : -b.low, lo = s > 0 ? b.low : -b.high, c = s * b.close;
        const PathOutcome via_high = walk_exit_path(lv, best, o, hi, lo, c, lo, hi);
        const PathOutcome via_low = walk_exit_path(lv, best, o, lo, hi, c, lo, hi);
        if (i < exit_bar || reason == "end" || (signal && d.at_close)) {
          if (via_high.reason != nullptr && via_low.reason != nullptr) fault = "held through a bar both paths exit on";
          best = std::max({best, o, hi});
          continue;
        }
        if (signal) break;  // filled at the open, before any path through the bar
        auto matches = [&](const PathOutcome& p) {
          return p.reason != nullptr && reason == p.reason && same_price(s * p.price, price);
        };
        const PathOutcome& hit = matches(via_high) ? via_high : via_low;
        if (!matches(hit)) {
          fault = std::string("exit on no path; paths give ") + (via_high.reason ? via_high.reason : "hold") +
                  " " + num(s * via_high.price) + ", " + (via_low.reason ? via_low.reason : "hold") + " " +
                  num(s * via_low.price);
          break;
        }
        n.stop_at_open += hit.at_open && reason != "take_profit" && reason != "liquidation";
        n.target_at_open += hit.at_open && reason == "take_profit";
        const char* other = (&hit == &via_high ? via_low : via_high).reason;
        n.target_or_trailing += other != nullptr && reason != other &&
                                (reason == "take_profit" || reason == "trailing_stop") &&
                                (std::string(other) == "take_profit" || std::string(other) == "trailing_stop");
        const double trailing_at_open = lv.trails ? std::max(best, o) * lv.trail : -kNoLevel;
        const bool stop_reached = lo <= lv.stop || lo <= trailing_at_open;
        n.liquidation_beside_stop += reason == "liquidation" && stop_reached;
        n.stop_beside_liquidation += reason != "liquidation" && stop_reached && lo <= lv.liquidation;
        const bool opened_past_liquidation = reason == "liquidation" && hit.at_open;
        n.liquidated_past_gapped_stop +=
            opened_past_liquidation && std::max(o, lo) <= std::max(lv.stop, trailing_at_open);
        // The exit rule held at the close before, so an exit order was due at this open.
        n.liquidated_past_due_exit += opened_past_liquidation && !d.at_close && entry_bar < exit_bar &&
                                      d.exit_on * (bars[exit_bar - 1].close - bars[exit_bar - 1].open) > 0;
      }
      if (!fault.empty() && ++n.failures <= 5)
        ADD_FAILURE() << fault << " (bar " << fault_bar << ")\nstrategy " << d.strategy << "\ntrade " << json::write(t);
    }
  }
}

TEST(EngineExitPaths, EveryProtectiveExitIsWhatOnePathThroughItsBarGives) {
  for (std::uint64_t seed : {11u, 2025u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ExitPathCounts n;
    check_exit_paths(seed, 300, n);
    EXPECT_EQ(n.failures, 0);
    for (int side = 0; side < 2; ++side)
      for (int r = 0; r < 6; ++r) EXPECT_GT(n.by_side_reason[side][r], 0) << "side " << side << " reason " << r;
    EXPECT_GT(n.stop_at_open, 0);
    EXPECT_GT(n.target_at_open, 0);
    EXPECT_GT(n.target_or_trailing, 0);
    EXPECT_GT(n.liquidation_beside_stop, 0);
    EXPECT_GT(n.stop_beside_liquidation, 0);
    EXPECT_GT(n.liquidated_past_gapped_stop, 0);
    EXPECT_GT(n.liquidated_past_due_exit, 0);
    EXPECT_GT(n.liquidated_without_fee, 0);
  }
}

}  // namespace
}  // namespace vsci::testing
