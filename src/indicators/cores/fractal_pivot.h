// The fractal pivot test of the kinds that look for a bar standing out from
// the bars on both sides of it (TdDWave, AndrewsPitchfork, FractalChaosBands):
// a window of 2n + 1 bars split around its centre, each side's extremes kept
// without scanning. Single-threaded use.
#pragma once

#include <cstddef>

#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/ring.h"

namespace vsci {

enum class FractalPivot : unsigned char { None, High, Low };

class FractalWindow {
 public:
  // n bars on each side of the centre.
  explicit FractalWindow(std::size_t side)
      : centre_and_right_(side + 1), left_highs_(side), left_lows_(side), right_highs_(side), right_lows_(side) {}

  void push(double high, double low) {
    // The bar that stops being the centre joins the left side.
    if (centre_and_right_.full()) {
      const Span& leaving = centre_and_right_.oldest();
      left_highs_.push(leaving.high);
      left_lows_.push(leaving.low);
    }
    centre_and_right_.push(Span{high, low});
    right_highs_.push(high);
    right_lows_.push(low);
  }

  // All 2n + 1 bars are held.
  bool full() const { return left_highs_.full(); }
  double centre_high() const { return centre_and_right_.oldest().high; }
  double centre_low() const { return centre_and_right_.oldest().low; }

  // Need full(). Every other bar has a high strictly below the centre's high;
  // every other bar has a low strictly above the centre's low.
  bool stands_above() const {
    const double high = centre_high();
    return high > left_highs_.value() && high > right_highs_.value();
  }
  bool stands_below() const {
    const double low = centre_low();
    return low < left_lows_.value() && low < right_lows_.value();
  }

  // Needs full(). A swing high stands above, a swing low below; a bar that
  // does both at once, or neither, is no pivot.
  FractalPivot pivot() const {
    const bool is_high = stands_above();
    const bool is_low = stands_below();
    if (is_high == is_low) return FractalPivot::None;
    return is_high ? FractalPivot::High : FractalPivot::Low;
  }

 private:
  struct Span {
    double high;
    double low;
  };

  Ring<Span> centre_and_right_;
  OldestLargest left_highs_;
  OldestSmallest left_lows_;
  OldestLargest right_highs_;
  OldestSmallest right_lows_;
};

}  // namespace vsci
