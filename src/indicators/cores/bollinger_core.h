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

  std::optional<BollingerValue> update_value(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    run_.push(x);
    if (count_ == period_) {
      const double d_old = ring_[head_] - shift_;
      sum_d_ -= d_old;
      sum_d2_ -= d_old * d_old;
      ring_[head_] = x;
    } else {
      append_within(ring_, x, period_);  // filling: head_ == count_ is the end
      ++count_;
    }
    if (!shift_set_) {
      shift_ = x;
      shift_set_ = true;
    }
    const double d = x - shift_;
    sum_d_ += d;
    sum_d2_ = sum_d2_ + d * d;
    ++since_recompute_;
    if (++head_ == period_) head_ = 0;
    if (since_recompute_ >= period_) recompute();
    if (count_ != period_) return std::nullopt;
    const double n = static_cast<double>(period_);
    const double mean_d = sum_d_ / n;
    const bool flat = run_.whole();
    const double middle = flat ? x : shift_ + mean_d;
    double variance = sum_d2_ / n - mean_d * mean_d;
    if (flat || !(variance > 0.0)) variance = 0.0;  // negative, -0.0 (and NaN) become +0.0
    const double deviation = std::sqrt(variance);
    const double band = k_ * deviation;
    return BollingerValue{middle + band, middle, middle - band, deviation};
  }

  std::uint64_t warmup() const { return period_; }
  std::size_t period() const { return period_; }

 private:
  BollingerCore(std::size_t period, double k) : period_(period), k_(k), run_(period) {
    reserve_initial(ring_, period);
  }

  // Held values oldest first: when full, head_ .. end then 0 .. head_-1.
  template <class F>
  void for_each_held(F f) const {
    if (count_ == period_) {
      for (std::size_t i = head_; i < period_; ++i) f(ring_[i]);
      for (std::size_t i = 0; i < head_; ++i) f(ring_[i]);
    } else {
      for (std::size_t i = 0; i < count_; ++i) f(ring_[i]);
    }
  }

  void recompute() {
    since_recompute_ = 0;
    if (count_ == 0) {
      sum_d_ = 0.0;
      sum_d2_ = 0.0;
      shift_ = 0.0;
      shift_set_ = false;
      return;
    }
    double s = 0.0;
    for_each_held([&](double v) { s += v; });
    const double m = s / static_cast<double>(count_);
    double sd = 0.0;
    double sd2 = 0.0;
    for_each_held([&](double v) {
      const double d = v - m;
      sd += d;
      sd2 += d * d;
    });
    shift_ = m;
    shift_set_ = true;
    sum_d_ = sd;
    sum_d2_ = sd2;
  }

  std::vector<double> ring_;  // by slot; grows to period_ while filling
  std::size_t period_ = 1;
  double k_ = 2.0;
  EqualRun run_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  double shift_ = 0.0;
  bool shift_set_ = false;
  double sum_d_ = 0.0;
  double sum_d2_ = 0.0;
  std::size_t since_recompute_ = 0;
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
