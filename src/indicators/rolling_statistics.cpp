#include "indicators/rolling_statistics.h"

#include "indicators/cores/window_checks.h"

namespace vsci {

Expected<StdDev, IndicatorError> StdDev::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return StdDev(static_cast<std::size_t>(period));
}

std::optional<double> StdDev::update_value(double x) {
  if (!std::isfinite(x) || !moments_.push(x)) return std::nullopt;
  return std::sqrt(moments_.variance());
}

Expected<Variance, IndicatorError> Variance::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return Variance(static_cast<std::size_t>(period));
}

std::optional<double> Variance::update_value(double x) {
  if (!std::isfinite(x) || !moments_.push(x)) return std::nullopt;
  return moments_.variance();
}

Expected<ZScore, IndicatorError> ZScore::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return ZScore(static_cast<std::size_t>(period));
}

std::optional<double> ZScore::update_value(double x) {
  if (!std::isfinite(x) || !moments_.push(x)) return std::nullopt;
  const double var = moments_.variance();
  if (var == 0.0) return 0.0;
  return (x - (moments_.shift() + moments_.m1())) / std::sqrt(var);
}

Expected<CoefficientOfVariation, IndicatorError> CoefficientOfVariation::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return CoefficientOfVariation(static_cast<std::size_t>(period));
}

std::optional<double> CoefficientOfVariation::update_value(double x) {
  if (!std::isfinite(x) || !moments_.push(x)) return std::nullopt;
  const double mean = moments_.shift() + moments_.m1();
  if (mean == 0.0) return 0.0;
  return std::sqrt(moments_.variance()) / mean;
}

}  // namespace vsci
