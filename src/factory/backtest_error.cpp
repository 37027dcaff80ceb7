// Rendering only: the variants' texts are what the user reads, byte for byte.
#include "factory/backtest_error.h"

namespace vsci {

std::string BacktestError::to_string() const {
  switch (kind_) {
    case Kind::InvalidSpec:
      return "invalid strategy spec: " + subject_;
    case Kind::UnknownIndicator:
      return "unknown indicator type: " + subject_;
    case Kind::InvalidParameters:
      return "invalid parameters for indicator " + subject_ + ": " + detail_;
    case Kind::UndeclaredIndicator:
      return "rule references undeclared indicator: " + subject_;
    case Kind::InvalidInput:
      return "invalid input data: " + subject_;
  }
  return subject_;
}

}  // namespace vsci
