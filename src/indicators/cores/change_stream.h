// ChangeStream: the change x - previous of each accepted input against the
// previous accepted one, the first step of the kinds built on bar-to-bar
// moves (RSI, CMO, RSX, TSI, ...). A non-finite input is refused: no value,
// state unchanged. Single-threaded use.
#pragma once

#include <cmath>
#include <optional>

namespace vsci {

class ChangeStream {
 public:
  // No value on the first accepted input or for a refused one. The change
  // itself may overflow to an infinity; callers that care check it.
  std::optional<double> next(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    if (!has_previous_) {
      previous_ = x;
      has_previous_ = true;
      return std::nullopt;
    }
    const double d = x - previous_;
    previous_ = x;
    return d;
  }

 private:
  double previous_ = 0.0;
  bool has_previous_ = false;
};

}  // namespace vsci
