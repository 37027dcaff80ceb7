// IndicatorError: the indicator library's one error type. Variants with a detail
// carry a static text fixed where the error is built; only the rendered text
// (to_string / append_to) leaves the library. Plain value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vsci {

class IndicatorError {
 public:
  // The eleven variants are the library's whole error vocabulary: callers are
  // written against this set, and each variant's text is fixed with it. No
  // kind raises NonFiniteInput, InvalidCandle or InvalidTick today (a
  // close-fed kind skips a non-finite close and a candle-fed kind a candle
  // candle_fault refuses, giving no value instead of an error; no kind checks
  // a tick). They are kept, texts included, so that a kind that comes to
  // refuse such an input does so in the words already fixed for it, and the
  // vocabulary does not follow what the kinds of the day happen to check:
  // dropping them as unused was undone for that reason.
  enum class Kind : unsigned char {
    PeriodZero,
    InvalidPeriod,
    NonFiniteInput,
    InvalidCandle,
    InvalidTick,
    NonPositiveMultiplier,
    InvalidOrderBook,
    InvalidTrade,
    InvalidDerivativesTick,
    InvalidCrossSection,
    InvalidParameter,
  };

  static constexpr IndicatorError period_zero() { return {Kind::PeriodZero, {}}; }
  static constexpr IndicatorError invalid_period(std::string_view detail) { return {Kind::InvalidPeriod, detail}; }
  static constexpr IndicatorError non_finite_input() { return {Kind::NonFiniteInput, {}}; }
  static constexpr IndicatorError invalid_candle(std::string_view detail) { return {Kind::InvalidCandle, detail}; }
  static constexpr IndicatorError invalid_tick(std::string_view detail) { return {Kind::InvalidTick, detail}; }
  static constexpr IndicatorError non_positive_multiplier() { return {Kind::NonPositiveMultiplier, {}}; }
  static constexpr IndicatorError invalid_order_book(std::string_view detail) {
    return {Kind::InvalidOrderBook, detail};
  }
  static constexpr IndicatorError invalid_trade(std::string_view detail) { return {Kind::InvalidTrade, detail}; }
  static constexpr IndicatorError invalid_derivatives_tick(std::string_view detail) {
    return {Kind::InvalidDerivativesTick, detail};
  }
  static constexpr IndicatorError invalid_cross_section(std::string_view detail) {
    return {Kind::InvalidCrossSection, detail};
  }
  static constexpr IndicatorError invalid_parameter(std::string_view detail) {
    return {Kind::InvalidParameter, detail};
  }
  // The standard refusal of a count above MAX_PERIOD.
  static constexpr IndicatorError period_too_large() {
    return invalid_period("period exceeds the maximum supported window length (see MAX_PERIOD)");
  }

  constexpr IndicatorError() = default;

  // Appends the text form to out.
  void append_to(std::string& out) const;
  std::string to_string() const;

 private:
  constexpr IndicatorError(Kind k, std::string_view d) : kind_(k), detail_(d) {}

  Kind kind_ = Kind::PeriodZero;
  std::string_view detail_;
};

// The largest window length a checking constructor accepts (2^24).
inline constexpr std::uint64_t MAX_PERIOD = 16777216;

}  // namespace vsci
