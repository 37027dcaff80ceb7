// MacdCore: the MACD line (fast average minus slow average), its averaged
// signal line and the histogram between them, with the period checks every
// fast/slow/signal kind makes. The MACD kinds publish all three lines;
// MacdHistogram and ElderImpulse read the histogram. Single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "indicators/cores/ema.h"
#include "indicators/cores/mean_seeded_smoother.h"
#include "indicators/cores/window_checks.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

struct MacdLines {
  double macd = 0.0;
  double signal = 0.0;
  double histogram = 0.0;
};

// Any of the three 0, then fast not below slow (refused with `order_text`),
// then any of the three above MAX_PERIOD.
inline std::optional<IndicatorError> check_macd_periods(std::uint64_t fast, std::uint64_t slow, std::uint64_t signal,
                                                        std::string_view order_text) {
  if (fast == 0 || slow == 0 || signal == 0) return IndicatorError::period_zero();
  if (fast >= slow) return IndicatorError::invalid_period(order_text);
  if (fast > MAX_PERIOD || slow > MAX_PERIOD || signal > MAX_PERIOD) return IndicatorError::period_too_large();
  return std::nullopt;
}

// The line fast - slow fed to a signal stage. A line that is not finite
// gives nothing and the stage never sees it.
template <class Stage>
std::optional<MacdLines> macd_lines(double fast, double slow, Stage& signal) {
  const double macd = fast - slow;
  if (!std::isfinite(macd)) return std::nullopt;
  const auto s = signal.update_value(macd);
  if (!s) return std::nullopt;
  return MacdLines{macd, *s, macd - *s};
}

// The averages are a parameter: `Ema` steps them fused (MacdHistogram,
// ElderImpulse), `MeanSeededSmoother` rounds both products before the add
// (the MACD kinds). Either refuses a non-finite input and leaves its state.
template <class Stage>
class MacdCore {
 public:
  static Expected<MacdCore, IndicatorError> create(std::uint64_t fast, std::uint64_t slow, std::uint64_t signal) {
    if (auto e = check_macd_periods(fast, slow, signal, "fast period must be strictly less than slow period")) {
      return unexpected(*e);
    }
    return MacdCore(Stage::of_length(fast), Stage::of_length(slow), Stage::of_length(signal));
  }
  // Fast and slow fixed at 12 and 26 with the alphas 0.15 and 0.075 rather
  // than 2 / (n + 1); only the signal period is a parameter.
  static Expected<MacdCore, IndicatorError> create_fixed(std::uint64_t signal) {
    if (auto e = check_period(signal)) return unexpected(*e);
    return MacdCore(Stage::with_alpha(12, 0.15, 0.85), Stage::with_alpha(26, 0.075, 0.925),
                    Stage::of_length(signal));
  }

  // Both averages take every input, whatever the other gives.
  std::optional<MacdLines> update_value(double x) {
    const auto fast = fast_.update_value(x);
    const auto slow = slow_.update_value(x);
    if (!fast || !slow) return std::nullopt;
    return macd_lines(*fast, *slow, signal_);
  }

  std::uint64_t warmup() const { return slow_.period() + signal_.period() - 1; }

 private:
  MacdCore(Stage fast, Stage slow, Stage signal) : fast_(fast), slow_(slow), signal_(signal) {}
  Stage fast_;
  Stage slow_;
  Stage signal_;
};

using FusedMacdCore = MacdCore<Ema>;
using UnfusedMacdCore = MacdCore<MeanSeededSmoother>;

}  // namespace vsci
