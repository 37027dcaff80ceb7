// Candle volatility measures (VolatilityRatio, YangZhangVolatility), the two
// stops driven by a Wilder average true range (VoltyStop, YoyoExit) and the
// calendar kind TurnOfMonth. Single-value kinds fed validated candles; plain
// values, one thread at a time.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/atr_offset.h"
#include "indicators/cores/equal_run.h"
#include "indicators/cores/shifted_sum_window.h"
#include "indicators/cores/wilder.h"
#include "indicators/cores/window_sum.h"
#include "indicators/indicator.h"

namespace vsci {

// The bar's true range over its own exponential average before the bar.
class VolatilityRatio {
 public:
  static Expected<VolatilityRatio, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return period_ + 2; }

 private:
  explicit VolatilityRatio(std::uint64_t n) : period_(n), alpha_(2.0 / (static_cast<double>(n) + 1.0)) {}
  std::uint64_t period_;
  double alpha_;
  std::optional<double> prev_close_;
  double seed_sum_ = 0.0;
  std::uint64_t seed_count_ = 0;
  double average_ = 0.0;
};

// Annualised Yang-Zhang volatility in percent: overnight and open-to-close
// variances with the Rogers-Satchell term, over the last n bars.
class YangZhangVolatility {
 public:
  static Expected<YangZhangVolatility, IndicatorError> create(std::uint64_t n, std::uint64_t periods_per_year);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return overnight_.length() + 1; }

 private:
  YangZhangVolatility(std::size_t n, std::uint64_t periods_per_year);
  double variance(const ShiftedSumWindow& w) const;

  double n_;
  double k_;
  double sqrt_periods_;
  std::optional<double> prev_close_;
  ShiftedSumWindow overnight_;
  ShiftedSumWindow open_close_;
  // The Rogers-Satchell terms, re-summed from +0.0 on the pushes the
  // variances re-centre on; a window of zeros sums to exactly 0.
  WindowSum rs_;
  // A window of equal Rogers-Satchell terms has exactly that term as mean.
  EqualRun rs_run_;
};

// A stop at the offset from the extreme close of the current swing, flipping
// sides when the close crosses it.
class VoltyStop {
 public:
  static Expected<VoltyStop, IndicatorError> create(std::uint64_t n, double m);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return offset_.period(); }

 private:
  explicit VoltyStop(AtrOffset offset) : offset_(std::move(offset)) {}
  AtrOffset offset_;
  std::optional<double> extreme_;
  bool up_ = true;
};

// A long exit stop at the offset below the close that only ever rises.
class YoyoExit {
 public:
  static Expected<YoyoExit, IndicatorError> create(std::uint64_t n, double m);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return offset_.period(); }

 private:
  explicit YoyoExit(AtrOffset offset) : offset_(std::move(offset)) {}
  AtrOffset offset_;
  std::optional<double> stop_;
};

// The mean daily return of the local days at the turn of a month: the first
// `start_days` and the last `end_days` days of each month.
class TurnOfMonth {
 public:
  static Expected<TurnOfMonth, IndicatorError> create(std::uint32_t start_days, std::uint32_t end_days,
                                                      std::int32_t offset_minutes);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2; }

 private:
  TurnOfMonth(std::uint32_t start_days, std::uint32_t end_days, std::int32_t offset_minutes)
      : start_days_(start_days), end_days_(end_days), offset_minutes_(offset_minutes) {}
  bool at_turn(std::int64_t day) const;

  std::uint32_t start_days_;
  std::uint32_t end_days_;
  std::int32_t offset_minutes_;
  std::optional<std::int64_t> day_;  // the current local day, in days since 1970-01-01
  double day_close_ = 0.0;           // the last close of the current day
  std::optional<double> prev_day_close_;
  double sum_ = 0.0;
  std::uint64_t count_ = 0;
};

}  // namespace vsci
