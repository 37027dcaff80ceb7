// Where an oscillator divides by a sum over a window, "the sum is 0" is
// decided by counting what the window holds rather than by comparing a
// running sum with 0: subtracting the values that leave a window rarely
// brings a sum back to exactly 0, and the promised fallback would be lost.
#include "indicators/candle_oscillators.h"

#include <algorithm>

#include "indicators/cores/window_checks.h"

namespace vsci {

Expected<TtmTrend, IndicatorError> TtmTrend::create(std::uint64_t n) {
  auto midpoints = Sma::create(n);
  if (!midpoints.ok()) return unexpected(midpoints.error());
  return TtmTrend(std::move(midpoints).value());
}

std::optional<double> TtmTrend::update_candle(const Candle& c) {
  const auto average = midpoints_.update_value(safe_midpoint(c.high, c.low));
  if (!average) return std::nullopt;
  return c.close > *average ? 1.0 : -1.0;
}

Expected<TwiggsMoneyFlow, IndicatorError> TwiggsMoneyFlow::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return TwiggsMoneyFlow(n);
}

std::optional<double> TwiggsMoneyFlow::update_candle(const Candle& c) {
  if (!prev_close_) {
    prev_close_ = c.close;
    return std::nullopt;
  }
  const double high = std::max(c.high, *prev_close_);
  const double low = std::min(c.low, *prev_close_);
  const double range = high - low;
  const double ad = range > 0.0 ? (c.volume * ((2.0 * c.close - high) - low)) / range : 0.0;
  prev_close_ = c.close;
  if (seed_count_ < period_) {
    ad_sum_ += ad;
    volume_sum_ += c.volume;
    if (++seed_count_ < period_) return std::nullopt;
    ad_average_ = ad_sum_ / n_;
    volume_average_ = volume_sum_ / n_;
  } else {
    ad_average_ = ad_average_ + (ad - ad_average_) / n_;
    volume_average_ = volume_average_ + (c.volume - volume_average_) / n_;
  }
  return volume_average_ == 0.0 ? 0.0 : ad_average_ / volume_average_;
}

Expected<UltimateOscillator, IndicatorError> UltimateOscillator::create(std::uint64_t p1, std::uint64_t p2,
                                                                        std::uint64_t p3) {
  if (p1 == 0 || p2 == 0 || p3 == 0) return unexpected(IndicatorError::period_zero());
  const std::uint64_t longest = std::max({p1, p2, p3});
  if (longest > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return UltimateOscillator(p1, p2, p3, longest);
}

UltimateOscillator::UltimateOscillator(std::uint64_t p1, std::uint64_t p2, std::uint64_t p3, std::uint64_t longest)
    : longest_(longest), ring_(static_cast<std::size_t>(longest) + 1) {
  windows_[0].length = static_cast<std::size_t>(p1);
  windows_[1].length = static_cast<std::size_t>(p2);
  windows_[2].length = static_cast<std::size_t>(p3);
}

std::optional<double> UltimateOscillator::update_candle(const Candle& c) {
  if (!prev_close_) {
    prev_close_ = c.close;
    return std::nullopt;
  }
  const double low = std::min(c.low, *prev_close_);
  const Pressure now{c.close - low, std::max(c.high, *prev_close_) - low};
  prev_close_ = c.close;
  ring_.push(now);
  for (Window& w : windows_) {
    w.sums.add({now.bp, now.tr});
    if (ring_.size() > w.length) {
      const Pressure& old = ring_.back(w.length);
      w.sums.remove({old.bp, old.tr});
    }
    if (++w.since_resum == w.length) resum(w);
  }
  if (++bars_ < longest_) return std::nullopt;
  const double a1 = average(windows_[0]), a2 = average(windows_[1]), a3 = average(windows_[2]);
  return (((4.0 * a1 + 2.0 * a2) + a3) * 100.0) / 7.0;
}

// Buying pressure never exceeds the true range, so a window without range
// holds no pressure either, and both counted sums are then exactly +0.0.
double UltimateOscillator::average(const Window& w) {
  const double tr = w.sums.value(1);
  return tr != 0.0 ? w.sums.value(0) / tr : 0.5;
}

// Called once every `length` pairs, so the ring holds at least `length`.
void UltimateOscillator::resum(Window& w) const {
  double bp = 0.0, tr = 0.0;
  for (std::size_t i = ring_.size() - w.length; i < ring_.size(); ++i) {
    bp += ring_[i].bp;
    tr += ring_[i].tr;
  }
  w.sums.replace(0, bp);
  w.sums.replace(1, tr);
  w.since_resum = 0;
}

Expected<VolumeOscillator, IndicatorError> VolumeOscillator::create(std::uint64_t fast, std::uint64_t slow) {
  if (fast == 0 || slow == 0) return unexpected(IndicatorError::period_zero());
  if (fast >= slow) return unexpected(IndicatorError::invalid_period("VolumeOscillator needs fast < slow"));
  // fast < slow: the bound on slow bounds both.
  if (slow > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return VolumeOscillator(static_cast<std::size_t>(fast), static_cast<std::size_t>(slow));
}

VolumeOscillator::VolumeOscillator(std::size_t fast, std::size_t slow)
    : fast_(WindowSum::resummed_every(fast, 16 * fast)), slow_(WindowSum::resummed_every(slow, 16 * slow)) {}

std::optional<double> VolumeOscillator::update_candle(const Candle& c) {
  fast_.push(c.volume);
  slow_.push(c.volume);
  if (!slow_.full()) return std::nullopt;
  const double fast = fast_.sum() / static_cast<double>(fast_.capacity());
  const double slow = slow_.sum() / static_cast<double>(slow_.capacity());
  if (slow == 0.0) return 0.0;
  return ((fast - slow) * 100.0) / slow;
}

Expected<VolumeRsi, IndicatorError> VolumeRsi::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return VolumeRsi(n);
}

std::optional<double> VolumeRsi::update_candle(const Candle& c) {
  const auto d = changes_.next(c.volume);
  if (!d) return std::nullopt;
  const ChangeSplit move = split_change(*d);
  if (seed_.done()) {
    gain_ = (gain_ * n_minus_1_ + move.gain) / n_;
    loss_ = (loss_ * n_minus_1_ + move.loss) / n_;
  } else if (!seed_.add(move, gain_, loss_)) {
    return std::nullopt;
  }
  const double sum = gain_ + loss_;
  if (sum == 0.0) return 50.0;
  return (gain_ / sum) * 100.0;
}

Expected<Vzo, IndicatorError> Vzo::create(std::uint64_t n) {
  auto signed_volume = Ema::create(n);
  if (!signed_volume.ok()) return unexpected(signed_volume.error());
  return Vzo(std::move(signed_volume).value(), Ema::create(n).value());
}

std::optional<double> Vzo::update_candle(const Candle& c) {
  if (!prev_close_) {
    prev_close_ = c.close;
    return std::nullopt;
  }
  const double sv = c.close > *prev_close_ ? c.volume : (c.close < *prev_close_ ? -c.volume : 0.0);
  prev_close_ = c.close;
  const auto s = signed_volume_.update_value(sv);
  const auto v = volume_.update_value(c.volume);
  if (!s || !v) return std::nullopt;
  return *v == 0.0 ? 0.0 : (100.0 * *s) / *v;
}

Expected<WilliamsR, IndicatorError> WilliamsR::create(std::uint64_t n) {
  auto window = CandleWindow::create(n);
  if (!window.ok()) return unexpected(window.error());
  return WilliamsR(std::move(window).value());
}

std::optional<double> WilliamsR::update_candle(const Candle& c) {
  window_.push(c);
  if (!window_.full()) return std::nullopt;
  const auto [hh, ll] = window_.extremes();
  if (hh == ll) return -50.0;
  return (-100.0 * (hh - c.close)) / (hh - ll);
}

}  // namespace vsci
