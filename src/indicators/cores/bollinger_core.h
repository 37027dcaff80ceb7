// BollingerCore: rolling mean and population deviation over a shifted sum (the
// shift is re-centred on the window mean every `period` inputs so the squares
// never lose precision), giving the bands at k deviations. A window of one
// repeated value has exactly that value as mean and no deviation, whatever
// residue the running sums keep. Single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/equal_run.h"
#include "indicators/cores/growing_storage.h"
#include "indicators/cores/window_checks.h"
#include "util/expected.h"

namespace vsci {

struct BollingerValue {
  double upper = 0.0;
  double middle = 0.0;
  double lower = 0.0;
  double deviation = 0.0;
};

class BollingerCore {
 public:
  // Checks only the period; owning kinds check k in their own order first.
  static Expected<BollingerCore, IndicatorError> create(std::uint64_t period, double k) {
    if (auto e = check_period(period)) return unexpected(*e);
    return BollingerCore(static_cast<std::size_t>(period), k);
  }

  // Inlined into each owning kind: called out of line, the four values make
  // a round trip through memory on every input.
  [[gnu::always_inline]] std::optional<BollingerValue> update_value(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    run_.push(x);
    if (count_ != period_) [[unlikely]] return fill(x);
    // Everything is read before the ring is written, so that no sum has to be
    // read back from memory after a store that might have changed it.
    double& slot = ring_[head_];
    const double shift = shift_;
    const double d_old = slot - shift;
    const double d = x - shift;
    const double sum_d = (sum_d_ - d_old) + d;
    const double sum_d2 = (sum_d2_ - d_old * d_old) + d * d;
    const double pushed_sum = pushed_sum_ + x;
    slot = x;
    sum_d_ = sum_d;
    sum_d2_ = sum_d2;
    pushed_sum_ = pushed_sum;
    // Re-centring comes every `period` inputs, which is each time head_ wraps.
    if (++head_ == period_) [[unlikely]] {
      head_ = 0;
      recompute();
    }
    return bands(x);
  }

  std::uint64_t warmup() const { return period_; }

 private:
  BollingerCore(std::size_t period, double k)
      : period_(period), n_(static_cast<double>(period)), k_(k), run_(period) {
    reserve_initial(ring_, period);
  }

  // The newest input's terms; the shift is set once the first input came.
  void add(double x) {
    const double d = x - shift_;
    sum_d_ += d;
    sum_d2_ = sum_d2_ + d * d;
    pushed_sum_ = pushed_sum_ + x;
  }

  BollingerValue bands(double x) const {
    const double mean_d = sum_d_ / n_;
    const bool flat = run_.whole();
    const double middle = flat ? x : shift_ + mean_d;
    double variance = sum_d2_ / n_ - mean_d * mean_d;
    if (flat || !(variance > 0.0)) variance = 0.0;  // negative, -0.0 (and NaN) become +0.0
    const double deviation = std::sqrt(variance);
    const double band = k_ * deviation;
    return BollingerValue{middle + band, middle, middle - band, deviation};
  }

  // Out of line, away from the per-input step of a full window: while
  // filling, head_ == count_ is the end of the ring.
  [[gnu::noinline]] std::optional<BollingerValue> fill(double x) {
    append_within(ring_, x, period_);
    ++count_;
    if (!shift_set_) {
      shift_ = x;
      shift_set_ = true;
    }
    add(x);
    if (++head_ < period_) return std::nullopt;
    head_ = 0;
    recompute();
    return bands(x);
  }

  // Re-centres on the window mean. It runs only as head_ wraps on a full
  // window, so the held values oldest first are the ring in slot order, and
  // they are the inputs since the last re-centring: the running sum of those
  // is the pass over the window from +0.0 that the mean needs.
  [[gnu::noinline]] void recompute() {
    const double m = pushed_sum_ / n_;
    pushed_sum_ = 0.0;
    double sd = 0.0;
    double sd2 = 0.0;
    for (const double v : ring_) {
      const double d = v - m;
      sd += d;
      sd2 += d * d;
    }
    shift_ = m;
    shift_set_ = true;
    sum_d_ = sd;
    sum_d2_ = sd2;
  }

  std::vector<double> ring_;  // by slot; grows to period_ while filling
  std::size_t period_ = 1;
  double n_ = 1.0;  // the period as a float
  double k_ = 2.0;
  EqualRun run_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  double shift_ = 0.0;
  bool shift_set_ = false;
  double sum_d_ = 0.0;
  double sum_d2_ = 0.0;
  double pushed_sum_ = 0.0;  // of the inputs since the last re-centring, from +0.0
};

// The core for a kind that publishes the bands: the core's period checks,
// then k, which such a kind needs positive.
inline Expected<BollingerCore, IndicatorError> positive_band_core(std::uint64_t period, double k) {
  auto core = BollingerCore::create(period, k);
  if (core.ok()) {
    if (auto e = check_multiplier(k)) return unexpected(*e);
  }
  return core;
}

}  // namespace vsci
