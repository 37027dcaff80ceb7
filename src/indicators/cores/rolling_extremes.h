// RollingExtremes: the largest and smallest of the last `window` pushed values
// in amortised constant time, for the kinds that track a window's range
// (Frama, AdaptiveLaguerreFilter, the Ehlers stochastic, Fisher transform,
// Stochastic, PivotReversal, ThreeLineBreak). Pushed values must be comparable
// (no NaN). Its storage grows with the values pushed, up to the window (see
// growing_storage.h). Single-threaded use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/ring.h"

namespace vsci {

// The longest window a kind built on these queues accepts.
inline constexpr std::uint64_t kRollingExtremesMaxWindow = std::uint64_t{1} << 32;

class RollingExtremes {
 public:
  explicit RollingExtremes(std::size_t window) : values_(window), range_(window) {}

  void push(double x) {
    values_.push(x);
    range_.push(x, x);
  }

  bool full() const { return values_.full(); }
  // The value the next push evicts; only meaningful when full.
  double oldest() const { return values_.oldest(); }
  // Need at least one push.
  double largest() const { return range_.largest(); }
  double smallest() const { return range_.smallest(); }

 private:
  Ring<double> values_;
  NewestRange range_;
};

}  // namespace vsci
