// Every regression kind reads the same least-squares window core and differs
// only in which reading of the fitted line it reports.
#include "indicators/regression.h"

#include <cmath>

#include "indicators/cores/window_checks.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

// (y − reference) in percent of y. A zero y is not divided by: the last value
// is repeated (none before the first).
std::optional<double> percent_from(double y, double reference, std::optional<double>& last) {
  if (y == 0.0) return last;
  last = (y - reference) * 100.0 / y;
  return last;
}

}  // namespace

std::optional<double> SlopeReading::read(const RegressionWindow&, const RegressionFit& fit, double) {
  return fit.slope;
}

std::optional<double> AngleReading::read(const RegressionWindow&, const RegressionFit& fit, double) {
  return std::atan(fit.slope) * kDegreesPerRadian;
}

std::optional<double> InterceptReading::read(const RegressionWindow&, const RegressionFit& fit, double) {
  return fit.intercept;
}

std::optional<double> ForecastReading::read(const RegressionWindow& w, const RegressionFit& fit, double) {
  return line_value_at(fit, static_cast<double>(w.period()));
}

std::optional<double> ForecastPercentReading::read(const RegressionWindow& w, const RegressionFit& fit, double y) {
  return percent_from(y, line_value_at(fit, static_cast<double>(w.period())), last);
}

std::optional<double> RSquaredReading::read(const RegressionWindow& w, const RegressionFit& fit, double) {
  if (fit.flat) return 1.0;
  const double nf = static_cast<double>(w.period());
  const double mean = w.sum_d() / nf;
  double total = w.sum_d2() - mean * (mean * nf);
  if (total < 0.0) total = 0.0;
  if (total <= 0.0) return 1.0;
  const double r2 = ((w.fit_denominator() / nf) * (fit.slope * fit.slope)) / total;
  if (r2 < 0.0) return 0.0;
  if (r2 > 1.0) return 1.0;
  return r2;
}

Expected<Cfo, IndicatorError> Cfo::create(std::uint64_t n) {
  // Unlike the line itself, a zero length is reported as such, and the
  // MAX_PERIOD bound comes before the minimum length.
  if (auto e = check_period(n)) return unexpected(*e);
  auto line = LinearRegression::create(n);
  if (!line.ok()) return unexpected(line.error());
  return Cfo(std::move(line).value());
}

std::optional<double> Cfo::update_value(double x) {
  const auto line = line_.update_value(x);
  if (!line) return std::nullopt;
  return percent_from(x, *line, last_);
}

Expected<StandardError, IndicatorError> StandardError::create(std::uint64_t n) {
  if (n < 3) return unexpected(IndicatorError::invalid_period("standard error needs period >= 3"));
  if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return StandardError(static_cast<std::size_t>(n));
}

std::optional<double> StandardError::update_value(double x) {
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  return std::sqrt(line_squared_residuals(window_) / (static_cast<double>(window_.size()) - 2.0));
}

}  // namespace vsci
