// Candle kinds that measure bar ranges, their spread over a window and the
// gaps between days: MidPrice, AverageDailyRange, OvernightGap,
// SeasonalZScore, ChaikinVolatility, MassIndex and the three range-based
// volatility estimators (Garman-Klass, Parkinson, Rogers-Satchell). The
// calendar kinds read the candle's time through cores/civil_day.h. Fed only
// validated candles (see KindIndicator); single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "indicators/cores/candle_window.h"
#include "indicators/cores/mean_seeded_smoother.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/running_sum.h"
#include "indicators/cores/window_sum.h"
#include "indicators/indicator.h"
#include "util/expected.h"

namespace vsci {

// The midpoint of the window's highest high and lowest low.
class MidPrice {
 public:
  static Expected<MidPrice, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return candles_.period(); }

 private:
  explicit MidPrice(CandleWindow candles) : candles_(std::move(candles)) {}
  CandleWindow candles_;
};

// The mean range of the last 1 to n completed local days; the open day never
// counts.
class AverageDailyRange {
 public:
  static Expected<AverageDailyRange, IndicatorError> create(std::uint64_t n, std::int32_t offset_minutes);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return ranges_.capacity(); }

 private:
  AverageDailyRange(std::size_t n, std::int32_t offset) : ranges_(n), offset_(offset) {}
  Ring<double> ranges_;
  RunningSum sum_;
  std::optional<std::int64_t> day_;
  double day_high_ = 0.0;
  double day_low_ = 0.0;
  std::int32_t offset_;
};

// The day's open against the previous day's last close, held for the day.
class OvernightGap {
 public:
  static Expected<OvernightGap, IndicatorError> create(std::int32_t offset_minutes);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2; }

 private:
  explicit OvernightGap(std::int32_t offset) : offset_(offset) {}
  std::int32_t offset_;
  std::optional<std::int64_t> day_;
  std::optional<double> prev_close_;
  std::optional<double> gap_;
};

// The bar's return as a z-score among the earlier returns of its local hour.
class SeasonalZScore {
 public:
  static Expected<SeasonalZScore, IndicatorError> create(std::int32_t offset_minutes);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2; }

 private:
  struct HourStats {
    std::uint64_t count = 0;
    double mean = 0.0;
    double m2 = 0.0;
  };
  explicit SeasonalZScore(std::int32_t offset) : offset_(offset) {}
  std::int32_t offset_;
  std::optional<double> prev_close_;
  std::array<HourStats, 24> hours_{};
};

// The percent change of the smoothed range over r bars.
class ChaikinVolatility {
 public:
  static Expected<ChaikinVolatility, IndicatorError> create(std::uint64_t e, std::uint64_t r);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return warmup_; }

 private:
  ChaikinVolatility(std::uint64_t e, std::uint64_t r) : average_(e), averages_(r + 1), warmup_(e + r) {}
  MeanSeededSmoother average_;
  Ring<double> averages_;
  std::uint64_t warmup_;
};

// The sum of the last m ratios of the smoothed range to its own smoothing.
class MassIndex {
 public:
  static Expected<MassIndex, IndicatorError> create(std::uint64_t e, std::uint64_t m);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return warmup_; }

 private:
  MassIndex(std::uint64_t e, std::uint64_t m) : first_(e), second_(e), ratios_(m, false), warmup_(2 * e + m - 2) {}
  MeanSeededSmoother first_;
  MeanSeededSmoother second_;
  WindowSum ratios_;
  std::uint64_t warmup_;
};

// GarmanKlassVolatility, ParkinsonVolatility and RogersSatchellVolatility:
// 100 * sqrt(A) * sqrt(V) over a window of per-bar log-range terms.
class RangeVolatility {
 public:
  enum class Estimator : unsigned char { GarmanKlass, Parkinson, RogersSatchell };

  static Expected<RangeVolatility, IndicatorError> create(std::uint64_t n, std::uint64_t a, Estimator estimator);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return terms_.capacity(); }

 private:
  RangeVolatility(std::size_t n, std::uint64_t a, Estimator estimator);
  WindowSum terms_;
  double scale_;  // 100 * sqrt(A)
  Estimator estimator_;
};

}  // namespace vsci
