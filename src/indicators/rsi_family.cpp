// Each change splits into a gain and a loss; kinds on the shared Rsi core match
// the Rsi kind to the bit, the others smooth their own way.
#include "indicators/rsi_family.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/window_checks.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

// G / (G + L) * 100, with 50 when there was no movement at all.
double gain_share(double gain, double loss) {
  const double total = gain + loss;
  return total != 0.0 ? (gain / total) * 100.0 : 50.0;
}

}  // namespace

// ---- Rsx ----

double Rsx::Chain::update(double input, double alpha, double one_minus_alpha) {
  auto step = [&](std::size_t i, double in) {
    stage[i] = stage[i] * one_minus_alpha + in * alpha;
    return stage[i];
  };
  const double m1 = step(0, input);
  const double m2 = step(1, m1);
  const double m3 = step(2, 1.5 * m1 - 0.5 * m2);
  const double m4 = step(3, m3);
  const double m5 = step(4, 1.5 * m3 - 0.5 * m4);
  const double m6 = step(5, m5);
  return 1.5 * m5 - 0.5 * m6;
}

Rsx::Rsx(std::uint64_t period)
    : period_(period), alpha_(3.0 / (static_cast<double>(period) + 2.0)), one_minus_alpha_(1.0 - alpha_) {}

Expected<Rsx, IndicatorError> Rsx::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return Rsx(period);
}

std::optional<double> Rsx::update_value(double x) {
  const auto d = diffs_.next(x);
  if (!d) return std::nullopt;
  const double n = change_.update(*d, alpha_, one_minus_alpha_);
  const double m = magnitude_.update(std::fabs(*d), alpha_, one_minus_alpha_);
  const double raw = m > 0.0 ? (n / m + 1.0) * 50.0 : 50.0;
  const double value = std::clamp(raw, 0.0, 100.0);
  if (++changes_ < period_) return std::nullopt;
  return value;
}

// ---- Rmi ----

Expected<Rmi, IndicatorError> Rmi::create(std::uint64_t period, std::uint64_t momentum) {
  if (period == 0 || momentum == 0) return unexpected(IndicatorError::period_zero());
  if (period > MAX_PERIOD || momentum > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return Rmi(period, static_cast<std::size_t>(momentum));
}

std::optional<double> Rmi::update_value(double x) {
  if (!closes_.full()) {
    closes_.push(x);
    return std::nullopt;
  }
  const ChangeSplit c = split_change(x - closes_.oldest());
  closes_.push(x);
  if (seed_.done()) {
    gain_ = (c.gain + gain_ * n_minus_1_) / n_;
    loss_ = (c.loss + loss_ * n_minus_1_) / n_;
  } else if (!seed_.add(c, gain_, loss_)) {
    return std::nullopt;
  }
  return gain_share(gain_, loss_);
}

// ---- StochRsi ----

Expected<StochRsi, IndicatorError> StochRsi::create(std::uint64_t period, std::uint64_t k) {
  if (period == 0 || k == 0) return unexpected(IndicatorError::period_zero());
  auto rsi = Rsi::create(period);
  if (!rsi.ok()) return unexpected(rsi.error());
  // k sizes the window of RSI values, so it takes the general bound.
  if (k > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return StochRsi(rsi.value(), static_cast<std::size_t>(k));
}

std::optional<double> StochRsi::update_value(double x) {
  const auto r = rsi_.update_value(x);
  if (!r) return std::nullopt;
  values_.push(*r, *r);
  if (!values_.full()) return std::nullopt;
  // The extremes of std::max / std::min scans from -inf and +inf.
  const auto [hi, lo] = values_.fold_from(-kInf, kInf);
  const double range = hi - lo;
  return range != 0.0 ? (*r - lo) * 100.0 / range : 50.0;
}

// ---- ConnorsRsi ----

Expected<ConnorsRsi, IndicatorError> ConnorsRsi::create(std::uint64_t period, std::uint64_t streak_period,
                                                        std::uint64_t rank) {
  if (period == 0 || streak_period == 0 || rank == 0) return unexpected(IndicatorError::period_zero());
  auto close_rsi = Rsi::create(period);
  if (!close_rsi.ok()) return unexpected(close_rsi.error());
  auto streak_rsi = Rsi::create(streak_period);
  if (!streak_rsi.ok()) return unexpected(streak_rsi.error());
  // The rank period sizes the window of changes, so it takes the general bound.
  if (rank > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return ConnorsRsi(close_rsi.value(), streak_rsi.value(), RankWindow::create(rank).value());
}

std::uint64_t ConnorsRsi::warmup() const {
  return std::max({changes_.period() + 1, close_rsi_.period() + 1, streak_rsi_.period() + 2});
}

std::optional<double> ConnorsRsi::update_value(double x) {
  const auto r1 = close_rsi_.update_value(x);
  if (!prev_) {
    prev_ = x;
    return std::nullopt;
  }
  const double prev = *prev_;
  if (x > prev) {
    streak_ = std::max(streak_, 0.0) + 1.0;
  } else if (x < prev) {
    streak_ = std::min(streak_, 0.0) - 1.0;
  } else {
    streak_ = 0.0;
  }
  const auto r2 = streak_rsi_.update_value(streak_);
  // A previous close of exactly 0 has no fractional change: the window skips
  // it. Finite closes give no NaN change, though an overflow may give an
  // infinite one.
  if (prev != 0.0) changes_.push((x - prev) / prev);
  prev_ = x;
  if (!changes_.full()) return std::nullopt;
  // The newest change is itself in the window, so the rank stays below 100.
  const std::size_t below = changes_.newest_below();
  const double rank = static_cast<double>(below) * 100.0 / static_cast<double>(changes_.period());
  if (!r1 || !r2) return std::nullopt;
  return ((*r1 + *r2) + rank) / 3.0;
}

// ---- LaguerreRsi ----

Expected<LaguerreRsi, IndicatorError> LaguerreRsi::create(double gamma) {
  if (!(std::isfinite(gamma) && gamma >= 0.0 && gamma <= 1.0)) {
    return unexpected(IndicatorError::invalid_period("LaguerreRSI gamma must be a finite value in [0, 1]"));
  }
  return LaguerreRsi(gamma);
}

std::optional<double> LaguerreRsi::update_value(double x) {
  if (!seeded_) {
    stage_.fill(x);
    seeded_ = true;
    return 50.0;
  }
  const std::array<double, 4> old = stage_;
  stage_[0] = one_minus_gamma_ * x + gamma_ * old[0];
  for (std::size_t i = 1; i < 4; ++i) stage_[i] = gamma_ * old[i] + (old[i - 1] - gamma_ * stage_[i - 1]);
  double up = 0.0;
  double down = 0.0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (stage_[i] >= stage_[i + 1]) {
      up += stage_[i] - stage_[i + 1];
    } else {
      down += stage_[i + 1] - stage_[i];
    }
  }
  const double total = up + down;
  if (!(total > 0.0)) return 50.0;
  return std::clamp(up * 100.0 / total, 0.0, 100.0);
}

// ---- AdaptiveRsi ----

Expected<AdaptiveRsi, IndicatorError> AdaptiveRsi::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return AdaptiveRsi(period);
}

std::optional<double> AdaptiveRsi::update_value(double x) {
  if (closes_.empty()) {
    closes_.push(x);
    return std::nullopt;
  }
  const double d = x - closes_.newest();
  closes_.push(x);
  if (moves_.full()) path_ -= moves_.oldest();
  moves_.push(std::fabs(d));
  path_ += std::fabs(d);
  const ChangeSplit c = split_change(d);
  // Seeding and smoothing are exclusive: the bar that seeds the averages does
  // not also smooth them.
  if (!seed_.done()) {
    if (!seed_.add(c, gain_, loss_)) return std::nullopt;
  } else {
    double factor = 0.004162330905306971;  // (2/31)^2, the slowest smoothing
    if (path_ != 0.0) {
      const double efficiency = std::clamp(std::fabs(x - closes_.oldest()) / path_, 0.0, 1.0);
      const double t = efficiency * 0.6021505376344085 + 0.06451612903225806;
      factor = t * t;
    }
    gain_ = gain_ + (c.gain - gain_) * factor;
    loss_ = loss_ + (c.loss - loss_) * factor;
  }
  return gain_share(gain_, loss_);
}

// ---- AnchoredRsi ----

std::optional<double> AnchoredRsi::update_value(double x) {
  const auto d = diffs_.next(x);
  if (!d) return std::nullopt;
  if (*d > 0.0) gain_ += *d;
  if (*d < 0.0) loss_ += -*d;
  if (loss_ == 0.0) return gain_ == 0.0 ? 50.0 : 100.0;
  return 100.0 - 100.0 / (gain_ / loss_ + 1.0);
}

// ---- FisherRsi ----

Expected<FisherRsi, IndicatorError> FisherRsi::create(std::uint64_t period) {
  auto rsi = Rsi::create(period);
  if (!rsi.ok()) return unexpected(rsi.error());
  return FisherRsi(rsi.value());
}

std::optional<double> FisherRsi::update_value(double x) {
  const auto r = rsi_.update_value(x);
  if (!r) return std::nullopt;
  const double t = std::clamp((*r - 50.0) / 50.0, -0.999, 0.999);
  return 0.5 * std::log((1.0 + t) / (1.0 - t));
}

// ---- DynamicLengthRsi ----

Expected<DynamicLengthRsi, IndicatorError> DynamicLengthRsi::create(std::uint64_t base) {
  if (auto e = check_period(base)) return unexpected(*e);
  return DynamicLengthRsi(StdDev::create(5).value(), Sma::create(10).value(), static_cast<double>(base));
}

std::optional<double> DynamicLengthRsi::update_value(double x) {
  if (const auto sd = deviation_.update_value(x)) {
    sd_ = sd;
    sd_average_ = average_.update_value(*sd);
  }
  if (const auto d = diffs_.next(x)) changes_.push(*d);
  if (!sd_ || !sd_average_ || !changes_.full()) return std::nullopt;
  std::size_t length = kMaxLength;
  if (*sd_ > 0.0 && *sd_average_ > 0.0) {
    // Rounded half away from zero; NaN and negatives count as 0 and overflow
    // saturates, so both ends land on the clamp without a float-to-int cast
    // out of range.
    const double rounded = std::round(base_ / (*sd_ / *sd_average_));
    length = !(rounded >= static_cast<double>(kMinLength)) ? kMinLength
             : rounded >= static_cast<double>(kMaxLength)  ? kMaxLength
                                                           : static_cast<std::size_t>(rounded);
  }
  double up = 0.0;
  double down = 0.0;
  // Adding +0.0 for the changes a side does not count leaves its sum as it
  // was, so the sums need no branch on the sign.
  for (std::size_t i = kMaxLength - length; i < kMaxLength; ++i) {
    const double c = changes_[i];
    up += c > 0.0 ? c : 0.0;
    down += c < 0.0 ? -c : 0.0;
  }
  return gain_share(up, down);
}

// ---- SmoothedRsiHistogram ----

Expected<SmoothedRsiHistogram, IndicatorError> SmoothedRsiHistogram::create(std::uint64_t period,
                                                                            std::uint64_t first,
                                                                            std::uint64_t second,
                                                                            std::uint64_t signal) {
  if (period == 0 || first == 0 || second == 0 || signal == 0) return unexpected(IndicatorError::period_zero());
  auto rsi = Rsi::create(period);
  if (!rsi.ok()) return unexpected(rsi.error());
  if (first > MAX_PERIOD || second > MAX_PERIOD || signal > MAX_PERIOD) {
    return unexpected(IndicatorError::period_too_large());
  }
  return SmoothedRsiHistogram(rsi.value(), Ema::create(first).value(), Ema::create(second).value(),
                              Sma::create(signal).value(), period + first + second + signal - 2);
}

std::optional<double> SmoothedRsiHistogram::update_value(double x) {
  const auto r = rsi_.update_value(x);
  if (!r || !std::isfinite(*r)) return std::nullopt;
  const auto e1 = first_.update_value(*r);
  if (!e1 || !std::isfinite(*e1)) return std::nullopt;
  const auto e2 = second_.update_value(*e1);
  if (!e2) return std::nullopt;
  const auto s = signal_.update_value(*e2);
  if (!s) return std::nullopt;
  return *e2 - *s;
}

}  // namespace vsci
