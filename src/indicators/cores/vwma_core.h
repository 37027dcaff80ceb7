// Vwma: the volume-weighted moving average of the last n (price, volume)
// pairs, the Vwma kind itself (fed the close and volume of validated candles)
// and the core VolumeWeightedMacd feeds pairs of its own. Running sums,
// recomputed exactly from the window every n pairs. Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/ring.h"
#include "indicators/cores/window_checks.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

class Vwma {
 public:
  static Expected<Vwma, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return Vwma(static_cast<std::size_t>(period));
  }

  // Σ price × volume / Σ volume once n pairs are held; the plain mean of the
  // prices while no volume in the window is positive.
  std::optional<double> update_value(double price, double volume) {
    if (ring_.full()) {
      const Pair& old = ring_.oldest();
      pv_sum_ -= old.price * old.volume;
      volume_sum_ -= old.volume;
      price_sum_ -= old.price;
      if (old.volume > 0.0) --positive_;
    }
    ring_.push({price, volume});
    pv_sum_ += price * volume;
    volume_sum_ += volume;
    price_sum_ += price;
    if (volume > 0.0) ++positive_;
    if (++since_resum_ == ring_.capacity()) resum();
    if (!ring_.full()) return std::nullopt;
    // A window whose volumes are all zero falls back whatever residue the
    // subtractions left in the volume sums.
    if (positive_ == 0) {
      pv_sum_ = 0.0;
      volume_sum_ = 0.0;
    }
    if (positive_ > 0 && volume_sum_ > 0.0) return pv_sum_ / volume_sum_;
    return price_sum_ / static_cast<double>(ring_.capacity());
  }

  std::optional<double> update_candle(const Candle& c) { return update_value(c.close, c.volume); }
  std::uint64_t warmup() const { return ring_.capacity(); }

 private:
  struct Pair {
    double price = 0.0;
    double volume = 0.0;
  };

  explicit Vwma(std::size_t period) : ring_(period) {}

  [[gnu::noinline]] void resum() {
    double pv = 0.0, v = 0.0, p = 0.0;
    const auto [older, newer] = ring_.runs();
    for (auto run : {older, newer}) {
      for (const Pair& x : run) {
        pv += x.price * x.volume;
        v += x.volume;
        p += x.price;
      }
    }
    pv_sum_ = pv;
    volume_sum_ = v;
    price_sum_ = p;
    since_resum_ = 0;
  }

  Ring<Pair> ring_;
  double pv_sum_ = 0.0;
  double volume_sum_ = 0.0;
  double price_sum_ = 0.0;
  std::size_t positive_ = 0;  // pairs in the window with a volume above 0
  std::size_t since_resum_ = 0;
};

}  // namespace vsci
