// LogReturnStream: the log return of each accepted close against the previous
// accepted one, for the kinds built on log returns (the volatility estimators,
// RegimeLabel). A close that is not finite and strictly positive is refused
// like a NaN: no value, state unchanged. Single-threaded use.
#pragma once

#include <cmath>
#include <optional>

namespace vsci {

class LogReturnStream {
 public:
  // No value on the first accepted close or for a refused one.
  std::optional<double> next(double x) {
    if (!(x > 0.0) || !std::isfinite(x)) return std::nullopt;
    if (!has_previous_) {
      previous_ = x;
      has_previous_ = true;
      return std::nullopt;
    }
    const double r = std::log(x / previous_);
    previous_ = x;
    return r;
  }

 private:
  double previous_ = 0.0;
  bool has_previous_ = false;
};

}  // namespace vsci
