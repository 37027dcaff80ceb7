// Each stage is fed only what the stage before it gave, so a chain's first
// value comes once every stage has seeded, and a stage that refuses a value
// (not finite) leaves the later stages untouched. The inner averages still
// take the bar when a later stage is not ready yet.
#include "indicators/macd_family.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/window_checks.h"
#include "indicators/momentum.h"
#include "market/price_checks.h"

namespace vsci {

// --- MacdIndicator, MacdFix ---

Expected<MacdIndicator, IndicatorError> MacdIndicator::from(Expected<UnfusedMacdCore, IndicatorError> core) {
  if (!core.ok()) return unexpected(core.error());
  return MacdIndicator(core.value());
}

namespace {

std::optional<double> publish(OutputList<3>& outputs, const std::optional<MacdLines>& lines) {
  if (!lines) return std::nullopt;
  outputs.set({lines->macd, lines->signal, lines->histogram});
  return lines->macd;
}

}  // namespace

std::optional<double> MacdIndicator::update_value(double x) { return publish(outputs_, core_.update_value(x)); }

// --- ZeroLagMacd ---

Expected<ZeroLagMacd, IndicatorError> ZeroLagMacd::create(std::uint64_t fast, std::uint64_t slow,
                                                          std::uint64_t signal) {
  if (auto e = check_macd_periods(fast, slow, signal, "ZeroLagMACD fast period must be strictly less than slow")) {
    return unexpected(*e);
  }
  return ZeroLagMacd(Zlema::create(fast).value(), Zlema::create(slow).value(), Zlema::create(signal).value());
}

std::optional<double> ZeroLagMacd::update_value(double x) {
  const auto fast = fast_.update_value(x);
  const auto slow = slow_.update_value(x);
  if (!fast || !slow) return std::nullopt;
  return publish(outputs_, macd_lines(*fast, *slow, signal_));
}

// --- VolumeWeightedMacd ---

Expected<VolumeWeightedMacd, IndicatorError> VolumeWeightedMacd::create(std::uint64_t fast, std::uint64_t slow,
                                                                        std::uint64_t signal) {
  if (auto e = check_macd_periods(fast, slow, signal, "fast period must be strictly less than slow period")) {
    return unexpected(*e);
  }
  return VolumeWeightedMacd(Vwma::create(fast).value(), Vwma::create(slow).value(), MeanSeededSmoother(signal));
}

std::optional<double> VolumeWeightedMacd::update_candle(const Candle& c) {
  const auto fast = fast_.update_value(c.close, c.volume);
  const auto slow = slow_.update_value(c.close, c.volume);
  if (!fast || !slow) return std::nullopt;
  return publish(outputs_, macd_lines(*fast, *slow, signal_));
}

// --- Kst ---

Expected<Kst, IndicatorError> Kst::create(std::uint64_t r1, std::uint64_t r2, std::uint64_t r3, std::uint64_t r4,
                                          std::uint64_t m1, std::uint64_t m2, std::uint64_t m3, std::uint64_t m4,
                                          std::uint64_t signal) {
  const std::array<std::uint64_t, 9> all{r1, r2, r3, r4, m1, m2, m3, m4, signal};
  if (std::find(all.begin(), all.end(), 0u) != all.end()) return unexpected(IndicatorError::period_zero());
  for (std::uint64_t p : all) {
    if (p > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  }
  const auto unit = [](std::uint64_t r, std::uint64_t m) {
    return Unit{Ring<double>(static_cast<std::size_t>(r + 1)), Sma::create(m).value()};
  };
  const std::uint64_t longest = std::max({r1 + m1, r2 + m2, r3 + m3, r4 + m4});
  return Kst({unit(r1, m1), unit(r2, m2), unit(r3, m3), unit(r4, m4)}, Sma::create(signal).value(),
             longest + signal - 1);
}

std::optional<double> Kst::update_value(double x) {
  std::array<std::optional<double>, 4> averages;
  for (std::size_t i = 0; i < 4; ++i) {
    Unit& u = units_[i];
    u.closes.push(x);
    if (!u.closes.full()) continue;
    averages[i] = u.average.update_value(RocForm::of(x, u.closes.oldest()));
  }
  for (const auto& a : averages) {
    if (!a) return std::nullopt;
  }
  const double kst = *averages[0] + 2.0 * *averages[1] + 3.0 * *averages[2] + 4.0 * *averages[3];
  const auto signal = signal_.update_value(kst);
  if (!signal) return std::nullopt;
  outputs_.set({kst, *signal});
  return kst;
}

// --- WaveTrend ---

Expected<WaveTrend, IndicatorError> WaveTrend::create(std::uint64_t channel, std::uint64_t average,
                                                      std::uint64_t signal) {
  if (channel == 0 || average == 0 || signal == 0) return unexpected(IndicatorError::period_zero());
  if (channel > MAX_PERIOD || average > MAX_PERIOD || signal > MAX_PERIOD) {
    return unexpected(IndicatorError::period_too_large());
  }
  return WaveTrend(MeanSeededSmoother(channel), MeanSeededSmoother(average), Sma::create(signal).value());
}

std::optional<double> WaveTrend::update_candle(const Candle& c) {
  const double ap = (c.high + c.low + c.close) / 3.0;
  if (!std::isfinite(ap)) return std::nullopt;
  const auto esa = esa_.update_value(ap);
  if (!esa) return std::nullopt;
  const double diff = ap - *esa;
  if (!std::isfinite(diff)) return std::nullopt;
  const auto d = deviation_.update_value(std::fabs(diff));
  if (!d) return std::nullopt;
  // A deviation within rounding of the average's own size counts as none.
  const double ci = *d <= 16.0 * std::max(std::fabs(*esa), 1.0) * EPS ? 0.0 : diff / (0.015 * *d);
  if (!std::isfinite(ci)) return std::nullopt;
  const auto wt1 = tci_.update_value(ci);
  if (!wt1) return std::nullopt;
  const auto wt2 = signal_.update_value(*wt1);
  if (!wt2) return std::nullopt;
  outputs_.set({*wt1, *wt2});
  return *wt1;
}

// --- Qqe ---

Expected<Qqe, IndicatorError> Qqe::create(std::uint64_t n, std::uint64_t s, double factor) {
  if (n == 0 || s == 0) return unexpected(IndicatorError::period_zero());
  if (!(std::isfinite(factor) && factor > 0.0)) {
    return unexpected(IndicatorError::invalid_period("QQE factor must be a finite positive value"));
  }
  auto rsi = Rsi::create(n);
  if (!rsi.ok()) return unexpected(rsi.error());
  if (s > MAX_PERIOD || 2 * n - 1 > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  // Period 2n - 1 gives the movement averages alpha 2 / (2n) = 1 / n.
  return Qqe(std::move(rsi).value(), MeanSeededSmoother(s), MeanSeededSmoother(2 * n - 1), factor);
}

std::optional<double> Qqe::update_value(double x) {
  const auto rsi = rsi_.update_value(x);
  if (!rsi || !std::isfinite(*rsi)) return std::nullopt;
  const auto m = average_.update_value(*rsi);
  if (!m) return std::nullopt;
  const std::optional<double> p = previous_average_;
  previous_average_ = m;
  if (!p) return std::nullopt;
  const double move = *m - *p;
  if (!std::isfinite(move)) return std::nullopt;
  const auto first = movement_.update_value(std::fabs(move));
  if (!first || !std::isfinite(*first)) return std::nullopt;
  const auto dar = smoothed_movement_.update_value(*first);
  if (!dar) return std::nullopt;
  const double band = *dar * factor_;
  const double lower = *m - band;
  const double upper = *m + band;
  double trailing = lower;
  if (!trail_) {
    trail_ = Trail{lower, upper, 1.0};
  } else {
    // The crossings are judged against the previous lines.
    const double l = trail_->long_line;
    const double s = trail_->short_line;
    const double new_long = *m > l && *p > l ? std::max(l, lower) : lower;
    const double new_short = *m < s && *p < s ? std::min(s, upper) : upper;
    double direction = trail_->direction;
    if (*p <= s && *m > s) {
      direction = 1.0;
    } else if (*p >= l && *m < l) {
      direction = -1.0;
    }
    trailing = direction > 0.0 ? new_long : new_short;
    trail_ = Trail{new_long, new_short, direction};
  }
  outputs_.set({*m, trailing});
  return *m;
}

}  // namespace vsci
