// The regression kinds: readings of a least-squares line fitted to the last n
// closes (slope, angle, intercept, one-bar forecast, the close's distance from
// the line, goodness of fit) and the fit's standard error. Each kind is fed
// finite closes only (see CloseIndicator). Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/regression_window.h"
#include "indicators/cores/ring.h"
#include "util/expected.h"

namespace vsci {

class LinRegSlope {
 public:
  static Expected<LinRegSlope, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit LinRegSlope(RegressionWindow w) : window_(std::move(w)) {}
  RegressionWindow window_;
};

// The slope's angle in degrees.
class LinRegAngle {
 public:
  static Expected<LinRegAngle, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit LinRegAngle(RegressionWindow w) : window_(std::move(w)) {}
  RegressionWindow window_;
};

// The line's value at the oldest close of the window.
class LinRegIntercept {
 public:
  static Expected<LinRegIntercept, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit LinRegIntercept(RegressionWindow w) : window_(std::move(w)) {}
  RegressionWindow window_;
};

// Time series forecast: the line one bar after the newest close.
class Tsf {
 public:
  static Expected<Tsf, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit Tsf(RegressionWindow w) : window_(std::move(w)) {}
  RegressionWindow window_;
};

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

// The close's distance from the one-bar forecast made on this bar's window, in
// percent of the close. A zero close repeats the last value.
class TsfOscillator {
 public:
  static Expected<TsfOscillator, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit TsfOscillator(RegressionWindow w) : window_(std::move(w)) {}
  RegressionWindow window_;
  std::optional<double> last_;
};

// Coefficient of determination of the fit, in [0, 1]; 1 for a flat window.
class RSquared {
 public:
  static Expected<RSquared, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit RSquared(RegressionWindow w) : window_(std::move(w)) {}
  RegressionWindow window_;
};

// Standard error of the fit's residuals (n - 2 degrees of freedom), refitted
// from the window on every close.
class StandardError {
 public:
  static Expected<StandardError, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return n_; }

 private:
  explicit StandardError(std::uint64_t n);
  Ring<double> window_;
  std::uint64_t n_;
  double x_mean_;
  double sxx_;
};

}  // namespace vsci
