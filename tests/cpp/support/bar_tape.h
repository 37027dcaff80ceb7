// A seeded tape of bars with every feed a kind can read: valid candles on an
// hourly clock, a reference close, trade prints, an order book, a derivatives
// tick and a cross-section per bar. context(i) lends bar i to an update;
// feed_candles drives a kind over plain candles.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "indicators/indicator.h"
#include "market/bar_context.h"
#include "support/counted_sums.h"

namespace vsci::testing {

struct BarTape {
  std::vector<Candle> candles;
  std::vector<double> reference;
  std::vector<std::vector<TradePrint>> trades;
  std::vector<OrderBook> books;
  std::vector<DerivativesTick> ticks;
  std::vector<CrossSection> sections;

  std::size_t size() const { return candles.size(); }

  BarContext context(std::size_t i) const {
    BarContext ctx(candles[i]);
    ctx.reference = reference[i];
    ctx.trades = trades[i];
    ctx.book = &books[i];
    ctx.derivatives = &ticks[i];
    ctx.cross_section = &sections[i];
    return ctx;
  }
};

// `n` bars of a random walk around `start`; volumes and sizes vary, and every
// record passes the engine's checks.
inline BarTape make_tape(std::size_t n, unsigned seed, double start = 100.0, double drift = 0.0) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> step(drift, 1.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  BarTape t;
  double close = start;
  double ref = start * 0.5;
  for (std::size_t i = 0; i < n; ++i) {
    Candle c;
    c.time = 1'700'000'000'000LL + static_cast<std::int64_t>(i) * 3'600'000LL;
    c.open = close;
    close = std::fmax(1.0, close + step(rng));
    c.close = close;
    c.high = std::fmax(c.open, c.close) + unit(rng);
    c.low = std::fmax(0.5, std::fmin(c.open, c.close) - unit(rng));
    c.volume = std::floor(1000.0 + 9000.0 * unit(rng));
    t.candles.push_back(c);

    ref = std::fmax(1.0, ref + 0.5 * step(rng));
    t.reference.push_back(ref);

    std::vector<TradePrint> prints;
    const int count = 1 + static_cast<int>(unit(rng) * 4.0);
    for (int k = 0; k < count; ++k) {
      TradePrint p;
      p.price = c.low + (c.high - c.low) * unit(rng);
      p.size = 1.0 + std::floor(unit(rng) * 50.0);
      p.side = unit(rng) < 0.5 ? TradeSide::Buy : TradeSide::Sell;
      p.timestamp = c.time + k;
      prints.push_back(p);
    }
    t.trades.push_back(std::move(prints));

    OrderBook book;
    const double spread = 0.01 + 0.05 * unit(rng);
    for (int k = 0; k < 3; ++k) {
      book.bids.push_back({close - spread - 0.1 * k, 1.0 + std::floor(unit(rng) * 20.0)});
      book.asks.push_back({close + spread + 0.1 * k, 1.0 + std::floor(unit(rng) * 20.0)});
    }
    t.books.push_back(std::move(book));

    DerivativesTick d;
    d.funding_rate = 0.0001 * (unit(rng) - 0.4);
    d.mark_price = close * (1.0 + 0.001 * (unit(rng) - 0.5));
    d.index_price = close;
    d.futures_price = close * (1.0 + 0.002 * unit(rng));
    d.open_interest = 1e6 + 1e5 * unit(rng);
    d.long_size = 500.0 + 100.0 * unit(rng);
    d.short_size = 500.0 + 100.0 * unit(rng);
    d.taker_buy_volume = 1000.0 * unit(rng);
    d.taker_sell_volume = 1000.0 * unit(rng);
    d.long_liquidation = unit(rng) < 0.2 ? 10.0 * unit(rng) : 0.0;
    d.short_liquidation = unit(rng) < 0.2 ? 10.0 * unit(rng) : 0.0;
    d.timestamp = c.time;
    t.ticks.push_back(d);

    CrossSection s;
    s.timestamp = c.time;
    for (int k = 0; k < 8; ++k) {
      s.members.push_back({0.02 * (unit(rng) - 0.5), 1000.0 * unit(rng), unit(rng) < 0.1, unit(rng) < 0.1});
    }
    t.sections.push_back(std::move(s));
  }
  return t;
}

// Feeds the candles one bar at a time; an empty entry is a bar without a value.
inline std::vector<std::optional<double>> feed_candles(Indicator& ind, const std::vector<Candle>& candles) {
  std::vector<std::optional<double>> out;
  out.reserve(candles.size());
  for (const Candle& c : candles) out.push_back(ind.update(BarContext(c)));
  return out;
}

// f(c) for each candle c.
template <class F>
std::vector<double> candle_field(const std::vector<Candle>& candles, F f) {
  std::vector<double> v;
  v.reserve(candles.size());
  for (const Candle& c : candles) v.push_back(f(c));
  return v;
}

// Stretches of bars flat at the last close without volume, of the lengths
// kStretches in turn, each after five moving bars whose prices and volumes
// span several magnitudes (so running sums keep residue).
inline std::vector<Candle> candles_with_flat_stretches(std::size_t n, unsigned seed) {
  std::vector<Candle> c = make_tape(n, seed).candles;
  for (std::size_t i = 0, k = 0; i < n; ++k) {
    for (std::size_t m = 0; m < 5 && i < n; ++m, ++i) {
      const double scale = std::pow(10.0, double(i % 3) - 1.0);
      c[i] = {c[i].time, c[i].open * scale, c[i].high * scale, c[i].low * scale, c[i].close * scale,
              c[i].volume * 0.37 * std::pow(10.0, double(i % 4) - 2.0)};
    }
    for (std::size_t m = 0; m < kStretches[k % kStretches.size()] && i < n; ++m, ++i) {
      const double p = c[i - 1].close;
      c[i] = {c[i].time, p, p, p, p, 0.0};
    }
  }
  return c;
}

}  // namespace vsci::testing
