// The counts keep running state and never look further back than their
// window; the oscillators re-sum their short windows on every bar (oldest
// first) so no residue builds up. Counts never pass their caps, so no
// arithmetic on them can wrap. TdSequential is TdCountdown itself, so its
// reference close is taken only when the countdown length exceeds 5. TdLines
// and TdRiskLevel read the setup count's runs (TdCloseRun): a run is long
// enough once its capped count reached the run length. Only look-backs size
// storage, so only they meet MAX_PERIOD.
#include "indicators/demark_counts.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/wilder.h"
#include "indicators/cores/window_checks.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

std::uint64_t capped_increment(std::uint64_t count, std::uint64_t cap) { return count < cap ? count + 1 : cap; }

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A look-back and a run length (or cap) non-zero, then the look-back's bound.
std::optional<IndicatorError> check_run(std::uint64_t look_back, std::uint64_t run_length) {
  if (look_back == 0 || run_length == 0) return IndicatorError::period_zero();
  if (look_back > MAX_PERIOD) return IndicatorError::period_too_large();
  return std::nullopt;
}

double signed_count(std::uint64_t buy, std::uint64_t sell) {
  if (buy > 0) return static_cast<double>(buy);
  if (sell > 0) return -static_cast<double>(sell);
  return 0.0;
}

}  // namespace

void TdSetupCount::step(double close, double earlier_close) {
  if (close < earlier_close) {
    buy_ = capped_increment(buy_, cap_);
    sell_ = 0;
  } else if (close > earlier_close) {
    sell_ = capped_increment(sell_, cap_);
    buy_ = 0;
  } else {
    buy_ = 0;
    sell_ = 0;
  }
}

double TdSetupCount::value() const { return signed_count(buy_, sell_); }

Expected<TdSetup, IndicatorError> TdSetup::create(std::uint64_t look_back, std::uint64_t cap) {
  if (auto e = check_run(look_back, cap)) return unexpected(*e);
  return TdSetup(look_back, cap);
}

bool TdCloseRun::step(double close) {
  if (closes_.size() < look_back_) {
    closes_.push(close);
    return false;
  }
  count_.step(close, closes_.back(static_cast<std::size_t>(look_back_ - 1)));
  closes_.push(close);
  return true;
}

std::optional<double> TdSetup::update_candle(const Candle& c) {
  if (!run_.step(c.close)) return std::nullopt;
  return run_.count().value();
}

Expected<TdPhasedCount, IndicatorError> TdPhasedCount::create(std::uint64_t setup_look_back,
                                                              std::uint64_t setup_length,
                                                              std::uint64_t count_look_back, std::uint64_t target) {
  if (setup_look_back == 0 || setup_length == 0 || count_look_back == 0 || target == 0) {
    return unexpected(IndicatorError::period_zero());
  }
  if (setup_look_back > MAX_PERIOD || count_look_back > MAX_PERIOD) {
    return unexpected(IndicatorError::period_too_large());
  }
  return TdPhasedCount(setup_look_back, setup_length, count_look_back, target,
                       std::max(setup_look_back, count_look_back) + 1);
}

bool TdPhasedCount::advance_setup(double close) {
  setup_.step(close, earlier(setup_look_back_).close);
  TdPhase next = phase_;
  if (setup_.buy() == setup_.cap()) {
    next = TdPhase::Buy;
  } else if (setup_.sell() == setup_.cap()) {
    next = TdPhase::Sell;
  }
  if (next == phase_) return false;
  phase_ = next;
  buy_count_ = 0;
  sell_count_ = 0;
  return true;
}

std::uint64_t* TdPhasedCount::phase_count() {
  switch (phase_) {
    case TdPhase::Buy:
      return &buy_count_;
    case TdPhase::Sell:
      return &sell_count_;
    case TdPhase::None:
      break;
  }
  return nullptr;
}

double TdPhasedCount::count_value() const {
  switch (phase_) {
    case TdPhase::Buy:
      return static_cast<double>(buy_count_);
    case TdPhase::Sell:
      return -static_cast<double>(sell_count_);
    case TdPhase::None:
      break;
  }
  return 0.0;
}

double TdPhasedCount::direction() const {
  if (phase_ == TdPhase::Buy) return 1.0;
  if (phase_ == TdPhase::Sell) return -1.0;
  return 0.0;
}

Expected<TdCountdown, IndicatorError> TdCountdown::create(std::uint64_t setup_look_back, std::uint64_t setup_length,
                                                          std::uint64_t count_look_back, std::uint64_t target) {
  auto count = TdPhasedCount::create(setup_look_back, setup_length, count_look_back, target);
  if (!count.ok()) return unexpected(count.error());
  return TdCountdown(std::move(count).value());
}

std::optional<double> TdCountdown::update_candle(const Candle& c) {
  if (!count_.ready()) {
    count_.push(c);
    return std::nullopt;
  }
  if (count_.advance_setup(c.close)) reference_close_ = std::numeric_limits<double>::quiet_NaN();
  if (std::uint64_t* count = count_.phase_count()) {
    const bool buy = count_.phase() == TdPhase::Buy;
    const TdBar& x = count_.earlier(count_.count_look_back());
    const bool qualifies = buy ? c.close <= x.low : c.close >= x.high;
    const std::uint64_t target = count_.target();
    if (qualifies && *count < target) {
      // The final bar must also trade through the close of the bar counted at
      // target - 5, when there was one.
      const bool final_bar = *count + 1 == target;
      const double ref = reference_close_;
      const bool reaches = std::isnan(ref) || (buy ? c.low <= ref : c.high >= ref);
      if (!final_bar || reaches) {
        ++*count;
        if (target > 5 && *count == target - 5) reference_close_ = c.close;
      }
    }
  }
  count_.push(c);
  return count_.count_value();
}

Expected<TdCombo, IndicatorError> TdCombo::create(std::uint64_t setup_look_back, std::uint64_t setup_length,
                                                  std::uint64_t count_look_back, std::uint64_t target) {
  auto count = TdPhasedCount::create(setup_look_back, setup_length, count_look_back, target);
  if (!count.ok()) return unexpected(count.error());
  return TdCombo(std::move(count).value());
}

std::optional<double> TdCombo::update_candle(const Candle& c) {
  if (!count_.ready()) {
    count_.push(c);
    return std::nullopt;
  }
  count_.advance_setup(c.close);
  if (std::uint64_t* count = count_.phase_count()) {
    const TdBar& p = count_.earlier(1);
    const TdBar& x = count_.earlier(count_.count_look_back());
    const bool qualifies = count_.phase() == TdPhase::Buy
                               ? c.close < p.close && c.close <= x.low && c.low <= p.low
                               : c.close > p.close && c.close >= x.high && c.high >= p.high;
    if (qualifies && *count < count_.target()) ++*count;
  }
  count_.push(c);
  return count_.count_value();
}

Expected<TdDWave, IndicatorError> TdDWave::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return TdDWave(static_cast<std::size_t>(n));
}

std::optional<double> TdDWave::update_candle(const Candle& c) {
  bars_.push(c.high, c.low);
  if (!bars_.full()) return value_;
  const FractalPivot pivot = bars_.pivot();
  if (pivot == FractalPivot::None || pivot == last_) return value_;
  wave_ = wave_ % 8 + 1;
  last_ = pivot;
  value_ = static_cast<double>(wave_);
  return value_;
}

Expected<TdDeMarker, IndicatorError> TdDeMarker::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return TdDeMarker(static_cast<std::size_t>(n));
}

std::optional<double> TdDeMarker::update_candle(const Candle& c) {
  const std::optional<TdBar> prev = prev_;
  prev_ = TdBar{c.high, c.low, c.close};
  if (!prev) return std::nullopt;
  const double up = c.high - prev->high;
  const double down = prev->low - c.low;
  moves_.push(Move{up > 0.0 ? up : 0.0, down > 0.0 ? down : 0.0});
  if (!moves_.full()) return std::nullopt;
  const double n = static_cast<double>(moves_.size());
  const double a = sum_oldest_first(moves_, [](const Move& m) { return m.up; }) / n;
  const double b = sum_oldest_first(moves_, [](const Move& m) { return m.down; }) / n;
  if (a + b == 0.0) return 0.5;
  return a / (a + b);
}

Expected<TdPressure, IndicatorError> TdPressure::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return TdPressure(static_cast<std::size_t>(n));
}

std::optional<double> TdPressure::update_candle(const Candle& c) {
  const double range = c.high - c.low;
  const double pressure = range > 0.0 ? c.volume * (c.close - c.open) / range : 0.0;
  bars_.push(Flow{pressure, c.volume});
  if (!bars_.full()) return std::nullopt;
  const double n = static_cast<double>(bars_.size());
  const double p = sum_oldest_first(bars_, [](const Flow& f) { return f.pressure; }) / n;
  const double v = sum_oldest_first(bars_, [](const Flow& f) { return f.volume; }) / n;
  if (v == 0.0) return 0.0;
  return 100.0 * p / v;
}

Expected<TdRei, IndicatorError> TdRei::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return TdRei(static_cast<std::size_t>(n));
}

std::optional<double> TdRei::update_candle(const Candle& c) {
  if (!bars_.full()) {
    bars_.push(TdBar{c.high, c.low, c.close});
    return std::nullopt;
  }
  // bars_.back(k - 1) is bar t - k.
  const TdBar& b2 = bars_.back(1);
  const TdBar& b5 = bars_.back(4);
  const TdBar& b6 = bars_.back(5);
  const TdBar& b7 = bars_.back(6);
  const TdBar& b8 = bars_.back(7);
  const bool q1 = (c.high >= b5.low || c.high >= b6.low) && (c.low <= b6.high || c.low <= b5.high);
  const bool q2 = (b2.high >= b7.close || b2.high >= b8.close) && (b2.low <= b7.close || b2.low <= b8.close);
  const double dh = c.high - b2.high;
  const double dl = c.low - b2.low;
  terms_.push(Term{q1 || q2 ? dh + dl : 0.0, std::fabs(dh) + std::fabs(dl)});
  bars_.push(TdBar{c.high, c.low, c.close});
  if (!terms_.full()) return std::nullopt;
  const double signed_sum = sum_oldest_first(terms_, [](const Term& t) { return t.signed_term; });
  const double abs_sum = sum_oldest_first(terms_, [](const Term& t) { return t.abs_term; });
  if (abs_sum == 0.0) return 0.0;
  return std::clamp(100.0 * signed_sum / abs_sum, -100.0, 100.0);
}

Expected<RoundedTurn, IndicatorError> RoundedTurn::create(std::uint64_t n, Shape shape, std::string_view too_short) {
  if (n < 5) return unexpected(IndicatorError::invalid_period(too_short));
  if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return RoundedTurn(static_cast<std::size_t>(n), shape);
}

std::optional<double> RoundedTurn::update_candle(const Candle& c) {
  // The extreme and its first occurrence, on closes turned so that a bottom
  // is a top (negation is exact, so the order is mirrored exactly).
  const double close = side_ * c.close;
  closes_.push(c.close);
  extreme_.push(close);
  if (!closes_.full()) return std::nullopt;
  const std::size_t n = closes_.size();
  const WindowExtreme extreme = extreme_.extreme();
  const std::size_t at = n - 1 - extreme.age;
  const std::size_t q = n / 4;
  const bool turned = close < extreme.value && close < side_ * closes_[0] && q <= at && at < n - q;
  return turned ? -side_ : 0.0;
}

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
