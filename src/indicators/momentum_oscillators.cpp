// Every average here is fed on every accepted bar, so the first value comes on
// the bar the longest chain fills and never later; the ratios repeat their last
// value rather than divide by a range that vanished.
#include "indicators/momentum_oscillators.h"

#include <algorithm>

#include "indicators/cores/wilder.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

// The counts were checked by the caller.
Sma checked_sma(std::uint64_t period) { return Sma::create(period).value(); }

}  // namespace

Expected<AwesomeOscillator, IndicatorError> AwesomeOscillator::create(std::uint64_t fast, std::uint64_t slow) {
  if (fast == 0 || slow == 0) return unexpected(IndicatorError::period_zero());
  if (fast >= slow) return unexpected(IndicatorError::invalid_period("AO fast period must be strictly less than slow"));
  if (fast > MAX_PERIOD || slow > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return AwesomeOscillator(checked_sma(fast), checked_sma(slow));
}

std::optional<double> AwesomeOscillator::update_candle(const Candle& c) {
  const double median = safe_midpoint(c.high, c.low);
  const auto fast = fast_.update_value(median);
  const auto slow = slow_.update_value(median);
  if (!fast || !slow) return std::nullopt;
  return *fast - *slow;
}

Expected<AwesomeOscillatorHistogram, IndicatorError> AwesomeOscillatorHistogram::create(std::uint64_t fast,
                                                                                        std::uint64_t slow,
                                                                                        std::uint64_t lag) {
  if (fast == 0 || slow == 0 || lag == 0) return unexpected(IndicatorError::period_zero());
  if (fast >= slow) {
    return unexpected(
        IndicatorError::invalid_period("AwesomeOscillatorHistogram fast must be strictly less than slow"));
  }
  auto ao = AwesomeOscillator::create(fast, slow);
  if (!ao.ok()) return unexpected(ao.error());
  if (lag > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return AwesomeOscillatorHistogram(std::move(ao).value(), lag);
}

std::optional<double> AwesomeOscillatorHistogram::update_candle(const Candle& c) {
  const auto ao = ao_.update_candle(c);
  if (!ao) return std::nullopt;
  values_.push(*ao);
  if (!values_.full()) return std::nullopt;
  return *ao - values_.oldest();
}

Expected<AcceleratorOscillator, IndicatorError> AcceleratorOscillator::create(std::uint64_t fast, std::uint64_t slow,
                                                                              std::uint64_t signal) {
  auto ao = AwesomeOscillator::create(fast, slow);
  if (!ao.ok()) return unexpected(ao.error());
  auto sig = Sma::create(signal);
  if (!sig.ok()) return unexpected(sig.error());
  return AcceleratorOscillator(std::move(ao).value(), std::move(sig).value());
}

std::optional<double> AcceleratorOscillator::update_candle(const Candle& c) {
  const auto ao = ao_.update_candle(c);
  if (!ao) return std::nullopt;
  const auto signal = signal_.update_value(*ao);
  if (!signal) return std::nullopt;
  return *ao - *signal;
}

Expected<Qstick, IndicatorError> Qstick::create(std::uint64_t n) {
  auto bodies = Sma::create(n);
  if (!bodies.ok()) return unexpected(bodies.error());
  return Qstick(std::move(bodies).value());
}

Expected<Pgo, IndicatorError> Pgo::create(std::uint64_t n) {
  auto closes = Sma::create(n);
  if (!closes.ok()) return unexpected(closes.error());
  return Pgo(std::move(closes).value(), n);
}

std::optional<double> Pgo::update_candle(const Candle& c) {
  const auto average = closes_.update_value(c.close);
  const double tr = true_range(c, prev_close_);
  prev_close_ = c.close;
  // A range that overflowed is not smoothed (the smoother refuses it).
  const auto smoothed = range_.update_value(tr);
  if (!smoothed || !average) return std::nullopt;
  if (*smoothed > 0.0) last_ = (c.close - *average) / *smoothed;
  return last_;
}

Expected<HeikinAshiBodyOscillator, IndicatorError> HeikinAshiBodyOscillator::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return HeikinAshiBodyOscillator(n);
}

std::optional<double> HeikinAshiBodyOscillator::update_candle(const Candle& c) {
  const HeikinAshiPair ha = heikin_ashi_next(prev_, c);
  prev_ = ha;
  return body_.update_value(ha.close - ha.open);
}

Expected<IntradayMomentumIndex, IndicatorError> IntradayMomentumIndex::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return IntradayMomentumIndex(static_cast<std::size_t>(n));
}

std::optional<double> IntradayMomentumIndex::update_candle(const Candle& c) {
  const double body = c.close - c.open;
  moves_.push(body > 0.0 ? body : 0.0, body < 0.0 ? -body : 0.0);
  if (!moves_.full()) return std::nullopt;
  // Sums of non-negative terms: residue below zero is no movement.
  const double gains = std::max(moves_.first_sum(), 0.0);
  const double total = gains + std::max(moves_.second_sum(), 0.0);
  if (total == 0.0) return 50.0;
  return 100.0 * gains / total;
}

Expected<Rvi, IndicatorError> Rvi::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return Rvi(static_cast<std::size_t>(n));
}

std::optional<double> Rvi::update_candle(const Candle& c) {
  bars_.push(Vigor{c.close - c.open, c.high - c.low});
  if (!bars_.full()) return std::nullopt;
  // The weights 1, 2, 2, 1 are added in this grouping: the order is part of the result.
  const auto weigh = [](double p0, double p1, double p2, double p3) {
    return (p0 + ((p1 + p1) + ((p2 + p2) + p3))) / 6.0;
  };
  weighted_.push(weigh(bars_[0].body, bars_[1].body, bars_[2].body, bars_[3].body),
                 weigh(bars_[0].range, bars_[1].range, bars_[2].range, bars_[3].range));
  if (!weighted_.full()) return std::nullopt;
  // Each weighted body is within its weighted range, so the ratio is too;
  // only running-sum residue could take it outside.
  const double range = weighted_.second_sum();
  if (range > 0.0) last_ = std::clamp(weighted_.first_sum() / range, -1.0, 1.0);
  return last_;
}

Expected<Inertia, IndicatorError> Inertia::create(std::uint64_t r, std::uint64_t m) {
  if (r == 0 || m == 0) return unexpected(IndicatorError::period_zero());
  auto rvi = RviVolatility::create(r);
  if (!rvi.ok()) return unexpected(rvi.error());
  auto line = LinearRegression::create(m);
  if (!line.ok()) return unexpected(line.error());
  return Inertia(std::move(rvi).value(), std::move(line).value());
}

std::optional<double> Inertia::update_candle(const Candle& c) {
  const auto rvi = rvi_.update_value(c.close);
  if (!rvi) return std::nullopt;
  return line_.update_value(*rvi);
}

}  // namespace vsci
