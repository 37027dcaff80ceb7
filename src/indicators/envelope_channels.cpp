// Every component of a channel takes every accepted bar, even while another
// is still filling, so the channel's first value comes when the slowest one is
// ready and no component lags the others afterwards.
#include "indicators/envelope_channels.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/quantile.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

// Publishes the three lines and returns the main value.
double publish(OutputList<3>& outputs, double upper, double middle, double lower) {
  outputs.set({upper, middle, lower});
  return upper;
}

double publish_around(OutputList<3>& outputs, double middle, double band) {
  return publish(outputs, middle + band, middle, middle - band);
}

}  // namespace

Expected<MaEnvelope, IndicatorError> MaEnvelope::create(std::uint64_t period, double fraction) {
  if (auto e = check_multiplier(fraction)) return unexpected(*e);
  auto average = Sma::create(period);
  if (!average.ok()) return unexpected(average.error());
  return MaEnvelope(std::move(average).value(), fraction);
}

std::optional<double> MaEnvelope::update_value(double x) {
  const auto m = average_.update_value(x);
  if (!m) return std::nullopt;
  return publish(outputs_, *m * above_, *m, *m * below_);
}

template <class Average>
Expected<AverageAtrChannel<Average>, IndicatorError> AverageAtrChannel<Average>::create(std::uint64_t average_period,
                                                                                        std::uint64_t atr_period,
                                                                                        double k) {
  if (auto e = check_multiplier(k)) return unexpected(*e);
  auto average = Average::create(average_period);
  if (!average.ok()) return unexpected(average.error());
  auto atr = FusedWilderAtr::create(atr_period);
  if (!atr.ok()) return unexpected(atr.error());
  return AverageAtrChannel(std::move(average).value(), std::move(atr).value(), k);
}

template <class Average>
std::uint64_t AverageAtrChannel<Average>::warmup() const {
  return std::max<std::uint64_t>(average_.warmup(), atr_.period());
}

template <class Average>
std::optional<double> AverageAtrChannel<Average>::update_candle(const Candle& c) {
  const auto m = average_.update_value(c.close);
  const auto a = atr_.update_candle(c);
  if (!m || !a) return std::nullopt;
  return publish_around(outputs_, *m, k_ * *a);
}

template class AverageAtrChannel<Sma>;
template class AverageAtrChannel<Ema>;

Expected<CloseAtrBands, IndicatorError> CloseAtrBands::create(std::uint64_t atr_period, double k) {
  if (auto e = check_multiplier(k)) return unexpected(*e);
  auto atr = FusedWilderAtr::create(atr_period);
  if (!atr.ok()) return unexpected(atr.error());
  return CloseAtrBands(std::move(atr).value(), k);
}

std::optional<double> CloseAtrBands::update_candle(const Candle& c) {
  const auto a = atr_.update_candle(c);
  if (!a) return std::nullopt;
  return publish_around(outputs_, c.close, k_ * *a);
}

Expected<AccelerationBands, IndicatorError> AccelerationBands::create(std::uint64_t period, double factor) {
  if (auto e = check_multiplier(factor)) return unexpected(*e);
  auto upper = Sma::create(period);
  if (!upper.ok()) return unexpected(upper.error());
  auto middle = Sma::create(period).value();
  auto lower = Sma::create(period).value();
  return AccelerationBands(std::move(upper).value(), std::move(middle), std::move(lower), factor);
}

std::optional<double> AccelerationBands::update_candle(const Candle& c) {
  const double sum = c.high + c.low;
  const double r = sum == 0.0 ? 0.0 : (c.high - c.low) / sum;
  const double raw_upper = c.high * std::fma(factor_, r, 1.0);
  const double raw_lower = c.low * std::fma(-factor_, r, 1.0);
  // Near a zero high + low a large factor can stretch a line past the largest
  // double: the three averages would then no longer fill together, so such a
  // bar is refused whole.
  if (!std::isfinite(raw_upper) || !std::isfinite(raw_lower)) return std::nullopt;
  const auto upper = upper_.update_value(raw_upper);
  const auto middle = middle_.update_value(c.close);
  const auto lower = lower_.update_value(raw_lower);
  if (!upper || !middle || !lower) return std::nullopt;
  return publish(outputs_, *upper, *middle, *lower);
}

Expected<HurstChannel, IndicatorError> HurstChannel::create(std::uint64_t period, double k) {
  if (auto e = check_multiplier(k)) return unexpected(*e);
  auto window = CandleWindow::create(period);
  if (!window.ok()) return unexpected(window.error());
  auto average = Sma::create(period).value();
  return HurstChannel(std::move(window).value(), std::move(average), k);
}

std::optional<double> HurstChannel::update_candle(const Candle& c) {
  window_.push(c);
  const auto m = average_.update_value(c.close);
  if (!m) return std::nullopt;
  const auto [hh, ll] = window_.extremes();
  return publish_around(outputs_, *m, k_ * (hh - ll));
}

BomarBands::BomarBands(SortedWindow window, double coverage)
    : window_(std::move(window)), run_(window_.period()), coverage_(coverage) {
  reserve_initial(deviations_, window_.period());
}

Expected<BomarBands, IndicatorError> BomarBands::create(std::uint64_t period, double coverage) {
  auto window = SortedWindow::create(period);
  if (!window.ok()) return unexpected(window.error());
  if (!(std::isfinite(coverage) && coverage > 0.0 && coverage <= 1.0)) {
    return unexpected(IndicatorError::invalid_parameter("bomar bands coverage must be a finite value in (0.0, 1.0]"));
  }
  return BomarBands(std::move(window).value(), coverage);
}

std::optional<double> BomarBands::update_value(double x) {
  window_.push(x);
  run_.push(x);
  if (!window_.full()) return std::nullopt;
  // A window of one repeated close has it as its exact mean.
  const double m = run_.whole() ? x : sum_oldest_first(window_.arrivals()) / static_cast<double>(window_.period());
  const double scale = std::fabs(m);
  double q = 0.0;  // a zero mean makes every deviation 0
  if (m != 0.0) {
    // Dividing by |m| keeps the merged order, so the list stays ascending.
    sorted_abs_deviations(window_.sorted(), m, deviations_);
    for (double& d : deviations_) d /= scale;
    q = sorted_quantile(deviations_, coverage_);
  }
  const double band = scale * q;
  return publish_around(outputs_, m, band);
}

}  // namespace vsci
