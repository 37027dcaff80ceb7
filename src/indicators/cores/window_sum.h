// WindowSum: a ring of the last n values and their counted running sum
// (running_sum.h), the oldest value subtracted before the newest is added. A
// sum whose window holds no non-zero value is exactly +0.0, so a window that
// turns all-zero gives the result its kind promises for it rather than
// rounding residue; a re-summed
// window also recomputes its sum exactly (oldest first, from -0.0) every n
// pushes, or at the interval and from the zero its owner gives. Embedded by
// the window-sum kinds; single-threaded use.
#pragma once

#include <cstddef>

#include "indicators/cores/ring.h"
#include "indicators/cores/running_sum.h"

namespace vsci {

class WindowSum {
 public:
  WindowSum() = default;
  WindowSum(std::size_t n, bool resummed) : ring_(n), resum_every_(resummed ? n : 0) {}
  // Re-summed every `interval` pushes instead of every n, from `start`
  // (-0.0 or +0.0) instead of -0.0.
  static WindowSum resummed_every(std::size_t n, std::size_t interval, double start = -0.0) {
    WindowSum w(n, false);
    w.resum_every_ = interval;
    w.resum_start_ = start;
    return w;
  }

  // Appends x, dropping the oldest value first when the window is full.
  void push(double x) {
    if (ring_.full()) sum_.remove(ring_.oldest());
    ring_.push(x);
    sum_.add(x);
    if (resum_every_ != 0 && ++pushes_ == resum_every_) resum();
  }

  double sum() const { return sum_.value(); }
  std::size_t nonzero() const { return sum_.nonzero(); }
  bool full() const { return ring_.full(); }
  std::size_t capacity() const { return ring_.capacity(); }
  const Ring<double>& values() const { return ring_; }

 private:
  // Adding a start of +0.0 after summing from -0.0 is summing from +0.0.
  [[gnu::noinline]] void resum() {
    sum_.replace(resum_start_ + sum_oldest_first(ring_));
    pushes_ = 0;
  }

  Ring<double> ring_;
  RunningSum sum_;
  std::size_t resum_every_ = 0;  // 0: never
  std::size_t pushes_ = 0;
  double resum_start_ = -0.0;
};

}  // namespace vsci
