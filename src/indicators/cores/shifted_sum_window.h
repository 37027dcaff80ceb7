// ShiftedSumWindow: a ring of up to L values with sums of deviations from an
// anchor K (S1 = sum of v - K, S2 = sum of (v - K)^2). K is re-centred on the
// window mean and both sums recomputed every L pushes, which keeps the
// variance exact to rounding over long series. A full window of one repeated
// value has exactly that value as mean and 0 variance, whatever residue the
// sums keep. Single-threaded use.
#pragma once

#include <cmath>

#include "indicators/cores/equal_run.h"
#include "indicators/cores/ring.h"

namespace vsci {

class ShiftedSumWindow {
 public:
  ShiftedSumWindow() = default;
  explicit ShiftedSumWindow(std::size_t length) : ring_(length), run_(length) {}

  // Appends x (evicting the oldest value when full). With recompute_check
  // false the push still counts towards the next re-centring but never
  // triggers it; a kind that fills its window this way re-centres on the
  // first checked push after the window is full.
  void push(double x, bool recompute_check = true) {
    if (ring_.full()) {
      const double d = ring_.oldest() - anchor_;
      s1_ -= d;
      s2_ -= d * d;
    }
    ring_.push(x);
    run_.push(x);
    if (!anchor_set_) {
      anchor_ = x;
      anchor_set_ = true;
    }
    const double d = x - anchor_;
    s1_ += d;
    s2_ += d * d;
    ++pushes_;
    if (recompute_check && pushes_ >= ring_.capacity()) recentre();
  }

  std::size_t length() const { return ring_.capacity(); }
  bool full() const { return ring_.full(); }
  // A full window of equal values.
  bool flat() const { return run_.whole(); }
  // S1 and S2 about the current anchor, for kinds that state their own
  // variance formula over them.
  double deviation_sum() const { return s1_; }
  double squared_deviation_sum() const { return s2_; }

  // The window mean, K + S1 / L (the value itself for a flat window).
  double mean() const { return flat() ? ring_.newest() : anchor_ + s1_ / static_cast<double>(ring_.capacity()); }

  // (S2 - L * m^2) / (L - 1) with m = S1 / L; m^2 rounded, then the product
  // with L fused into the subtraction. Negative or NaN results, and a flat
  // window, give 0.
  double sample_variance() const {
    if (flat()) return 0.0;
    const double len = static_cast<double>(ring_.capacity());
    const double m = s1_ / len;
    const double m2 = m * m;
    const double v = std::fma(-len, m2, s2_) / (len - 1.0);
    return v > 0.0 ? v : 0.0;
  }
  double sample_stddev() const { return std::sqrt(sample_variance()); }

  // S2 / L - m^2 with m = S1 / L. Negative or NaN results, and a flat
  // window, give 0.
  double population_variance() const {
    if (flat()) return 0.0;
    const double len = static_cast<double>(ring_.capacity());
    const double m = s1_ / len;
    const double v = s2_ / len - m * m;
    return v > 0.0 ? v : 0.0;
  }
  double population_stddev() const { return std::sqrt(population_variance()); }

 private:
  void recentre() {
    const std::size_t n = ring_.size();
    const auto [older, newer] = ring_.runs();
    double sum = 0.0;
    for (auto run : {older, newer}) {
      for (double v : run) sum += v;
    }
    anchor_ = sum / static_cast<double>(n);
    double s1 = 0.0;
    double s2 = 0.0;
    for (auto run : {older, newer}) {
      for (double v : run) {
        const double d = v - anchor_;
        s1 += d;
        s2 += d * d;
      }
    }
    s1_ = s1;
    s2_ = s2;
    pushes_ = 0;
  }

  Ring<double> ring_;
  EqualRun run_{1};
  double anchor_ = 0.0;
  bool anchor_set_ = false;
  double s1_ = 0.0;
  double s2_ = 0.0;
  std::size_t pushes_ = 0;
};

}  // namespace vsci
