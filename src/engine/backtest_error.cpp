#include "engine/backtest_error.h"

namespace vsci {

std::string BacktestError::to_string() const {
  switch (kind_) {
    case Kind::InvalidSpec:
      return "invalid strategy spec: " + first_;
    case Kind::UnknownIndicator:
      return "unknown indicator type: " + first_;
    case Kind::InvalidParameters:
      return "invalid parameters for indicator " + first_ + ": " + second_;
    case Kind::UndeclaredIndicator:
      return "rule references undeclared indicator: " + first_;
    case Kind::InvalidInput:
      return "invalid input data: " + first_;
  }
  return first_;
}

}  // namespace vsci
