// Momentum and rate of change of the close: the lag family built on the shared
// Mom record (momentum, the four rate-of-change forms, log return), the
// weighted sum of two rates, the disparity from an Sma, and the detrended
// price oscillator. Each kind takes finite closes through update_value and is
// used by one thread at a time.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/mom.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/sma.h"
#include "indicators/cores/wma.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

// The rate forms of the lag family; each gives 0 against an earlier close of 0.
struct RocForm {
  static double of(double x, double o) { return o == 0.0 ? 0.0 : ((x - o) / o) * 100.0; }
};
struct RocpForm {
  static double of(double x, double o) { return o == 0.0 ? 0.0 : (x - o) / o; }
};
struct RocrForm {
  static double of(double x, double o) { return o == 0.0 ? 0.0 : x / o; }
};
struct Rocr100Form {
  static double of(double x, double o) { return o == 0.0 ? 0.0 : (x / o) * 100.0; }
};

// A lag-family kind giving Form::of(close, close n bars back).
template <class Form>
class LagRate {
 public:
  static Expected<LagRate, IndicatorError> create(std::uint64_t n) {
    auto lag = Mom::create(n);
    if (!lag.ok()) return unexpected(lag.error());
    return LagRate(std::move(lag).value());
  }
  std::optional<double> update_value(double x) {
    const auto o = lag_.push(x);
    if (!o) return std::nullopt;
    return Form::of(x, *o);
  }
  std::uint64_t warmup() const { return lag_.warmup(); }

 private:
  explicit LagRate(Mom lag) : lag_(std::move(lag)) {}
  Mom lag_;
};

using Roc = LagRate<RocForm>;
using Rocp = LagRate<RocpForm>;
using Rocr = LagRate<RocrForm>;
using Rocr100 = LagRate<Rocr100Form>;

// ln(close / close n accepted bars back); a close of 0 or below is refused like
// a non-finite one and never enters the window.
class LogReturn {
 public:
  static Expected<LogReturn, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return lag_.warmup(); }

 private:
  explicit LogReturn(Mom lag) : lag_(std::move(lag)) {}
  Mom lag_;
};

// A Wma of w over the sum of the p-bar and q-bar percent rates of change.
class WeightedRocSum {
 public:
  static Expected<WeightedRocSum, IndicatorError> create(std::uint64_t p, std::uint64_t q, std::uint64_t w);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const;

 private:
  WeightedRocSum(Mom first, Mom second, Wma wma)
      : first_(std::move(first)), second_(std::move(second)), wma_(std::move(wma)) {}
  Mom first_, second_;
  Wma wma_;
};

// Percent distance of the close from its n-bar Sma.
class DisparityIndex {
 public:
  static Expected<DisparityIndex, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return sma_.warmup(); }

 private:
  explicit DisparityIndex(Sma sma) : sma_(std::move(sma)) {}
  Sma sma_;
};

// Detrended price oscillator: the close k = n / 2 + 1 bars back minus the mean
// of the newest n closes, over a window of L = max(n / 2 + 2, n) closes.
class Dpo {
 public:
  static Expected<Dpo, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_length_; }

 private:
  explicit Dpo(std::size_t n);
  std::size_t n_;
  std::size_t shift_;
  std::size_t window_length_;
  // One slot beyond L: the close leaving the newest n is read after the append.
  Ring<double> ring_;
  double sum_ = 0.0;
  std::size_t since_resum_ = 0;
};

}  // namespace vsci
