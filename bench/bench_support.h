// The tape the all-kinds bench feeds every kind: a seeded candle walk with every
// side feed a kind can read (reference close, trade prints, order book,
// derivatives tick, cross-section), made one block of bars at a time into
// storage sized once, so making a bar allocates nothing and the clock can stay
// off while the next block is made. One thread at a time.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "market/bar_context.h"

namespace vsci::bench {

class BenchTape {
 public:
  static constexpr std::size_t kBlock = 4096;

  explicit BenchTape(unsigned seed)
      : rng_(seed), candles_(kBlock), reference_(kBlock), prints_(kBlock), print_count_(kBlock), books_(kBlock),
        ticks_(kBlock), sections_(kBlock) {
    for (OrderBook& b : books_) {
      b.bids.resize(kLevels);
      b.asks.resize(kLevels);
    }
    for (CrossSection& s : sections_) s.members.resize(kMembers);
  }

  // Overwrites the block with the next `n` (at most kBlock) bars of the walk.
  void next_block(std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) make_bar(i);
  }

  const Candle& candle(std::size_t i) const { return candles_[i]; }

  // Bar i of the block as the engine lends it to an update.
  BarContext context(std::size_t i) const {
    BarContext ctx(candles_[i]);
    ctx.reference = reference_[i];
    ctx.trades = std::span<const TradePrint>(prints_[i].data(), print_count_[i]);
    ctx.book = &books_[i];
    ctx.derivatives = &ticks_[i];
    ctx.cross_section = &sections_[i];
    return ctx;
  }

 private:
  static constexpr std::size_t kPrints = 4;
  static constexpr std::size_t kLevels = 3;
  static constexpr std::size_t kMembers = 8;

  double unit() { return unit_(rng_); }

  void make_bar(std::size_t i) {
    Candle& c = candles_[i];
    c.time = time_;
    time_ += 60'000;
    c.open = close_;
    close_ = std::fmax(1.0, close_ + step_(rng_));
    c.close = close_;
    c.high = std::fmax(c.open, c.close) + unit();
    c.low = std::fmax(0.5, std::fmin(c.open, c.close) - unit());
    c.volume = std::floor(1000.0 + 9000.0 * unit());

    reference_[i] = ref_ = std::fmax(1.0, ref_ + 0.5 * step_(rng_));

    print_count_[i] = 1 + static_cast<std::size_t>(unit() * kPrints);
    for (std::size_t k = 0; k < print_count_[i]; ++k) {
      TradePrint& p = prints_[i][k];
      p.price = c.low + (c.high - c.low) * unit();
      p.size = 1.0 + std::floor(unit() * 50.0);
      p.side = unit() < 0.5 ? TradeSide::Buy : TradeSide::Sell;
      p.timestamp = c.time + static_cast<std::int64_t>(k);
    }

    const double spread = 0.01 + 0.05 * unit();
    for (std::size_t k = 0; k < kLevels; ++k) {
      books_[i].bids[k] = {close_ - spread - 0.1 * static_cast<double>(k), 1.0 + std::floor(unit() * 20.0)};
      books_[i].asks[k] = {close_ + spread + 0.1 * static_cast<double>(k), 1.0 + std::floor(unit() * 20.0)};
    }

    DerivativesTick& d = ticks_[i];
    d.funding_rate = 0.0001 * (unit() - 0.4);
    d.mark_price = close_ * (1.0 + 0.001 * (unit() - 0.5));
    d.index_price = close_;
    d.futures_price = close_ * (1.0 + 0.002 * unit());
    d.open_interest = 1e6 + 1e5 * unit();
    d.long_size = 500.0 + 100.0 * unit();
    d.short_size = 500.0 + 100.0 * unit();
    d.taker_buy_volume = 1000.0 * unit();
    d.taker_sell_volume = 1000.0 * unit();
    d.long_liquidation = unit() < 0.2 ? 10.0 * unit() : 0.0;
    d.short_liquidation = unit() < 0.2 ? 10.0 * unit() : 0.0;
    d.timestamp = c.time;

    sections_[i].timestamp = c.time;
    for (CrossSectionMember& m : sections_[i].members) {
      m = {0.02 * (unit() - 0.5), 1000.0 * unit(), unit() < 0.1, unit() < 0.1};
    }
  }

  std::mt19937_64 rng_;
  std::normal_distribution<double> step_{0.0, 1.0};
  std::uniform_real_distribution<double> unit_{0.0, 1.0};
  std::int64_t time_ = 1'700'000'000'000LL;
  double close_ = 1000.0;
  double ref_ = 500.0;

  std::vector<Candle> candles_;
  std::vector<double> reference_;
  std::vector<std::array<TradePrint, kPrints>> prints_;
  std::vector<std::size_t> print_count_;
  std::vector<OrderBook> books_;
  std::vector<DerivativesTick> ticks_;
  std::vector<CrossSection> sections_;
};

}  // namespace vsci::bench
