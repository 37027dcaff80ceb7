// The regression channels refit their window from scratch every bar rather
// than keep running sums: a fit from the window alone cannot drift, and the
// residual sum needs a pass over the window anyway. The volume-weighted bands
// measure offsets from the first bar's price so the squared sums stay small
// over a whole run.
#include "indicators/deviation_bands.h"

#include <cmath>

#include "indicators/cores/quantile.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

Expected<BollingerBands, IndicatorError> BollingerBands::create(std::uint64_t period, double k) {
  auto core = positive_band_core(period, k);
  if (!core.ok()) return unexpected(core.error());
  return BollingerBands(std::move(core).value());
}

std::optional<double> BollingerBands::update_value(double x) {
  const auto b = core_.update_value(x);
  if (!b) return std::nullopt;
  outputs_.set({b->upper, b->middle, b->lower, b->deviation});
  return b->upper;
}

Expected<DoubleBollinger, IndicatorError> DoubleBollinger::create(std::uint64_t period, double k_inner,
                                                                  double k_outer) {
  if (check_multiplier(k_inner) || check_multiplier(k_outer)) {
    return unexpected(IndicatorError::non_positive_multiplier());
  }
  if (!(k_outer > k_inner)) {
    return unexpected(IndicatorError::invalid_period("double bollinger requires k_outer > k_inner"));
  }
  auto core = BollingerCore::create(period, k_outer);
  if (!core.ok()) return unexpected(core.error());
  return DoubleBollinger(std::move(core).value(), k_inner);
}

std::optional<double> DoubleBollinger::update_value(double x) {
  const auto b = core_.update_value(x);
  if (!b) return std::nullopt;
  const double m = b->middle;
  const double inner = k_inner_ * b->deviation;
  outputs_.set({b->upper, m + inner, m, m - inner, b->lower});
  return b->upper;
}

Expected<RegressionBands, IndicatorError> RegressionBands::create_with(std::uint64_t period, double k,
                                                                       std::uint64_t minimum,
                                                                       std::string_view too_short,
                                                                       double divisor_offset) {
  if (auto e = check_min_period(period, minimum, too_short)) return unexpected(*e);
  if (auto e = check_multiplier(k)) return unexpected(*e);
  return RegressionBands(period, k, static_cast<double>(period) - divisor_offset);
}

Expected<RegressionBands, IndicatorError> RegressionBands::create_channel(std::uint64_t period, double k) {
  return create_with(period, k, 2, "linear regression channel needs period >= 2", 0.0);
}

Expected<RegressionBands, IndicatorError> RegressionBands::create_standard_error(std::uint64_t period, double k) {
  return create_with(period, k, 3, "standard error bands need period >= 3", 2.0);
}

std::optional<double> RegressionBands::update_value(double x) {
  closes_.push(x);
  if (!closes_.full()) return std::nullopt;
  const WindowOffsets o = window_offsets(closes_, constants_);
  const double n = constants_.n;
  const double b = window_slope(o, constants_);
  const double a = (o.sum_d - constants_.sum_x * b) / n;
  double residuals = 0.0;
  double i = 0.0;
  const auto [first, second] = closes_.runs();
  for (const auto run : {first, second}) {
    for (double y : run) {
      const double r = (y - o.mean) - (a + b * i);
      residuals += r * r;
      i += 1.0;
    }
  }
  const double spread = std::sqrt(residuals / spread_divisor_);
  const double middle = (n - 1.0) * b + (o.mean + a);
  const double band = k_ * spread;
  outputs_.set({middle + band, middle, middle - band});
  return middle + band;
}

Expected<VwapStdDevBands, IndicatorError> VwapStdDevBands::create(double k) {
  if (auto e = check_multiplier(k)) return unexpected(*e);
  return VwapStdDevBands(k);
}

std::optional<double> VwapStdDevBands::update_candle(const Candle& c) {
  const double p = (c.high + c.low + c.close) / 3.0;
  const double v = c.volume;
  if (!reference_) reference_ = p;
  const double d = p - *reference_;
  sum_vd_ += v * d;
  sum_vd2_ += v * (d * d);
  sum_v_ += v;
  if (sum_v_ == 0.0) return std::nullopt;
  const double mu = sum_vd_ / sum_v_;
  const double vwap = *reference_ + mu;
  double variance = sum_vd2_ / sum_v_ - mu * mu;
  if (!(variance > 0.0)) variance = 0.0;  // negative from rounding, or NaN after an overflow
  const double s = std::sqrt(variance);
  const double band = k_ * s;
  outputs_.set({vwap + band, vwap, vwap - band, s});
  return vwap + band;
}

Expected<QuartileBands, IndicatorError> QuartileBands::create(std::uint64_t period) {
  auto window = SortedWindow::create(period);
  if (!window.ok()) return unexpected(window.error());
  return QuartileBands(std::move(window).value());
}

std::optional<double> QuartileBands::update_value(double x) {
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const auto& s = window_.sorted();
  const double upper = sorted_quantile(s, 0.75);
  outputs_.set({upper, sorted_quantile(s, 0.5), sorted_quantile(s, 0.25)});
  return upper;
}

Expected<ProjectionBands, IndicatorError> ProjectionBands::create(std::uint64_t period) {
  auto core = ProjectionCore::create(period);
  if (!core.ok()) return unexpected(core.error());
  return ProjectionBands(std::move(core).value());
}

std::optional<double> ProjectionBands::update_candle(const Candle& c) {
  const auto lines = core_.update_value(c.high, c.low);
  if (!lines) return std::nullopt;
  outputs_.set({lines->upper, lines->middle, lines->lower});
  return lines->upper;
}

}  // namespace vsci
