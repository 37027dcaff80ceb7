// Rsi: Wilder's relative strength index of a series. The first `period` gains
// and losses seed the averages with their plain means; afterwards each side is
// smoothed as (avg * (n - 1) + term) * (1 / n) with the inner step fused. The
// Rsi kind is this core; other kinds (stochastic, Connors, Fisher, smoothed
// histogram, and multi-line oscillators) embed it and feed it values of their
// own, so it applies the finiteness rule to its input itself.
// Single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "indicators/cores/change_stream.h"
#include "indicators/cores/window_checks.h"
#include "util/expected.h"

namespace vsci {

// The gain and loss parts of a change: both never negative, and a change of
// -0.0 gives +0.0 on both sides.
struct ChangeSplit {
  double gain = 0.0;
  double loss = 0.0;
};

inline ChangeSplit split_change(double d) { return {d > 0.0 ? d : 0.0, d < 0.0 ? -d : 0.0}; }

// The first `period` gains and losses, summed in arrival order from +0.0;
// their plain means seed the smoothed averages of the RSI-style kinds. Gains
// and losses are never -0.0, so these sums equal sums over stored lists.
class GainLossSeed {
 public:
  explicit GainLossSeed(std::uint64_t period) : period_(period) {}

  bool done() const { return count_ == period_; }
  // Adds one split change (before done()); on the period-th, sets gain and
  // loss to the means and returns true.
  bool add(const ChangeSplit& c, double& gain, double& loss) {
    gain_sum_ = gain_sum_ + c.gain;
    loss_sum_ = loss_sum_ + c.loss;
    if (++count_ < period_) return false;
    const double n = static_cast<double>(period_);
    gain = gain_sum_ / n;
    loss = loss_sum_ / n;
    return true;
  }

 private:
  std::uint64_t period_;
  double gain_sum_ = 0.0;
  double loss_sum_ = 0.0;
  std::uint64_t count_ = 0;
};

class Rsi {
 public:
  static Expected<Rsi, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return Rsi(period);
  }

  std::optional<double> update_value(double x) {
    const auto d = diffs_.next(x);
    if (!d) return std::nullopt;
    const ChangeSplit c = split_change(*d);
    if (seed_.done()) {
      gain_ = std::fma(gain_, n_minus_1_, c.gain) * inv_n_;
      loss_ = std::fma(loss_, n_minus_1_, c.loss) * inv_n_;
    } else if (!seed_.add(c, gain_, loss_)) {
      return std::nullopt;
    }
    const double s = gain_ + loss_;
    if (s == 0.0) return 50.0;
    return (gain_ * 100.0) / s;
  }

  std::uint64_t warmup() const { return period_ + 1; }
  std::uint64_t period() const { return period_; }

 private:
  explicit Rsi(std::uint64_t period)
      : period_(period),
        n_minus_1_(static_cast<double>(period) - 1.0),
        inv_n_(1.0 / static_cast<double>(period)),
        seed_(period) {}

  std::uint64_t period_ = 1;
  double n_minus_1_ = 0.0;
  double inv_n_ = 1.0;
  ChangeStream diffs_;
  GainLossSeed seed_;
  double gain_ = 0.0;
  double loss_ = 0.0;
};

}  // namespace vsci
