// The fractal pivot test of the kinds that look for a bar standing out from
// the bars on both sides of it (TdDWave, AndrewsPitchfork, FractalChaosBands):
// a window of 2n + 1 bars split around its centre, each side's extremes kept
// without scanning. Single-threaded use.
#pragma once

#include <cstddef>

#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/ring.h"
#include "util/math_constants.h"

namespace vsci {

enum class FractalPivot : unsigned char { None, High, Low };

class FractalWindow {
 public:
  // n bars on each side of the centre.
  explicit FractalWindow(std::size_t side)
      : centre_and_right_(side + 1), left_(side), right_(side) {}

  void push(double high, double low) {
    // The bar that stops being the centre joins the left side.
    if (centre_and_right_.full()) {
      const Span& leaving = centre_and_right_.oldest();
      left_.push(leaving.high, leaving.low);
    }
    centre_and_right_.push(Span{high, low});
    right_.push(high, low);
  }

  // All 2n + 1 bars are held.
  bool full() const { return left_.full(); }
  double centre_high() const { return centre_and_right_.oldest().high; }
  double centre_low() const { return centre_and_right_.oldest().low; }

  struct Standing {
    bool above;  // every other bar's high strictly below the centre's high
    bool below;  // every other bar's low strictly above the centre's low
  };
  // Needs full().
  Standing standing() const {
    const Span& centre = centre_and_right_.oldest();
    const auto left = left_.fold_from(-kInf, kInf);
    const auto right = right_.fold_from(-kInf, kInf);
    return Standing{centre.high > left.largest && centre.high > right.largest,
                    centre.low < left.smallest && centre.low < right.smallest};
  }

  // Needs full(). A swing high stands above, a swing low below; a bar that
  // does both at once, or neither, is no pivot.
  FractalPivot pivot() const {
    const Standing s = standing();
    if (s.above == s.below) return FractalPivot::None;
    return s.above ? FractalPivot::High : FractalPivot::Low;
  }

 private:
  struct Span {
    double high;
    double low;
  };

  Ring<Span> centre_and_right_;
  OldestRange left_;
  OldestRange right_;
};

}  // namespace vsci
