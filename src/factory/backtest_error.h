// BacktestError: the engine's error, shared with the indicator factory. Only its
// text form ever reaches a user. Plain value; safe to move between threads.
#pragma once

#include <string>

namespace vsci {

class BacktestError {
 public:
  enum class Kind : unsigned char {
    InvalidSpec,
    UnknownIndicator,
    InvalidParameters,
    UndeclaredIndicator,
    InvalidInput,
  };

  static BacktestError invalid_spec(std::string message) { return {Kind::InvalidSpec, std::move(message), {}}; }
  static BacktestError unknown_indicator(std::string name) { return {Kind::UnknownIndicator, std::move(name), {}}; }
  static BacktestError invalid_parameters(std::string kind_name, std::string message) {
    return {Kind::InvalidParameters, std::move(kind_name), std::move(message)};
  }
  static BacktestError undeclared_indicator(std::string name) {
    return {Kind::UndeclaredIndicator, std::move(name), {}};
  }
  static BacktestError invalid_input(std::string message) { return {Kind::InvalidInput, std::move(message), {}}; }

  BacktestError() = default;

  std::string to_string() const;

 private:
  BacktestError(Kind k, std::string subject, std::string detail)
      : kind_(k), subject_(std::move(subject)), detail_(std::move(detail)) {}

  Kind kind_ = Kind::InvalidSpec;
  // The text every variant carries: the message, the unknown name, the
  // undeclared name, or for InvalidParameters the kind's name.
  std::string subject_;
  // InvalidParameters' message; empty for the other variants.
  std::string detail_;
};

}  // namespace vsci
