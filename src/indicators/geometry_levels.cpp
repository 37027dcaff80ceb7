// ZigZag is the shared swing tracker run at the kind's own reversal fraction,
// keeping only the swing it just confirmed. The pitchfork's pivots alternate
// between highs and lows (a second pivot of the same kind only replaces a
// less extreme one), and their bar indices strictly increase, so its slope
// never divides by zero.
#include "indicators/geometry_levels.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/fractal_pivot.h"
#include "indicators/cores/window_checks.h"
#include "market/price_checks.h"

namespace vsci {

Expected<ZigZag, IndicatorError> ZigZag::create(double fraction) {
  if (!(std::isfinite(fraction) && fraction > 0.0 && fraction < 1.0)) {
    return unexpected(IndicatorError::invalid_period("ZigZag threshold must be a finite fraction in (0, 1)"));
  }
  return ZigZag(fraction);
}

std::optional<double> ZigZag::update_candle(const Candle& c) {
  if (!swings_.update(c.high, c.low)) return std::nullopt;
  const SwingPivot& swing = swings_.pivots().back();
  outputs_.set({swing.price, swing.kind});
  return swing.price;
}

Expected<AndrewsPitchfork, IndicatorError> AndrewsPitchfork::create(std::uint64_t strength) {
  if (auto e = check_period(strength)) return unexpected(*e);
  return AndrewsPitchfork(static_cast<std::size_t>(strength));
}

void AndrewsPitchfork::add(const Pivot& p) {
  if (held_ > 0 && pivots_[held_ - 1].high == p.high) {
    Pivot& last = pivots_[held_ - 1];
    if (p.high ? p.price > last.price : p.price < last.price) last = p;
    return;
  }
  if (held_ == pivots_.size()) {
    std::copy(pivots_.begin() + 1, pivots_.end(), pivots_.begin());
    --held_;
  }
  pivots_[held_++] = p;
}

std::optional<double> AndrewsPitchfork::update_candle(const Candle& c) {
  ++count_;
  bars_.push(c.high, c.low);
  if (bars_.full()) {
    const FractalPivot kind = bars_.pivot();
    if (kind != FractalPivot::None) {
      const bool high = kind == FractalPivot::High;
      add(Pivot{static_cast<double>(count_ - strength_ - 1), high ? bars_.centre_high() : bars_.centre_low(), high});
    }
  }
  if (held_ < pivots_.size()) return std::nullopt;
  const Pivot& p0 = pivots_[0];
  const Pivot& p1 = pivots_[1];
  const Pivot& p2 = pivots_[2];
  const double slope = (safe_midpoint(p1.price, p2.price) - p0.price) / (safe_midpoint(p1.index, p2.index) - p0.index);
  const auto line = [&](double x) { return p0.price + (x - p0.index) * slope; };
  const double median = line(static_cast<double>(count_ - 1));
  const double d1 = p1.price - line(p1.index);
  const double d2 = p2.price - line(p2.index);
  outputs_.set({median, median + std::max(d1, d2), median + std::min(d1, d2)});
  return median;
}

Expected<MurreyMathLines, IndicatorError> MurreyMathLines::create(std::uint64_t n) {
  auto window = CandleWindow::create(n);
  if (!window.ok()) return unexpected(window.error());
  return MurreyMathLines(std::move(window).value());
}

std::optional<double> MurreyMathLines::update_candle(const Candle& c) {
  window_.push(c);
  if (!window_.full()) return std::nullopt;
  const auto [high, low] = window_.extremes();
  const double eighth = (high - low) * 0.125;
  std::array<double, 9> levels{};
  for (std::size_t j = 0; j < levels.size(); ++j) levels[j] = low + static_cast<double>(8 - j) * eighth;
  outputs_.set(levels);
  return levels[0];
}

}  // namespace vsci
