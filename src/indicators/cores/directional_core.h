// DirectionalMovement: Wilder's smoothed plus move, minus move and true range
// of validated candles, and the directional indices read from them. The front
// end of the ADX core and of the Dx, +DI/-DI and +DM/-DM kinds, so all of them
// give the same numbers bar for bar. Single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "market/bar_context.h"

namespace vsci {

// The three Wilder sums of one bar, and the indices they give.
struct SmoothedMovement {
  double plus = 0.0;
  double minus = 0.0;
  double tr = 0.0;

  // 100 * DM / TR, multiplied before dividing; 0 without range.
  double plus_di() const { return tr == 0.0 ? 0.0 : 100.0 * plus / tr; }
  double minus_di() const { return tr == 0.0 ? 0.0 : 100.0 * minus / tr; }
  // 100 * |+DI - -DI| / (+DI + -DI); 0 when both indices are 0.
  double dx() const {
    const double p = plus_di();
    const double m = minus_di();
    const double sum = p + m;
    return sum == 0.0 ? 0.0 : 100.0 * std::fabs(p - m) / sum;
  }
};

class DirectionalMovement {
 public:
  // period >= 1; the owner checks it.
  explicit DirectionalMovement(std::uint64_t period) : period_(period), n_(static_cast<double>(period)) {}

  // No value on the first candle (it is only stored) nor until `period` moves
  // are summed; the sums themselves are the first smoothed values, and then
  // each becomes s - s / n + x.
  std::optional<SmoothedMovement> update(const Candle& c) {
    if (!prev_) {
      prev_ = c;
      return std::nullopt;
    }
    const double tr = std::fmax(std::fmax(c.high - c.low, std::fabs(c.high - prev_->close)),
                                std::fabs(c.low - prev_->close));
    const double up = c.high - prev_->high;
    const double down = prev_->low - c.low;
    const double plus = (up > down && up > 0.0) ? up : 0.0;
    const double minus = (down > up && down > 0.0) ? down : 0.0;
    prev_ = c;
    if (seed_count_ < period_) {
      s_.plus += plus;
      s_.minus += minus;
      s_.tr += tr;
      if (++seed_count_ < period_) return std::nullopt;
      return s_;
    }
    s_.plus = (s_.plus - s_.plus / n_) + plus;
    s_.minus = (s_.minus - s_.minus / n_) + minus;
    s_.tr = (s_.tr - s_.tr / n_) + tr;
    return s_;
  }

  std::uint64_t period() const { return period_; }

 private:
  std::uint64_t period_;
  double n_;
  std::optional<Candle> prev_;
  std::uint64_t seed_count_ = 0;
  SmoothedMovement s_;  // the seed sums until seed_count_ reaches period_
};

}  // namespace vsci
