// Yang-Zhang refuses a bar whose logarithms are not finite (a price at or
// below 0, or a ratio of prices beyond the double range): one such term in
// its running sums would turn every later value into NaN, while skipping the
// bar keeps the estimate over the bars that have one.
#include "indicators/volatility_stops.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/civil_day.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

Expected<VolatilityRatio, IndicatorError> VolatilityRatio::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return VolatilityRatio(n);
}

std::optional<double> VolatilityRatio::update_candle(const Candle& c) {
  if (!prev_close_) {
    prev_close_ = c.close;
    return std::nullopt;
  }
  const double tr = true_range(c, prev_close_);
  prev_close_ = c.close;
  if (seed_count_ < period_) {
    seed_sum_ += tr;
    if (++seed_count_ == period_) average_ = seed_sum_ / static_cast<double>(period_);
    return std::nullopt;
  }
  const double ratio = average_ > 0.0 ? tr / average_ : 0.0;
  average_ = tr * alpha_ + average_ * (1.0 - alpha_);
  return ratio;
}

Expected<YangZhangVolatility, IndicatorError> YangZhangVolatility::create(std::uint64_t n,
                                                                          std::uint64_t periods_per_year) {
  if (n == 0 || periods_per_year == 0) return unexpected(IndicatorError::period_zero());
  if (n < 2) return unexpected(IndicatorError::invalid_period("Yang-Zhang period must be >= 2"));
  if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return YangZhangVolatility(static_cast<std::size_t>(n), periods_per_year);
}

YangZhangVolatility::YangZhangVolatility(std::size_t n, std::uint64_t periods_per_year)
    : n_(static_cast<double>(n)),
      k_(0.34 / (1.34 + (n_ + 1.0) / (n_ - 1.0))),
      sqrt_periods_(std::sqrt(static_cast<double>(periods_per_year))),
      overnight_(n),
      open_close_(n),
      rs_(WindowSum::resummed_every(n, n, 0.0)),
      rs_run_(n) {}

// The sample variance over the window, as (S2 - n * (S1 / n)^2) / (n - 1),
// clamped at 0 (NaN included); exactly 0 for a window of equal values.
double YangZhangVolatility::variance(const ShiftedSumWindow& w) const {
  if (w.flat()) return 0.0;
  const double m = w.deviation_sum() / n_;
  const double v = (w.squared_deviation_sum() - n_ * (m * m)) / (n_ - 1.0);
  return v > 0.0 ? v : 0.0;
}

std::optional<double> YangZhangVolatility::update_candle(const Candle& c) {
  if (!(c.low > 0.0)) return std::nullopt;  // the low is the smallest of the four prices
  if (!prev_close_) {
    prev_close_ = c.close;
    return std::nullopt;
  }
  const double overnight = std::log(c.open / *prev_close_);
  const double open_close = std::log(c.close / c.open);
  const double rs =
      std::log(c.high / c.close) * std::log(c.high / c.open) + std::log(c.low / c.close) * std::log(c.low / c.open);
  if (!std::isfinite(overnight) || !std::isfinite(open_close) || !std::isfinite(rs)) return std::nullopt;
  prev_close_ = c.close;

  overnight_.push(overnight);
  open_close_.push(open_close);
  rs_.push(rs);
  rs_run_.push(rs);
  if (!overnight_.full()) return std::nullopt;

  const double rs_mean = rs_run_.whole() ? rs : rs_.sum() / n_;
  double v = variance(overnight_) + k_ * variance(open_close_) +
             (1.0 - k_) * std::fmax(rs_mean, 0.0);
  v = std::fmax(v, 0.0);
  return std::sqrt(v) * sqrt_periods_ * 100.0;
}

Expected<VoltyStop, IndicatorError> VoltyStop::create(std::uint64_t n, double m) {
  auto offset = AtrOffset::create(n, m);
  if (!offset.ok()) return unexpected(offset.error());
  return VoltyStop(std::move(offset).value());
}

std::optional<double> VoltyStop::update_candle(const Candle& c) {
  const auto offset = offset_.update_candle(c);
  if (!offset) return std::nullopt;
  const double off = *offset;
  if (!extreme_) {
    extreme_ = c.close;
    up_ = true;
    return c.close - off;
  }
  if (up_) {
    if (c.close < *extreme_ - off) {
      up_ = false;
      extreme_ = c.close;
      return c.close + off;
    }
    extreme_ = std::max(*extreme_, c.close);
    return *extreme_ - off;
  }
  if (c.close > *extreme_ + off) {
    up_ = true;
    extreme_ = c.close;
    return c.close - off;
  }
  extreme_ = std::min(*extreme_, c.close);
  return *extreme_ + off;
}

Expected<YoyoExit, IndicatorError> YoyoExit::create(std::uint64_t n, double m) {
  auto offset = AtrOffset::create(n, m);
  if (!offset.ok()) return unexpected(offset.error());
  return YoyoExit(std::move(offset).value());
}

std::optional<double> YoyoExit::update_candle(const Candle& c) {
  const auto offset = offset_.update_candle(c);
  if (!offset) return std::nullopt;
  const double candidate = c.close - *offset;
  stop_ = stop_ ? std::max(*stop_, candidate) : candidate;
  return *stop_;
}

Expected<TurnOfMonth, IndicatorError> TurnOfMonth::create(std::uint32_t start_days, std::uint32_t end_days,
                                                          std::int32_t offset_minutes) {
  if (start_days == 0 && end_days == 0) return unexpected(IndicatorError::period_zero());
  return TurnOfMonth(start_days, end_days, offset_minutes);
}

bool TurnOfMonth::at_turn(std::int64_t day) const {
  const CivilDate date = civil_from_days(day);
  if (date.day <= start_days_) return true;
  const unsigned length = days_in_month(date.year, date.month);
  const unsigned last_days_from = end_days_ >= length ? 0 : length - end_days_;
  return date.day > last_days_from;
}

std::optional<double> TurnOfMonth::update_candle(const Candle& c) {
  const std::int64_t day = local_day(c.time, offset_minutes_);
  if (!day_) {
    day_ = day;
  } else if (day != *day_) {
    // The day that ends earns its return against the day before it.
    if (prev_day_close_) {
      const double r = *prev_day_close_ == 0.0 ? 0.0 : day_close_ / *prev_day_close_ - 1.0;
      if (at_turn(*day_)) {
        sum_ += r;
        ++count_;
      }
    }
    prev_day_close_ = day_close_;
    day_ = day;
  }
  day_close_ = c.close;
  if (count_ == 0) return std::nullopt;
  return sum_ / static_cast<double>(count_);
}

}  // namespace vsci
