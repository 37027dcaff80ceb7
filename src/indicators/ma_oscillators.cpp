// Built on the shared Ema and Sma cores wherever they smooth alike, so their
// averages equal the average kinds to the bit.
#include "indicators/ma_oscillators.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/sorted_window.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

EmaPair EmaPair::unchecked(std::uint64_t fast, std::uint64_t slow) {
  return EmaPair(Ema::create(fast).value(), Ema::create(slow).value());
}

std::optional<EmaPair::Values> EmaPair::update_value(double x) {
  const auto fast = fast_.update_value(x);
  const auto slow = slow_.update_value(x);
  if (!fast || !slow) return std::nullopt;
  return Values{*fast, *slow};
}

Expected<Apo, IndicatorError> Apo::create(std::uint64_t fast, std::uint64_t slow) {
  if (fast == 0 || slow == 0) return unexpected(IndicatorError::period_zero());
  if (fast >= slow) return unexpected(IndicatorError::invalid_period("APO fast period must be strictly less than slow"));
  if (fast > MAX_PERIOD || slow > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return Apo(EmaPair::unchecked(fast, slow), slow);
}

std::optional<double> Apo::update_value(double x) {
  const auto v = emas_.update_value(x);
  if (!v) return std::nullopt;
  return v->fast - v->slow;
}

Expected<Ppo, IndicatorError> Ppo::create(std::uint64_t fast, std::uint64_t slow) {
  if (fast == 0 || slow == 0) return unexpected(IndicatorError::period_zero());
  if (fast >= slow) return unexpected(IndicatorError::invalid_period("PPO fast period must be < slow period"));
  if (slow > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return Ppo(EmaPair::unchecked(fast, slow), slow);
}

std::optional<double> Ppo::update_value(double x) {
  const auto v = emas_.update_value(x);
  if (!v) return std::nullopt;
  if (v->slow == 0.0) return 0.0;
  return (v->fast - v->slow) * 100.0 / v->slow;
}

Expected<PpoHistogram, IndicatorError> PpoHistogram::create(std::uint64_t fast, std::uint64_t slow,
                                                            std::uint64_t signal) {
  if (auto e = check_period(signal)) return unexpected(*e);
  auto ppo = Ppo::create(fast, slow);
  if (!ppo.ok()) return unexpected(ppo.error());
  return PpoHistogram(ppo.value(), Ema::create(signal).value(), slow + signal - 1);
}

std::optional<double> PpoHistogram::update_value(double x) {
  const auto o = ppo_.update_value(x);
  if (!o || !std::isfinite(*o)) return std::nullopt;
  const auto signal = signal_.update_value(*o);
  if (!signal) return std::nullopt;
  return *o - *signal;
}

Expected<MacdHistogram, IndicatorError> MacdHistogram::create(std::uint64_t fast, std::uint64_t slow,
                                                              std::uint64_t signal) {
  auto core = FusedMacdCore::create(fast, slow, signal);
  if (!core.ok()) return unexpected(core.error());
  return MacdHistogram(core.value());
}

std::optional<double> MacdHistogram::update_value(double x) {
  const auto lines = core_.update_value(x);
  if (!lines) return std::nullopt;
  return lines->histogram;
}

Expected<Trix, IndicatorError> Trix::create(std::uint64_t period) {
  auto ema = Ema::create(period);
  if (!ema.ok()) return unexpected(ema.error());
  return Trix(ema.value(), period);
}

std::optional<double> Trix::update_value(double x) {
  const auto e1 = e1_.update_value(x);
  if (!e1 || !std::isfinite(*e1)) return std::nullopt;
  const auto e2 = e2_.update_value(*e1);
  if (!e2 || !std::isfinite(*e2)) return std::nullopt;
  const auto e3 = e3_.update_value(*e2);
  if (!e3) return std::nullopt;
  const std::optional<double> q = prev_;
  prev_ = *e3;
  if (!q) return std::nullopt;
  return *q == 0.0 ? 0.0 : (*e3 - *q) * 100.0 / *q;
}

Expected<Tsi, IndicatorError> Tsi::create(std::uint64_t first, std::uint64_t second) {
  if (first == 0 || second == 0) return unexpected(IndicatorError::period_zero());
  if (first > MAX_PERIOD || second > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return Tsi(Ema::create(first).value(), Ema::create(second).value(), first + second);
}

std::optional<double> Tsi::update_value(double x) {
  const auto change = diffs_.next(x);
  if (!change || !std::isfinite(*change)) return std::nullopt;
  const double d = *change;
  std::optional<double> n2;
  if (const auto n1 = n1_.update_value(d); n1 && std::isfinite(*n1)) n2 = n2_.update_value(*n1);
  // The magnitude chain moves on every change, whatever the numerator gave.
  const auto a1 = a1_.update_value(std::fabs(d));
  if (!a1 || !std::isfinite(*a1)) return std::nullopt;
  const auto a2 = a2_.update_value(*a1);
  if (!a2 || !n2) return std::nullopt;
  return *a2 == 0.0 ? 0.0 : (*n2 * 100.0) / *a2;
}

double Pmo::Smoother::update(double x) {
  value = value ? std::fma(alpha, x, one_minus_alpha * *value) : x;
  return *value;
}

Expected<Pmo, IndicatorError> Pmo::create(std::uint64_t first, std::uint64_t second) {
  if (first == 0 || second == 0) return unexpected(IndicatorError::period_zero());
  if (first < 2 || second < 2) return unexpected(IndicatorError::invalid_period("PMO smoothing periods must be >= 2"));
  return Pmo(2.0 / static_cast<double>(first), 2.0 / static_cast<double>(second));
}

std::optional<double> Pmo::update_value(double x) {
  if (!prev_) {
    prev_ = x;
    return std::nullopt;
  }
  const double rate = *prev_ != 0.0 ? (x / *prev_ - 1.0) * 100.0 : 0.0;
  prev_ = x;
  if (!std::isfinite(rate)) return std::nullopt;
  const double t = first_.update(rate) * 10.0;
  if (!std::isfinite(t)) return std::nullopt;
  return second_.update(t);
}

void Stc::StochasticRing::push(double v) {
  values_.push(v);
  range_.push(v, v);
}

double Stc::StochasticRing::stochastic(double v) const {
  const auto [hi, lo] = range_.fold_from(values_.oldest(), values_.oldest());
  return hi > lo ? (v - lo) * 100.0 / (hi - lo) : 0.0;
}

Expected<Stc, IndicatorError> Stc::create(std::uint64_t fast, std::uint64_t slow, std::uint64_t cycle,
                                          double factor) {
  if (fast == 0 || slow == 0 || cycle == 0) return unexpected(IndicatorError::period_zero());
  if (fast >= slow) return unexpected(IndicatorError::invalid_period("STC fast period must be strictly less than slow"));
  if (!(std::isfinite(factor) && factor > 0.0 && factor <= 1.0)) {
    return unexpected(IndicatorError::invalid_period("STC factor must be a finite value in (0, 1]"));
  }
  // The cycle sizes two rings, so it takes the general bound too.
  if (fast > MAX_PERIOD || slow > MAX_PERIOD || cycle > MAX_PERIOD) {
    return unexpected(IndicatorError::period_too_large());
  }
  return Stc(EmaPair::unchecked(fast, slow), static_cast<std::size_t>(cycle), factor, slow + 2 * cycle - 2);
}

std::optional<double> Stc::update_value(double x) {
  const auto v = emas_.update_value(x);
  if (!v) return std::nullopt;
  const double macd = v->fast - v->slow;
  macd_.push(macd);
  if (!macd_.full()) return std::nullopt;
  const double z1 = macd_.stochastic(macd);
  s1_ = s1_ ? *s1_ + factor_ * (z1 - *s1_) : z1;
  stage1_.push(*s1_);
  if (!stage1_.full()) return std::nullopt;
  const double z2 = stage1_.stochastic(*s1_);
  s2_ = s2_ ? *s2_ + factor_ * (z2 - *s2_) : z2;
  return std::clamp(*s2_, 0.0, 100.0);
}

Expected<Tii, IndicatorError> Tii::create(std::uint64_t period, std::uint64_t window) {
  if (period == 0 || window == 0) return unexpected(IndicatorError::period_zero());
  // The deviation window sizes a ring, so it takes the general bound too.
  if (period > MAX_PERIOD || window > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return Tii(Sma::create(period).value(), static_cast<std::size_t>(window));
}

std::optional<double> Tii::update_value(double x) {
  const auto avg = sma_.update_value(x);
  if (!avg) return std::nullopt;
  if (devs_.full()) {
    const double old = devs_.oldest();
    if (old > 0.0) {
      pos_.remove(old);
    } else if (old < 0.0) {
      neg_.remove(-old);
    }
  }
  const double dev = x - *avg;
  devs_.push(dev);
  if (dev > 0.0) {
    pos_.add(dev);
  } else if (dev < 0.0) {
    neg_.add(-dev);
  }
  if (!devs_.full()) return std::nullopt;
  const double total = pos_.value() + neg_.value();
  if (total > 0.0) return std::clamp(pos_.value() * 100.0 / total, 0.0, 100.0);
  return 50.0;
}

Expected<ElderImpulse, IndicatorError> ElderImpulse::create(std::uint64_t trend, std::uint64_t fast,
                                                            std::uint64_t slow, std::uint64_t signal) {
  auto ema = Ema::create(trend);
  if (!ema.ok()) return unexpected(ema.error());
  auto macd = MacdHistogram::create(fast, slow, signal);
  if (!macd.ok()) return unexpected(macd.error());
  const std::uint64_t warmup = std::max(trend, slow + signal - 1) + 1;
  return ElderImpulse(ema.value(), std::move(macd).value(), warmup);
}

std::optional<double> ElderImpulse::update_value(double x) {
  const auto e = trend_.update_value(x);
  const auto h = macd_.update_value(x);
  if (!h || !e) return std::nullopt;
  const std::optional<double> prev_e = prev_trend_;
  const std::optional<double> prev_h = prev_hist_;
  prev_trend_ = e;
  prev_hist_ = h;
  if (!prev_e || !prev_h) return std::nullopt;
  if (*h > *prev_h && *e > *prev_e) return 1.0;
  if (*h < *prev_h && *e < *prev_e) return -1.0;
  return 0.0;
}

UniversalOscillator::UniversalOscillator(double period) {
  const double x = 4.442882938158366 / period;  // pi * sqrt(2) / period
  const double a = std::exp(-x);
  c2_ = 2.0 * a * std::cos(x);
  c3_ = -(a * a);
  c1_ = 1.0 - c2_ - c3_;
}

Expected<UniversalOscillator, IndicatorError> UniversalOscillator::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return UniversalOscillator(static_cast<double>(period));
}

std::optional<double> UniversalOscillator::update_value(double x) {
  if (!close2_) {
    shift_closes(x);
    return std::nullopt;
  }
  const double w = (x - *close2_) * 0.5;
  if (!std::isfinite(w)) {
    shift_closes(x);
    return last_;
  }
  double f = w;
  if (prev_half_ && filt1_ && filt2_) {
    f = c1_ * safe_midpoint(w, *prev_half_) + c2_ * *filt1_ + c3_ * *filt2_;
  }
  filt2_ = filt1_;
  filt1_ = f;
  prev_half_ = w;
  peak_ = std::fmax(std::fabs(f), peak_ * 0.991);
  const double value = peak_ > 0.0 ? std::clamp(f / peak_, -1.0, 1.0) : 0.0;
  shift_closes(x);
  last_ = value;
  return value;
}

}  // namespace vsci
