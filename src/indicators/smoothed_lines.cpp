// The Alligator's lines divide by their length on every step rather than
// multiply by a stored reciprocal, and every line moves on every bar whether
// or not the others are seeded. SmoothedHeikinAshi averages with the unfused
// step of the candle kinds and then builds its candles exactly as HeikinAshi
// does.
#include "indicators/smoothed_lines.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/window_checks.h"

namespace vsci {

void AlligatorCore::Line::take(double m) {
  if (seeded_) {
    value_ = (m + value_ * weight_) / divisor_;
    return;
  }
  sum_ = sum_ + m;
  if (++taken_ < p_) return;
  value_ = sum_ / divisor_;
  seeded_ = true;
}

Expected<AlligatorCore, IndicatorError> AlligatorCore::create(std::uint64_t jaw, std::uint64_t teeth,
                                                              std::uint64_t lips) {
  if (jaw == 0 || teeth == 0 || lips == 0) return unexpected(IndicatorError::period_zero());
  if (jaw > MAX_PERIOD || teeth > MAX_PERIOD || lips > MAX_PERIOD) {
    return unexpected(IndicatorError::period_too_large());
  }
  return AlligatorCore(jaw, teeth, lips);
}

std::optional<AlligatorLines> AlligatorCore::update(double high, double low) {
  const double m = safe_midpoint(high, low);
  if (!std::isfinite(m)) return std::nullopt;
  for (Line& line : lines_) line.take(m);
  if (!std::all_of(lines_.begin(), lines_.end(), [](const Line& l) { return l.seeded(); })) return std::nullopt;
  return AlligatorLines{lines_[0].value(), lines_[1].value(), lines_[2].value()};
}

std::uint64_t AlligatorCore::warmup() const {
  return std::max({lines_[0].period(), lines_[1].period(), lines_[2].period()});
}

Expected<Alligator, IndicatorError> Alligator::create(std::uint64_t jaw, std::uint64_t teeth, std::uint64_t lips) {
  auto core = AlligatorCore::create(jaw, teeth, lips);
  if (!core.ok()) return unexpected(core.error());
  return Alligator(core.value());
}

std::optional<double> Alligator::update_candle(const Candle& c) {
  const std::optional<AlligatorLines> lines = core_.update(c.high, c.low);
  if (!lines) return std::nullopt;
  outputs_.set({lines->jaw, lines->teeth, lines->lips});
  return lines->jaw;
}

Expected<GatorOscillator, IndicatorError> GatorOscillator::create(std::uint64_t jaw, std::uint64_t teeth,
                                                                  std::uint64_t lips) {
  auto core = AlligatorCore::create(jaw, teeth, lips);
  if (!core.ok()) return unexpected(core.error());
  return GatorOscillator(core.value());
}

std::optional<double> GatorOscillator::update_candle(const Candle& c) {
  const std::optional<AlligatorLines> lines = core_.update(c.high, c.low);
  if (!lines) return std::nullopt;
  const double upper = std::fabs(lines->jaw - lines->teeth);
  outputs_.set({upper, -std::fabs(lines->teeth - lines->lips)});
  return upper;
}

Expected<SmoothedHeikinAshi, IndicatorError> SmoothedHeikinAshi::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return SmoothedHeikinAshi(n);
}

std::optional<double> SmoothedHeikinAshi::update_candle(const Candle& c) {
  const std::optional<double> open = open_.update_value(c.open);
  const std::optional<double> high = high_.update_value(c.high);
  const std::optional<double> low = low_.update_value(c.low);
  const std::optional<double> close = close_.update_value(c.close);
  if (!open || !high || !low || !close) return std::nullopt;
  return candles_.update_candle(Candle{c.time, *open, *high, *low, *close, c.volume});
}

}  // namespace vsci
