// TdSequential is TdCountdown publishing the setup count and direction beside
// its countdown: one body, so the reference close is taken only when the
// countdown length exceeds 5. TdLines and TdRiskLevel share the setup count's
// runs (TdCloseRun): a run long enough is one whose capped count reached the
// run length. Only look-backs size storage, so only they meet MAX_PERIOD.
#include "indicators/td_sequential.h"

#include <limits>

#include "indicators/cores/wilder.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Both counts non-zero, then the look-back's bound.
std::optional<IndicatorError> check_run(std::uint64_t look_back, std::uint64_t run_length) {
  if (look_back == 0 || run_length == 0) return IndicatorError::period_zero();
  if (look_back > MAX_PERIOD) return IndicatorError::period_too_large();
  return std::nullopt;
}

}  // namespace

Expected<TdSequential, IndicatorError> TdSequential::create(std::uint64_t setup_look_back, std::uint64_t setup_length,
                                                            std::uint64_t count_look_back, std::uint64_t target) {
  auto countdown = TdCountdown::create(setup_look_back, setup_length, count_look_back, target);
  if (!countdown.ok()) return unexpected(countdown.error());
  return TdSequential(std::move(countdown).value());
}

std::optional<double> TdSequential::update_candle(const Candle& c) {
  const std::optional<double> countdown = countdown_.update_candle(c);
  if (!countdown) return std::nullopt;
  const double setup = countdown_.setup_value();
  outputs_.set({setup, *countdown, countdown_.direction()});
  return setup;
}

Expected<TdLines, IndicatorError> TdLines::create(std::uint64_t look_back, std::uint64_t run_length) {
  if (auto e = check_run(look_back, run_length)) return unexpected(*e);
  return TdLines(look_back, run_length);
}

std::optional<double> TdLines::update_candle(const Candle& c) {
  if (!run_.step(c.close)) return std::nullopt;
  const TdSetupCount& run = run_.count();
  // A run's extreme restarts from the bar that opens it: the other run and a
  // tie reset it to its empty value.
  if (run.buy() > 0) {
    run_high_ = c.high > run_high_ ? c.high : run_high_;
    run_low_ = kInf;
    if (run.buy() == run.cap()) resistance_ = run_high_;
  } else if (run.sell() > 0) {
    run_low_ = c.low < run_low_ ? c.low : run_low_;
    run_high_ = -kInf;
    if (run.sell() == run.cap()) support_ = run_low_;
  } else {
    run_high_ = -kInf;
    run_low_ = kInf;
  }
  if (!resistance_ && !support_) return std::nullopt;
  const double resistance = resistance_.value_or(kNaN);
  outputs_.set({resistance, support_.value_or(kNaN)});
  return resistance;
}

Expected<TdRiskLevel, IndicatorError> TdRiskLevel::create(std::uint64_t look_back, std::uint64_t run_length) {
  if (auto e = check_run(look_back, run_length)) return unexpected(*e);
  return TdRiskLevel(look_back, run_length);
}

std::optional<double> TdRiskLevel::update_candle(const Candle& c) {
  const double range = true_range(c, previous_close_);
  previous_close_ = c.close;
  if (!run_.step(c.close)) return std::nullopt;
  const TdSetupCount& run = run_.count();
  // Of equal extremes the earlier bar stays.
  if (run.buy() > 0) {
    if (!lowest_ || lowest_->price > c.low) lowest_ = ExtremeBar{c.low, range};
    highest_.reset();
    if (run.buy() == run.cap()) buy_risk_ = lowest_->price - lowest_->range;
  } else if (run.sell() > 0) {
    if (!highest_ || highest_->price < c.high) highest_ = ExtremeBar{c.high, range};
    lowest_.reset();
    if (run.sell() == run.cap()) sell_risk_ = highest_->price + highest_->range;
  } else {
    lowest_.reset();
    highest_.reset();
  }
  if (!buy_risk_ && !sell_risk_) return std::nullopt;
  const double buy_risk = buy_risk_.value_or(kNaN);
  outputs_.set({buy_risk, sell_risk_.value_or(kNaN)});
  return buy_risk;
}

Expected<TdMovingAverage, IndicatorError> TdMovingAverage::create(std::uint64_t short_period,
                                                                  std::uint64_t long_period) {
  if (short_period == 0 || long_period == 0) return unexpected(IndicatorError::period_zero());
  if (short_period >= long_period) {
    return unexpected(IndicatorError::invalid_period("TD moving average ST1 period must be strictly less than ST2"));
  }
  if (long_period > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return TdMovingAverage(Sma::create(short_period).value(), Sma::create(long_period).value());
}

std::optional<double> TdMovingAverage::update_candle(const Candle& c) {
  const double mid = safe_midpoint(c.high, c.low);
  const std::optional<double> short_average = short_.update_value(mid);
  const std::optional<double> long_average = long_.update_value(mid);
  if (!short_average || !long_average) return std::nullopt;
  outputs_.set({*short_average, *long_average});
  return short_average;
}

}  // namespace vsci
