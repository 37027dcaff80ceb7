// A ratio whose denominator a quiet market makes zero gives the fixed number
// of its kind (0 or 1); a logarithm of a zero price is left infinite or NaN,
// since that is what the estimators' formulas give for such a bar.
#include "indicators/range_estimators.h"

#include <cmath>

#include "indicators/cores/civil_day.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

// (ratio to the previous close) - 1, or 0 without a previous price level.
double change_from(double x, double prev) { return prev == 0.0 ? 0.0 : x / prev - 1.0; }

// The bar's range through the smoother; nothing while seeding, and neither a
// range nor an average that is not finite goes further (such a range never
// enters the smoother).
std::optional<double> smoothed_range(MeanSeededSmoother& smoother, const Candle& c) {
  const double range = c.high - c.low;
  if (!std::isfinite(range)) return std::nullopt;
  const auto average = smoother.update_value(range);
  if (!average || !std::isfinite(*average)) return std::nullopt;
  return average;
}

}  // namespace

// --- MidPrice ---

Expected<MidPrice, IndicatorError> MidPrice::create(std::uint64_t n) {
  auto candles = CandleWindow::create(n);
  if (!candles.ok()) return unexpected(candles.error());
  return MidPrice(std::move(candles).value());
}

std::optional<double> MidPrice::update_candle(const Candle& c) {
  candles_.push(c);
  if (!candles_.full()) return std::nullopt;
  const auto [hh, ll] = candles_.extremes();
  return safe_midpoint(hh, ll);
}

// --- AverageDailyRange ---

Expected<AverageDailyRange, IndicatorError> AverageDailyRange::create(std::uint64_t n, std::int32_t offset_minutes) {
  if (auto e = check_period(n)) return unexpected(*e);
  return AverageDailyRange(static_cast<std::size_t>(n), offset_minutes);
}

std::optional<double> AverageDailyRange::update_candle(const Candle& c) {
  const std::int64_t day = local_day(c.time, offset_);
  if (day_ && *day_ == day) {
    if (c.high > day_high_) day_high_ = c.high;
    if (c.low < day_low_) day_low_ = c.low;
  } else {
    if (day_) {
      // The closed day's range enters the sum before the oldest range leaves it.
      const double range = day_high_ - day_low_;
      const std::optional<double> old = ranges_.full() ? std::optional(ranges_.oldest()) : std::nullopt;
      ranges_.push(range);
      sum_.add(range);
      if (old) sum_.remove(*old);
    }
    day_ = day;
    day_high_ = c.high;
    day_low_ = c.low;
  }
  if (ranges_.empty()) return std::nullopt;
  return sum_.value() / static_cast<double>(ranges_.size());
}

// --- OvernightGap ---

Expected<OvernightGap, IndicatorError> OvernightGap::create(std::int32_t offset_minutes) {
  return OvernightGap(offset_minutes);
}

std::optional<double> OvernightGap::update_candle(const Candle& c) {
  const std::int64_t day = local_day(c.time, offset_);
  // The first bar opens a day too, so no gap is reported before a change of day.
  if (!day_ || *day_ != day) {
    if (prev_close_) gap_ = change_from(c.open, *prev_close_);
    day_ = day;
  }
  prev_close_ = c.close;
  return gap_;
}

// --- SeasonalZScore ---

Expected<SeasonalZScore, IndicatorError> SeasonalZScore::create(std::int32_t offset_minutes) {
  return SeasonalZScore(offset_minutes);
}

std::optional<double> SeasonalZScore::update_candle(const Candle& c) {
  if (!prev_close_) {
    prev_close_ = c.close;
    return std::nullopt;
  }
  const double r = change_from(c.close, *prev_close_);
  HourStats& h = hours_[static_cast<std::size_t>(local_hour(c.time, offset_))];
  std::optional<double> z;
  if (h.count >= 2) {
    const double variance = h.m2 / static_cast<double>(h.count - 1);
    z = variance > 0.0 ? (r - h.mean) / std::sqrt(variance) : 0.0;
  }
  h.count += 1;
  const double delta = r - h.mean;
  h.mean = h.mean + delta / static_cast<double>(h.count);
  h.m2 = h.m2 + delta * (r - h.mean);
  prev_close_ = c.close;
  return z;
}

// --- ChaikinVolatility ---

Expected<ChaikinVolatility, IndicatorError> ChaikinVolatility::create(std::uint64_t e, std::uint64_t r) {
  if (auto err = check_period(e)) return unexpected(*err);
  if (auto err = check_period(r)) return unexpected(*err);
  return ChaikinVolatility(e, r);
}

std::optional<double> ChaikinVolatility::update_candle(const Candle& c) {
  const auto average = smoothed_range(average_, c);
  if (!average) return std::nullopt;
  averages_.push(*average);
  if (!averages_.full()) return std::nullopt;
  const double past = averages_.oldest();
  return past == 0.0 ? 0.0 : 100.0 * (averages_.newest() - past) / past;
}

// --- MassIndex ---

Expected<MassIndex, IndicatorError> MassIndex::create(std::uint64_t e, std::uint64_t m) {
  if (e == 0 || m == 0) return unexpected(IndicatorError::period_zero());
  if (e > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  // m sizes the ratio window as well.
  if (m > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return MassIndex(e, m);
}

std::optional<double> MassIndex::update_candle(const Candle& c) {
  const auto first = smoothed_range(first_, c);
  if (!first) return std::nullopt;
  const auto second = second_.update_value(*first);
  if (!second) return std::nullopt;
  const double ratio = *second == 0.0 ? 1.0 : *first / *second;
  ratios_.push(ratio);
  if (!ratios_.full()) return std::nullopt;
  return ratios_.sum();
}

// --- GarmanKlassVolatility, ParkinsonVolatility, RogersSatchellVolatility ---

Expected<RangeVolatility, IndicatorError> RangeVolatility::create(std::uint64_t n, std::uint64_t a,
                                                                  Estimator estimator) {
  if (n == 0 || a == 0) return unexpected(IndicatorError::period_zero());
  // The window is sized by n; the annualisation count sizes nothing.
  if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return RangeVolatility(static_cast<std::size_t>(n), a, estimator);
}

RangeVolatility::RangeVolatility(std::size_t n, std::uint64_t a, Estimator estimator)
    : terms_(n, true), scale_(100.0 * std::sqrt(static_cast<double>(a))), estimator_(estimator) {}

std::optional<double> RangeVolatility::update_candle(const Candle& c) {
  double term = 0.0;
  switch (estimator_) {
    case Estimator::GarmanKlass: {
      const double hl = std::log(c.high / c.low);
      const double co = std::log(c.close / c.open);
      term = 0.5 * (hl * hl) - 0.3862943611198906 * (co * co);
      break;
    }
    case Estimator::Parkinson: {
      const double hl = std::log(c.high / c.low);
      term = hl * hl;
      break;
    }
    case Estimator::RogersSatchell:
      term = std::log(c.high / c.close) * std::log(c.high / c.open) +
             std::log(c.low / c.close) * std::log(c.low / c.open);
      break;
  }
  terms_.push(term);
  if (!terms_.full()) return std::nullopt;
  const double n = static_cast<double>(terms_.capacity());
  const double v = estimator_ == Estimator::Parkinson ? (terms_.sum() * 0.3606737602222412) / n : terms_.sum() / n;
  // A negative mean (possible for Garman-Klass) counts as no variance; NaN stays.
  return scale_ * std::sqrt(v < 0.0 ? 0.0 : v);
}

}  // namespace vsci
