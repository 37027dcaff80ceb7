// Driving the market-data kinds in tests: tapes whose side records are left
// out of some bars and hold the records the kinds answer specially (zero
// sizes, one-sided books, zero amounts, flat stretches), a kind built by name
// fed such a tape against a reference over its records, and the count checks.
#pragma once

#include <functional>

#include "support/candle_series.h"
#include "support/conformance.h"
#include "support/kind_checks.h"

namespace vsci::testing {

// Every seventh bar carries no side record at all.
struct FeedTape {
  BarTape bars;
  static bool absent(std::size_t i) { return i % 7 == 3; }
  BarContext context(std::size_t i) const { return absent(i) ? BarContext(bars.candles[i]) : bars.context(i); }
};

// The rough tape has stretches of zero-size prints, of equal buys at one
// price, of zero open interest and of one funding rate, fractional sizes,
// one-sided, single-level, zero-size and unchanged books, bars whose mid is
// not a price, and sections of unchanged or only advancing members.
inline FeedTape feed_tape(std::size_t n, unsigned seed, bool rough) {
  FeedTape t{make_tape(n, seed, 100.0, rough ? 0.2 : 0.0)};
  const std::vector<OrderBook> plain_books = t.bars.books;
  for (std::size_t i = 0; i < n && rough; ++i) {
    const std::size_t phase = i % 300;
    for (TradePrint& p : t.bars.trades[i]) {
      p.size = phase >= 100 && phase < 120 ? 0.0 : i % 3 == 1 ? p.size * 0.1 : p.size;
      if (phase >= 150 && phase < 170) p = {101.5, 7.0, TradeSide::Buy, p.timestamp};
    }
    if (i % 11 == 5) t.bars.trades[i].back().size = 0.0;
    OrderBook& b = t.bars.books[i];
    if (i % 4 == 1) b = plain_books[i - 1], b.asks[0].size += 1.0;  // the last bar's prices
    if (i % 19 == 2) b.bids[0].size = b.asks[0].size = 0.0;
    if (i % 17 == 9) b.asks.resize(1);
    if (i % 17 == 4) b.bids.clear();
    if (i % 23 == 11) b.asks.clear(), t.bars.candles[i].close = kNaN;
    DerivativesTick& d = t.bars.ticks[i];
    if (i % 6 == 0) d.taker_sell_volume = d.taker_buy_volume = d.short_size = d.long_liquidation = 0.0;
    if (i < 10 || (phase >= 200 && phase < 215)) d.open_interest = 0.0;
    if (phase >= 230 && phase < 260) d.funding_rate = 0.0001;
    for (CrossSectionMember& m : t.bars.sections[i].members) m.change = i % 9 == 0 ? 0.0 : i % 9 == 3 ? 1.0 : m.change;
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
  for (const FeedTape& tape : {feed_tape(900, 71, false), feed_tape(900, 72, true)})
    for (const RecordReference<R>& row : rows)
      for (const Params& p : row.params) {
        auto ind = build_ok(row.kind, p);
        Series got, want(tape.bars.size());
        std::vector<R> seen;
        for (std::size_t i = 0; i < tape.bars.size(); ++i) {
          got.push_back(ind->update(tape.context(i)));
          if (FeedTape::absent(i)) continue;
          for (const R& r : records(tape, i)) seen.push_back(r), want[i] = row.value(seen, seen.size() - 1, p);
        }
        expect_series(got, want, row.tolerance, row.kind);
      }
}

// f(the first index of the n records ending at j), once there are n.
template <class F>
std::optional<double> over_window(std::size_t j, double n, F f) {
  if (double(j) + 1.0 < n) return std::nullopt;
  return f(j + 1 - std::size_t(n));
}

// References of common shapes: f(the newest record); f(the record n back, the
// newest) once there is one; the running sum of f over the records; and
// f(v(records, k) for the last n records k, skipping the first `skip`, n).
template <class R, class F>
auto newest(F f) {
  return [f](const std::vector<R>& r, std::size_t j, const Params&) { return std::optional<double>(f(r[j])); };
}
template <class R, class F>
auto across(F f) {
  return [f](const std::vector<R>& r, std::size_t j, const Params& p) {
    return over_window(j, p[0] + 1.0, [&](std::size_t s) { return f(r[s], r[j]); });
  };
}
template <class R, class F>
auto running(F f) {
  return [f](const std::vector<R>& r, std::size_t j, const Params&) {
    double sum = 0.0;
    for (std::size_t k = 0; k <= j; ++k) sum = sum + f(r[k]);
    return std::optional(sum);
  };
}
template <class R, class V, class F>
auto window(double skip, V v, F f) {
  return [=](const std::vector<R>& r, std::size_t j, const Params& p) {
    return over_window(j, p[0] + skip, [&](std::size_t s) {
      std::vector<double> w;
      for (std::size_t k = s + std::size_t(skip); k <= j; ++k) w.push_back(v(r, k));
      return f(w, p[0]);
    });
  };
}

inline double sum_of(const std::vector<double>& w) { return window_sum(w, w.size() - 1, w.size()); }

// The zero and MAX_PERIOD checks of count #0 of each kind, and more cases.
inline void expect_count_checks(std::initializer_list<const char*> kinds, std::vector<BuildCase> more) {
  for (const char* k : kinds)
    more.insert(more.end(), {{k, {kZeroCount}, kPeriodZeroText}, {k, {16777217}, kMaxPeriodText}, {k, {16777216}, ""}});
  expect_build_outcomes(more);
}

}  // namespace vsci::testing
