// Every kind here divides by a quantity that a quiet market makes zero (the
// close, the smoothed range, the window range); each gives a fixed number
// there instead of an infinity that would poison the rules reading it.
#include "indicators/directional_movement.h"

#include <cmath>

#include "indicators/cores/window_checks.h"

namespace vsci {

// --- Atr, Natr ---

Expected<AverageTrueRange, IndicatorError> AverageTrueRange::create(std::uint64_t n, bool percent_of_close) {
  auto atr = WilderAtr::create(n);
  if (!atr.ok()) return unexpected(atr.error());
  return AverageTrueRange(std::move(atr).value(), percent_of_close);
}

std::optional<double> AverageTrueRange::update_candle(const Candle& c) {
  const auto a = atr_.update_candle(c);
  if (!a) return std::nullopt;
  // A fresh optional from the double: handing `a` back whole costs a reload
  // of the flag and value just stored as two parts.
  if (!percent_) return *a;
  return c.close == 0.0 ? 0.0 : 100.0 * *a / c.close;
}

// --- AtrTrailingStop ---

Expected<AtrTrailingStop, IndicatorError> AtrTrailingStop::create(std::uint64_t n, double k) {
  if (!(k > 0.0)) return unexpected(IndicatorError::non_positive_multiplier());
  auto atr = WilderAtr::create(n);
  if (!atr.ok()) return unexpected(atr.error());
  return AtrTrailingStop(std::move(atr).value(), k);
}

std::optional<double> AtrTrailingStop::update_candle(const Candle& c) {
  const auto a = atr_.update_candle(c);
  if (!a) return std::nullopt;
  const double d = k_ * *a;
  double stop = 0.0;
  if (!prev_close_) {
    stop = c.close - d;
  } else if (c.close > prev_stop_) {
    const double candidate = c.close - d;
    stop = *prev_close_ > prev_stop_ ? std::fmax(candidate, prev_stop_) : candidate;
  } else {
    // A close exactly on the stop flips it above without clamping.
    const double candidate = c.close + d;
    stop = (c.close < prev_stop_ && *prev_close_ < prev_stop_) ? std::fmin(candidate, prev_stop_) : candidate;
  }
  prev_close_ = c.close;
  prev_stop_ = stop;
  return stop;
}

// --- Dx, PlusDi, MinusDi, PlusDm, MinusDm ---

Expected<DirectionalIndex, IndicatorError> DirectionalIndex::create(std::uint64_t n, Measure measure) {
  if (auto e = check_period(n)) return unexpected(*e);
  return DirectionalIndex(n, measure);
}

std::optional<double> DirectionalIndex::update_candle(const Candle& c) {
  const auto s = movement_.update(c);
  if (!s) return std::nullopt;
  switch (measure_) {
    case Measure::Dx:
      return s->dx();
    case Measure::PlusDi:
      return s->plus_di();
    case Measure::MinusDi:
      return s->minus_di();
    case Measure::PlusDm:
      return s->plus;
    case Measure::MinusDm:
      return s->minus;
  }
  return std::nullopt;
}

// --- Adxr ---

Expected<Adxr, IndicatorError> Adxr::create(std::uint64_t n) {
  auto adx = AdxCore::create(n);
  if (!adx.ok()) return unexpected(adx.error());
  return Adxr(std::move(adx).value());
}

std::optional<double> Adxr::update_candle(const Candle& c) {
  const auto v = adx_.update_value(c);
  if (!v) return std::nullopt;
  history_.push(v->adx);
  if (!history_.full()) return std::nullopt;
  return safe_midpoint(v->adx, history_.oldest());
}

// --- ChoppinessIndex ---

Expected<ChoppinessIndex, IndicatorError> ChoppinessIndex::create(std::uint64_t n) {
  if (n < 2) return unexpected(IndicatorError::invalid_period("choppiness index needs period >= 2"));
  auto candles = CandleWindow::create(n);
  if (!candles.ok()) return unexpected(candles.error());
  return ChoppinessIndex(std::move(candles).value());
}

ChoppinessIndex::ChoppinessIndex(CandleWindow candles)
    : candles_(std::move(candles)),
      ranges_(candles_.period(), false),
      log_n_(std::log10(static_cast<double>(candles_.period()))) {}

std::optional<double> ChoppinessIndex::update_candle(const Candle& c) {
  const double tr = true_range(c, prev_close_);
  prev_close_ = c.close;
  ranges_.push(tr);
  candles_.push(c);
  if (!ranges_.full()) return std::nullopt;
  const auto [hh, ll] = candles_.extremes();
  const double span = hh - ll;
  if (span == 0.0) return 100.0;
  return 100.0 * std::log10(ranges_.sum() / span) / log_n_;
}

}  // namespace vsci
