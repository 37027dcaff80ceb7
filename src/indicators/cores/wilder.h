// Wilder's average and the average true range built on it, shared by every
// candle kind that smooths a true range (Atr, volatility stops, ATR channels,
// trailing stops). Single-threaded use.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "indicators/cores/window_checks.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

// How the smoothing step rounds: Atr and Natr round the product before the
// addition; the volatility stops fuse the two into one multiply-add.
enum class WilderStep : unsigned char { Rounded, Fused };

// Nothing for the first n - 1 inputs, their plain mean on the n-th (summed
// from -0.0), then (average * (n - 1) + x) * (1 / n) with both constants
// fixed at construction.
template <WilderStep Step>
class BasicWilderAverage {
 public:
  static Expected<BasicWilderAverage, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return BasicWilderAverage(period);
  }

  std::optional<double> update_value(double x) {
    if (seeded_) {
      if constexpr (Step == WilderStep::Fused) {
        average_ = std::fma(average_, n_minus_one_, x) * inverse_;
      } else {
        average_ = (average_ * n_minus_one_ + x) * inverse_;
      }
      return average_;
    }
    sum_ += x;
    if (++count_ < period_) return std::nullopt;
    average_ = sum_ / static_cast<double>(period_);
    seeded_ = true;
    return average_;
  }
  std::uint64_t period() const { return period_; }

 private:
  explicit BasicWilderAverage(std::uint64_t period)
      : period_(period), n_minus_one_(static_cast<double>(period) - 1.0), inverse_(1.0 / static_cast<double>(period)) {}

  std::uint64_t period_;
  double n_minus_one_;
  double inverse_;
  double sum_ = -0.0;
  std::uint64_t count_ = 0;
  double average_ = 0.0;
  bool seeded_ = false;
};

using WilderAverage = BasicWilderAverage<WilderStep::Rounded>;
using FusedWilderAverage = BasicWilderAverage<WilderStep::Fused>;

// The true range of a bar against the previous close: high - low on the
// first bar, else the largest of high - low, |high - pc| and |low - pc|.
inline double true_range(const Candle& c, std::optional<double> prev_close) {
  const double range = c.high - c.low;
  if (!prev_close) return range;
  return std::max({range, std::fabs(c.high - *prev_close), std::fabs(c.low - *prev_close)});
}

// Wilder's average of the true range of validated candles; the previous close
// moves on every bar, seeded or not.
template <WilderStep Step>
class BasicWilderAtr {
 public:
  static Expected<BasicWilderAtr, IndicatorError> create(std::uint64_t period) {
    auto avg = BasicWilderAverage<Step>::create(period);
    if (!avg.ok()) return unexpected(avg.error());
    return BasicWilderAtr(std::move(avg).value());
  }

  std::optional<double> update_candle(const Candle& c) {
    const double tr = true_range(c, prev_close_);
    prev_close_ = c.close;
    return average_.update_value(tr);
  }
  std::uint64_t period() const { return average_.period(); }

 private:
  explicit BasicWilderAtr(BasicWilderAverage<Step> avg) : average_(std::move(avg)) {}

  BasicWilderAverage<Step> average_;
  std::optional<double> prev_close_;
};

using WilderAtr = BasicWilderAtr<WilderStep::Rounded>;
using FusedWilderAtr = BasicWilderAtr<WilderStep::Fused>;

}  // namespace vsci
