// CmoCore: Chande's momentum oscillator over `period` close-to-close moves.
// Its sums are running sums; a sum whose window holds no non-zero move is reset
// to +0.0 so that a flat stretch gives exactly 0 instead of rounding residue.
// Embedded by Cmo and Vidya; single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "indicators/cores/change_stream.h"
#include "indicators/cores/ring.h"
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
    if (moves_.full()) {
      const Move& old = moves_.oldest();
      sum_up_ -= old.up;
      sum_down_ -= old.down;
      if (old.up != 0.0 && --nonzero_up_ == 0) sum_up_ = 0.0;
      if (old.down != 0.0 && --nonzero_down_ == 0) sum_down_ = 0.0;
    }
    const double up = diff > 0.0 ? diff : 0.0;
    const double down = -diff > 0.0 ? -diff : 0.0;
    moves_.push(Move{up, down});
    if (up != 0.0) ++nonzero_up_;
    if (down != 0.0) ++nonzero_down_;
    sum_up_ = up + sum_up_;
    sum_down_ = down + sum_down_;
    if (!moves_.full()) return std::nullopt;
    const double total = sum_up_ + sum_down_;
    last_ = total == 0.0 ? 0.0 : (sum_up_ - sum_down_) * 100.0 / total;
    return last_;
  }

  std::uint64_t warmup() const { return moves_.capacity() + 1; }
  std::optional<double> last() const { return last_; }

 private:
  struct Move {
    double up = 0.0;
    double down = 0.0;
  };
  explicit CmoCore(std::size_t period) : moves_(period) {}

  ChangeStream diffs_;
  Ring<Move> moves_;
  double sum_up_ = 0.0;
  double sum_down_ = 0.0;
  std::size_t nonzero_up_ = 0;
  std::size_t nonzero_down_ = 0;
  std::optional<double> last_;
};

}  // namespace vsci
