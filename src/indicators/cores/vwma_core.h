// Vwma: the volume-weighted moving average of the last n (price, volume)
// pairs, the Vwma kind itself (fed the close and volume of validated candles)
// and the core VolumeWeightedMacd and VolumeWeightedSr feed pairs of their
// own. Three counted window sums, recomputed exactly from +0.0 every n pairs.
// Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/window_checks.h"
#include "indicators/cores/window_sum.h"
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
  // prices while the summed volume is not above 0. Volumes are never
  // negative, so a window without volume sums to exactly +0.0 and falls back.
  std::optional<double> update_value(double price, double volume) {
    price_volumes_.push(price * volume);
    volumes_.push(volume);
    prices_.push(price);
    if (!prices_.full()) return std::nullopt;
    if (volumes_.sum() > 0.0) return price_volumes_.sum() / volumes_.sum();
    return prices_.sum() / static_cast<double>(prices_.capacity());
  }

  std::optional<double> update_candle(const Candle& c) { return update_value(c.close, c.volume); }
  std::uint64_t warmup() const { return prices_.capacity(); }

 private:
  explicit Vwma(std::size_t n)
      : price_volumes_(WindowSum::resummed_every(n, n, 0.0)),
        volumes_(WindowSum::resummed_every(n, n, 0.0)),
        prices_(WindowSum::resummed_every(n, n, 0.0)) {}

  WindowSum price_volumes_;
  WindowSum volumes_;
  WindowSum prices_;
};

}  // namespace vsci
