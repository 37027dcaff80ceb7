// CmoCore: Chande's momentum oscillator over `period` close-to-close moves.
// Its sums are counted running sums of the up and down moves (running_sum.h),
// so that a flat stretch gives exactly 0 instead of rounding residue.
// Embedded by Cmo and Vidya; single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/change_stream.h"
#include "indicators/cores/running_sum.h"
#include "indicators/cores/window_checks.h"
#include "util/expected.h"

namespace vsci {

class CmoCore {
 public:
  static Expected<CmoCore, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return CmoCore(static_cast<std::size_t>(period));
  }

  std::optional<double> update_value(double x) {
    const auto change = diffs_.next(x);
    if (!change) return std::nullopt;
    const double diff = *change;
    const double up = diff > 0.0 ? diff : 0.0;
    const double down = -diff > 0.0 ? -diff : 0.0;
    moves_.push(up, down);
    if (!moves_.full()) return std::nullopt;
    const double sum_up = moves_.first_sum();
    const double sum_down = moves_.second_sum();
    const double total = sum_up + sum_down;
    return total == 0.0 ? 0.0 : (sum_up - sum_down) * 100.0 / total;
  }

  std::uint64_t warmup() const { return moves_.capacity() + 1; }

 private:
  explicit CmoCore(std::size_t period) : moves_(period) {}

  ChangeStream diffs_;
  PairedWindowSum moves_;  // (up, down) moves
};

}  // namespace vsci
