// Adx and Aroon add only their output lists to the shared cores, so the
// single-value kinds built on those cores stay in step with them. Vortex keeps
// running sums, never re-summed, that fall back to exactly 0 once their window
// holds no movement; Rwi re-sums each span's true ranges afresh, which is why
// it costs O(n^2) a bar.
#include "indicators/trend_strength_lines.h"

#include <cmath>

#include "indicators/cores/wilder.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

// --- Adx ---

Expected<Adx, IndicatorError> Adx::create(std::uint64_t n) {
  auto core = AdxCore::create(n);
  if (!core.ok()) return unexpected(core.error());
  return Adx(std::move(core).value());
}

std::optional<double> Adx::update_candle(const Candle& c) {
  const auto v = core_.update_value(c);
  if (!v) return std::nullopt;
  outputs_.set({v->plus_di, v->minus_di, v->adx});
  return v->plus_di;
}

// --- Aroon ---

Expected<Aroon, IndicatorError> Aroon::create(std::uint64_t n) {
  auto core = AroonCore::create(n);
  if (!core.ok()) return unexpected(core.error());
  return Aroon(std::move(core).value());
}

std::optional<double> Aroon::update_candle(const Candle& c) {
  const auto v = core_.update_value(c);
  if (!v) return std::nullopt;
  outputs_.set({v->up, v->down});
  return v->up;
}

// --- VortexIndicator ---

Expected<VortexIndicator, IndicatorError> VortexIndicator::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return VortexIndicator(static_cast<std::size_t>(n));
}

std::optional<double> VortexIndicator::update_candle(const Candle& c) {
  if (!previous_) {
    previous_ = c;
    return std::nullopt;
  }
  const Candle p = *previous_;
  previous_ = c;
  if (moves_.full()) {
    const Move& old = moves_.oldest();
    plus_.remove(old.plus);
    minus_.remove(old.minus);
    range_.remove(old.range);
  }
  const Move m{std::fabs(c.high - p.low), std::fabs(c.low - p.high), true_range(c, p.close)};
  moves_.push(m);
  plus_.add(m.plus);
  minus_.add(m.minus);
  range_.add(m.range);
  if (!moves_.full()) return std::nullopt;
  const double tr = range_.value();
  const double plus = tr == 0.0 ? 0.0 : plus_.value() / tr;
  const double minus = tr == 0.0 ? 0.0 : minus_.value() / tr;
  outputs_.set({plus, minus});
  return plus;
}

// --- Rwi ---

Expected<Rwi, IndicatorError> Rwi::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  if (n == 1) return unexpected(IndicatorError::invalid_period("RWI requires period >= 2"));
  return Rwi(static_cast<std::size_t>(n));
}

std::optional<double> Rwi::update_candle(const Candle& c) {
  // The first bar's high - low never enters the range window.
  if (!candles_.empty()) ranges_.push(true_range(c, candles_.newest().close));
  candles_.push(c);
  if (!candles_.full()) return std::nullopt;
  const std::size_t n = candles_.capacity();
  double best_high = 0.0;
  double best_low = 0.0;
  // Span k covers the current bar and the k - 1 before it.
  for (std::size_t k = 2; k <= n; ++k) {
    double sum = -0.0;
    for (std::size_t j = n - k; j < n - 1; ++j) sum += ranges_[j];
    const double scale = sum / static_cast<double>(k - 1) * std::sqrt(static_cast<double>(k));
    if (scale == 0.0) continue;
    const Candle& first = candles_[n - k];
    const double high = (c.high - first.low) / scale;
    const double low = (first.high - c.low) / scale;
    if (high > best_high) best_high = high;
    if (low > best_low) best_low = low;
  }
  outputs_.set({best_high, best_low});
  return best_high;
}

// --- ElderRay ---

Expected<ElderRay, IndicatorError> ElderRay::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return ElderRay(MeanSeededSmoother(n));
}

std::optional<double> ElderRay::update_candle(const Candle& c) {
  const auto ema = ema_.update_value(c.close);
  if (!ema) return std::nullopt;
  const double bull = c.high - *ema;
  outputs_.set({bull, c.low - *ema});
  return bull;
}

}  // namespace vsci
