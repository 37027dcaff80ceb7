// The channels rescan or re-rank their window every bar instead of keeping
// running extremes: the windows are short and a scan cannot drift or go stale.
#include "indicators/price_channels.h"

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/quantile.h"
#include "indicators/cores/window_checks.h"
#include "market/price_checks.h"

namespace vsci {

Expected<Donchian, IndicatorError> Donchian::create(std::uint64_t period) {
  auto window = CandleWindow::create(period);
  if (!window.ok()) return unexpected(window.error());
  return Donchian(std::move(window).value());
}

std::optional<double> Donchian::update_candle(const Candle& c) {
  window_.push(c);
  if (!window_.full()) return std::nullopt;
  const auto [upper, lower] = window_.extremes();
  outputs_.set({upper, safe_midpoint(upper, lower), lower});
  return upper;
}

MedianChannel::MedianChannel(SortedWindow window, double k) : window_(std::move(window)), k_(k) {
  reserve_initial(deviations_, window_.period());
}

Expected<MedianChannel, IndicatorError> MedianChannel::create(std::uint64_t period, double k) {
  auto window = SortedWindow::create(period);
  if (!window.ok()) return unexpected(window.error());
  if (auto e = check_multiplier(k)) return unexpected(*e);
  return MedianChannel(std::move(window).value(), k);
}

std::optional<double> MedianChannel::update_value(double x) {
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  // The interpolated median (the mean of the middle two as s_j + 0.5 * gap),
  // not the midpoint of the two.
  const double m = sorted_quantile(window_.sorted(), 0.5);
  sorted_abs_deviations(window_.sorted(), m, deviations_);
  const double band = k_ * sorted_quantile(deviations_, 0.5);
  outputs_.set({m + band, m, m - band});
  return m + band;
}

Expected<FractalChaosBands, IndicatorError> FractalChaosBands::create(std::uint64_t k) {
  // The window 2k + 1 is checked through k alone: k <= MAX_PERIOD keeps it exact.
  if (auto e = check_period(k)) return unexpected(*e);
  return FractalChaosBands(k);
}

std::optional<double> FractalChaosBands::update_candle(const Candle& c) {
  window_.push(c.high, c.low);
  if (!window_.full()) return std::nullopt;
  // Unlike the pivot kinds, a bar standing out both ways sets both bands.
  const FractalWindow::Standing s = window_.standing();
  if (s.above) upper_ = window_.centre_high();
  if (s.below) lower_ = window_.centre_low();
  if (!upper_ || !lower_) return std::nullopt;
  outputs_.set({*upper_, *lower_});
  return *upper_;
}

}  // namespace vsci
