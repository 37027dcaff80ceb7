// Touching a stop reverses it (the tests include equality) while a new
// extreme must go strictly beyond the old one: a run that only repeats its
// extreme neither extends nor accelerates.
#include "indicators/stop_systems.h"

#include <cmath>
#include <limits>

#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

bool positive(double x) { return x > 0.0; }

}  // namespace

// --- AcceleratingStopReverse, SarExt ---

ParabolicStop::ParabolicStop(Acceleration long_side, Acceleration short_side, double start, double offset,
                             bool extended)
    : long_side_(long_side),
      short_side_(short_side),
      start_(start),
      offset_(offset),
      extended_(extended),
      acceleration_(long_side.initial),
      stop_(kNoValue),
      extreme_(kNoValue),
      prev_high_(kNoValue),
      prev_low_(kNoValue),
      before_high_(kNoValue),
      before_low_(kNoValue) {}

Expected<ParabolicStop, IndicatorError> ParabolicStop::create_accelerating(double initial, double step,
                                                                           double maximum) {
  if (!positive(initial) || !positive(step) || !positive(maximum)) {
    return unexpected(IndicatorError::non_positive_multiplier());
  }
  if (initial > maximum) return unexpected(IndicatorError::invalid_period("af_start must be <= af_max"));
  const Acceleration both{initial, step, maximum};
  return ParabolicStop(both, both, 0.0, 0.0, false);
}

Expected<ParabolicStop, IndicatorError> ParabolicStop::create_extended(double start, double offset,
                                                                       double long_initial, double long_step,
                                                                       double long_maximum, double short_initial,
                                                                       double short_step, double short_maximum) {
  if (offset < 0.0) return unexpected(IndicatorError::non_positive_multiplier());
  if (!positive(long_initial) || !positive(long_step) || !positive(long_maximum)) {
    return unexpected(IndicatorError::non_positive_multiplier());
  }
  if (long_initial > long_maximum) {
    return unexpected(IndicatorError::invalid_period("acceleration init must be <= max"));
  }
  if (!positive(short_initial) || !positive(short_step) || !positive(short_maximum)) {
    return unexpected(IndicatorError::non_positive_multiplier());
  }
  if (short_initial > short_maximum) {
    return unexpected(IndicatorError::invalid_period("acceleration init must be <= max"));
  }
  return ParabolicStop({long_initial, long_step, long_maximum}, {short_initial, short_step, short_maximum}, start,
                       offset, true);
}

// The side and stop from the first two bars' moves, or from a non-zero start
// level; the extreme point is this bar's high when long, its low when short.
void ParabolicStop::initialise(double high, double low) {
  if (extended_ && start_ != 0.0) {
    long_ = start_ > 0.0;
    stop_ = std::fabs(start_);
  } else {
    const double up = high - prev_high_;
    const double down = prev_low_ - low;
    long_ = !(down > 0.0 && down > up);
    stop_ = long_ ? prev_low_ : prev_high_;
  }
  extreme_ = long_ ? high : low;
  acceleration_ = side().initial;
  prev_high_ = before_high_ = high;
  prev_low_ = before_low_ = low;
  initialised_ = true;
}

void ParabolicStop::test_reversal(double candidate, double high, double low) {
  if (long_ && low <= candidate) {
    double s = std::fmax(std::fmax(extreme_, prev_high_), high);
    if (extended_) s = s + offset_ * std::fabs(s);
    long_ = false;
    stop_ = s;
    extreme_ = low;
    acceleration_ = short_side_.initial;
  } else if (!long_ && high >= candidate) {
    double s = std::fmin(std::fmin(extreme_, prev_low_), low);
    if (extended_) s = s - offset_ * std::fabs(s);
    long_ = true;
    stop_ = s;
    extreme_ = high;
    acceleration_ = long_side_.initial;
  } else {
    stop_ = candidate;
    if (long_ ? high > extreme_ : low < extreme_) {
      extreme_ = long_ ? high : low;
      acceleration_ = std::fmin(acceleration_ + side().step, side().maximum);
    }
  }
}

std::optional<double> ParabolicStop::update_candle(const Candle& c) {
  if (!seen_) {
    prev_high_ = c.high;
    prev_low_ = c.low;
    seen_ = true;
    return std::nullopt;
  }
  if (!initialised_) {
    initialise(c.high, c.low);
    test_reversal(stop_, c.high, c.low);
  } else {
    double candidate = stop_ + acceleration_ * (extreme_ - stop_);
    // Never inside the last two bars' range on the side of the run.
    candidate = long_ ? std::fmin(std::fmin(candidate, prev_low_), before_low_)
                      : std::fmax(std::fmax(candidate, prev_high_), before_high_);
    test_reversal(candidate, c.high, c.low);
  }
  before_high_ = prev_high_;
  before_low_ = prev_low_;
  prev_high_ = c.high;
  prev_low_ = c.low;
  return (extended_ && !long_) ? -stop_ : stop_;
}

// --- HiLoActivator ---

Expected<HiLoActivator, IndicatorError> HiLoActivator::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return HiLoActivator(static_cast<std::size_t>(n));
}

std::optional<double> HiLoActivator::update_candle(const Candle& c) {
  highs_.push(c.high);
  lows_.push(c.low);
  if (!highs_.full()) return std::nullopt;
  const double n = static_cast<double>(highs_.capacity());
  const Averages now{highs_.sum() / n, lows_.sum() / n};
  const std::optional<Averages> prev = prev_;
  prev_ = now;
  if (!prev) return std::nullopt;
  if (c.close > prev->high) {
    up_ = true;
  } else if (c.close < prev->low) {
    up_ = false;
  }
  return up_ ? prev->low : prev->high;
}

// --- NewPriceLines ---

Expected<NewPriceLines, IndicatorError> NewPriceLines::create(std::uint64_t n) {
  if (n < 2) return unexpected(IndicatorError::invalid_period("new price lines count must be >= 2"));
  if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return NewPriceLines(n);
}

std::optional<double> NewPriceLines::update_candle(const Candle& c) {
  if (!prev_close_) {
    prev_close_ = c.close;
    return std::nullopt;
  }
  if (c.close > *prev_close_) {
    ++higher_;
    lower_ = 0;
  } else if (c.close < *prev_close_) {
    ++lower_;
    higher_ = 0;
  } else {
    higher_ = lower_ = 0;
  }
  prev_close_ = c.close;
  if (higher_ >= n_) return -1.0;
  if (lower_ >= n_) return 1.0;
  return 0.0;
}

// --- PivotReversal ---

Expected<PivotReversal, IndicatorError> PivotReversal::create(std::uint64_t left, std::uint64_t right) {
  if (left == 0 || right == 0) return unexpected(IndicatorError::period_zero());
  // Both spans size storage; bounded, L + R + 1 cannot overflow.
  if (left > MAX_PERIOD || right > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return PivotReversal(static_cast<std::size_t>(left), static_cast<std::size_t>(right));
}

PivotReversal::PivotReversal(std::size_t left, std::size_t right)
    : window_(std::uint64_t{left} + right + 1),
      centre_and_right_(right + 1),
      left_highs_(left),
      left_lows_(left),
      right_highs_(right),
      right_lows_(right) {}

std::optional<double> PivotReversal::update_candle(const Candle& c) {
  // The candle that stops being the centre joins the left side.
  if (centre_and_right_.full()) {
    const Candle& leaving = centre_and_right_.oldest();
    left_highs_.push(leaving.high);
    left_lows_.push(leaving.low);
  }
  centre_and_right_.push(c);
  right_highs_.push(c.high);
  right_lows_.push(c.low);
  if (seen_ < window_) ++seen_;
  if (seen_ < window_) {
    prev_close_ = c.close;
    return std::nullopt;
  }
  const Candle& centre = centre_and_right_.oldest();
  if (centre.high > left_highs_.largest() && centre.high > right_highs_.largest()) pivot_high_ = centre.high;
  if (centre.low < left_lows_.smallest() && centre.low < right_lows_.smallest()) pivot_low_ = centre.low;
  double value = 0.0;
  if (pivot_low_ && c.close < *pivot_low_ && !(prev_close_ && *prev_close_ < *pivot_low_)) {
    value = -1.0;
  } else if (pivot_high_ && c.close > *pivot_high_ && !(prev_close_ && *prev_close_ > *pivot_high_)) {
    value = 1.0;
  }
  prev_close_ = c.close;
  return value;
}

// --- ThreeLineBreak ---

Expected<ThreeLineBreak, IndicatorError> ThreeLineBreak::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return ThreeLineBreak(static_cast<std::size_t>(n));
}

std::optional<double> ThreeLineBreak::update_candle(const Candle& c) {
  const double x = c.close;
  if (!last_) {
    lines_.push(x);
    last_ = x;
    return std::nullopt;
  }
  int drawn = 0;
  if (direction_ >= 0) {
    if (x > *last_) drawn = 1;
    else if (x < lines_.smallest()) drawn = -1;
  } else {
    if (x < *last_) drawn = -1;
    else if (x > lines_.largest()) drawn = 1;
  }
  if (drawn != 0) {
    direction_ = drawn;
    lines_.push(x);
    last_ = x;
  }
  if (direction_ == 0) return std::nullopt;
  return static_cast<double>(direction_);
}

// --- TimeBasedStop ---

Expected<TimeBasedStop, IndicatorError> TimeBasedStop::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return TimeBasedStop(n);
}

std::optional<double> TimeBasedStop::update_candle(const Candle&) {
  if (count_ < n_) ++count_;
  return std::fmin(static_cast<double>(count_) / static_cast<double>(n_), 1.0);
}

}  // namespace vsci
