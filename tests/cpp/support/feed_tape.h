// Driving the market-data kinds in tests: tapes whose side records are left
// out of some bars and hold the records the kinds answer specially (zero
// sizes, one-sided books, zero amounts, flat stretches), a kind built by name
// fed such a tape against a reference over its records, and the count checks.
#pragma once

#include <functional>
#include <span>

#include "support/candle_series.h"
#include "support/kind_checks.h"

namespace vsci::testing {

// Every seventh bar of a feed tape carries no side record at all (see
// expect_record_references). The rough tape has stretches of zero-size prints, of equal buys at one
// price, of zero open interest and of one funding rate, fractional sizes,
// one-sided, single-level, zero-size and unchanged books, bars whose mid is
// not a price, and sections of unchanged or only advancing members.
inline BarTape feed_tape(std::size_t n, unsigned seed, bool rough) {
  BarTape t = make_tape(n, seed, 100.0, rough ? 0.2 : 0.0);
  const std::vector<OrderBook> plain_books = t.books;
  for (std::size_t i = 0; i < n && rough; ++i) {
    const std::size_t phase = i % 300;
    for (TradePrint& p : t.trades[i]) {
      p.size = phase >= 100 && phase < 120 ? 0.0 : i % 3 == 1 ? p.size * 0.1 : p.size;
      if (phase >= 150 && phase < 170) p = {101.5, 7.0, TradeSide::Buy, p.timestamp};
    }
    if (i % 11 == 5) t.trades[i].back().size = 0.0;
    OrderBook& b = t.books[i];
    if (i % 4 == 1) b = plain_books[i - 1], b.asks[0].size += 1.0;  // the last bar's prices
    if (i % 19 == 2) b.bids[0].size = b.asks[0].size = 0.0;
    if (i % 17 == 9) b.asks.resize(1);
    if (i % 17 == 4) b.bids.clear();
    if (i % 23 == 11) b.asks.clear(), t.candles[i].close = kNaN;
    DerivativesTick& d = t.ticks[i];
    if (i % 6 == 0) d.taker_sell_volume = d.taker_buy_volume = d.short_size = d.long_liquidation = 0.0;
    if (i < 10 || (phase >= 200 && phase < 215)) d.open_interest = 0.0;
    if (phase >= 230 && phase < 260) d.funding_rate = 0.0001;
    for (CrossSectionMember& m : t.sections[i].members) m.change = i % 9 == 0 ? 0.0 : i % 9 == 3 ? 1.0 : m.change;
  }
  return t;
}

// A kind and its reference: value(records, j, params) of record j from the
// records up to it. A bar's records are its prints, or its one book, tick or
// section; it gives its last record's value, and none without records.
template <class R>
struct RecordReference {
  std::string kind;
  std::function<std::optional<double>(const std::vector<R>&, std::size_t, const Params&)> value;
  std::vector<Params> params;
  double tolerance = 0.0;  // as expect_series takes it
};

// Each row with each parameter list over a plain and a rough tape;
// records(tape, bar) gives the bar's records.
template <class R, class Records>
void expect_record_references(Records records, const std::vector<RecordReference<R>>& rows) {
  for (const BarTape& tape : {feed_tape(900, 71, false), feed_tape(900, 72, true)})
    for (const RecordReference<R>& row : rows)
      for (const Params& p : row.params) {
        auto ind = build_ok(row.kind, p);
        Series got, want(tape.size());
        std::vector<R> seen;
        for (std::size_t i = 0; i < tape.size(); ++i) {
          const bool absent = i % 7 == 3;
          got.push_back(ind->update(absent ? BarContext(tape.candles[i]) : tape.context(i)));
          if (absent) continue;
          for (const R& r : records(tape, i)) seen.push_back(r), want[i] = row.value(seen, seen.size() - 1, p);
        }
        expect_series(got, want, row.tolerance, row.kind);
      }
}

// References of common shapes: f(the newest record); the running sum of f
// over the records; f(the last n + extra records, n) once there are as many.
template <class R, class F>
auto newest(F f) {
  return [f](const std::vector<R>& r, std::size_t j, const Params&) { return std::optional<double>(f(r[j])); };
}
template <class R, class F>
auto running(F f) {
  return [f](const std::vector<R>& r, std::size_t j, const Params&) {
    double sum = 0.0;
    for (std::size_t k = 0; k <= j; ++k) sum = sum + f(r[k]);
    return std::optional(sum);
  };
}
template <class R, class F>
auto window(double extra, F f) {
  return [=](const std::vector<R>& r, std::size_t j, const Params& p) -> std::optional<double> {
    const std::size_t m = std::size_t(p[0] + extra);
    if (j + 1 < m) return std::nullopt;
    return f(std::span<const R>(&r[j + 1 - m], m), p[0]);
  };
}

// The zero and MAX_PERIOD checks of count #0 of each kind, and more cases.
inline void expect_count_checks(std::initializer_list<const char*> kinds, std::vector<BuildCase> more) {
  for (const char* k : kinds)
    more.insert(more.end(), {{k, {kZeroCount}, kPeriodZeroText}, {k, {16777217}, kMaxPeriodText}, {k, {16777216}, ""}});
  expect_build_outcomes(more);
}

}  // namespace vsci::testing
