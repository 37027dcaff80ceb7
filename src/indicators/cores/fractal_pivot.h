// The fractal pivot test of the kinds that look for a bar standing out from
// the bars on both sides of it (TdDWave, AndrewsPitchfork). Pure function.
#pragma once

#include <cstddef>

#include "indicators/cores/ring.h"

namespace vsci {

enum class FractalPivot : unsigned char { None, High, Low };

// The entry at `centre` of `bars` (anything with a high and a low) is a swing
// high when every other entry has a high strictly below its high, a swing low
// when every other entry has a low strictly above its low. A bar that is both
// at once, or neither, is no pivot.
template <class Bar>
FractalPivot fractal_pivot(const Ring<Bar>& bars, std::size_t centre) {
  const Bar& middle = bars[centre];
  bool is_high = true;
  bool is_low = true;
  for (std::size_t i = 0; i < bars.size() && (is_high || is_low); ++i) {
    if (i == centre) continue;
    is_high = is_high && middle.high > bars[i].high;
    is_low = is_low && middle.low < bars[i].low;
  }
  if (is_high == is_low) return FractalPivot::None;
  return is_high ? FractalPivot::High : FractalPivot::Low;
}

}  // namespace vsci
