// The regression kinds: readings of a least-squares line fitted to the last n
// closes (slope, angle, intercept, one-bar forecast, the close's distance from
// the line, goodness of fit) and the fit's standard error. Each kind is fed
// finite closes only (see KindIndicator). Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "indicators/cores/regression_window.h"
#include "indicators/cores/ring.h"
#include "util/expected.h"

namespace vsci {

// A kind that reports one reading of the line fitted to each full window. The
// Reading gives the detail for a length below 2 and reads the fit; it may keep
// state of its own.
template <class Reading>
class RegressionReading {
 public:
  static Expected<RegressionReading, IndicatorError> create(std::uint64_t n) {
    auto window = RegressionWindow::create(n, Reading::kTooShort);
    if (!window.ok()) return unexpected(window.error());
    return RegressionReading(std::move(window).value());
  }

  std::optional<double> update_value(double x) {
    const auto fit = window_.update(x);
    if (!fit) return std::nullopt;
    return reading_.read(window_, *fit, x);
  }

  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit RegressionReading(RegressionWindow w) : window_(std::move(w)) {}
  RegressionWindow window_;
  Reading reading_;
};

struct SlopeReading {
  static constexpr std::string_view kTooShort = "linear regression slope needs period >= 2";
  std::optional<double> read(const RegressionWindow& w, const RegressionFit& fit, double y);
};

// The slope's angle in degrees.
struct AngleReading {
  static constexpr std::string_view kTooShort = "linear regression slope needs period >= 2";
  std::optional<double> read(const RegressionWindow& w, const RegressionFit& fit, double y);
};

// The line's value at the oldest close of the window.
struct InterceptReading {
  static constexpr std::string_view kTooShort = "linear regression intercept needs period >= 2";
  std::optional<double> read(const RegressionWindow& w, const RegressionFit& fit, double y);
};

// Time series forecast: the line one bar after the newest close.
struct ForecastReading {
  static constexpr std::string_view kTooShort = "time series forecast needs period >= 2";
  std::optional<double> read(const RegressionWindow& w, const RegressionFit& fit, double y);
};

// The close's distance from this bar's one-bar forecast, in percent of the
// close. A zero close repeats the last value.
struct ForecastPercentReading {
  static constexpr std::string_view kTooShort = "TSF oscillator needs period >= 2";
  std::optional<double> read(const RegressionWindow& w, const RegressionFit& fit, double y);
  std::optional<double> last;
};

// Coefficient of determination of the fit, in [0, 1]; 1 for a flat window.
struct RSquaredReading {
  static constexpr std::string_view kTooShort = "R² needs period >= 2";
  std::optional<double> read(const RegressionWindow& w, const RegressionFit& fit, double y);
};

using LinRegSlope = RegressionReading<SlopeReading>;
using LinRegAngle = RegressionReading<AngleReading>;
using LinRegIntercept = RegressionReading<InterceptReading>;
using Tsf = RegressionReading<ForecastReading>;
using TsfOscillator = RegressionReading<ForecastPercentReading>;
using RSquared = RegressionReading<RSquaredReading>;

// Chande's forecast oscillator: the close's distance from the line at the
// newest close, in percent of the close. A zero close repeats the last value.
class Cfo {
 public:
  static Expected<Cfo, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return line_.warmup(); }

 private:
  explicit Cfo(LinearRegression line) : line_(std::move(line)) {}
  LinearRegression line_;
  std::optional<double> last_;
};

// Standard error of the fit's residuals (n - 2 degrees of freedom), refitted
// from the window on every close.
class StandardError {
 public:
  static Expected<StandardError, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit StandardError(std::size_t n) : window_(n) {}
  Ring<double> window_;
};

}  // namespace vsci
