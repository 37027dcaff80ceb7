// Candle kinds of the true range and of directional movement: the average
// true range and what is read from it (Atr, Natr, AtrTrailingStop), the
// directional indices and moves (Dx, PlusDi, MinusDi, PlusDm, MinusDm), Adxr
// and ChoppinessIndex. Fed only validated candles (see KindIndicator);
// single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/adx_core.h"
#include "indicators/cores/candle_window.h"
#include "indicators/cores/directional_core.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/window_sum.h"
#include "indicators/cores/wilder.h"
#include "indicators/indicator.h"
#include "util/expected.h"

namespace vsci {

// Atr, the Wilder average of the true range, and Natr, that average in
// percent of the close (0 on a zero close).
class AverageTrueRange {
 public:
  static Expected<AverageTrueRange, IndicatorError> create(std::uint64_t n, bool percent_of_close);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return atr_.period(); }

 private:
  AverageTrueRange(WilderAtr atr, bool percent) : atr_(std::move(atr)), percent_(percent) {}
  WilderAtr atr_;
  bool percent_;
};

// A stop k average true ranges from the close that only tightens while the
// close stays on its side, and jumps to the other side when crossed.
class AtrTrailingStop {
 public:
  static Expected<AtrTrailingStop, IndicatorError> create(std::uint64_t n, double k);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return atr_.period(); }

 private:
  AtrTrailingStop(WilderAtr atr, double k) : atr_(std::move(atr)), k_(k) {}
  WilderAtr atr_;
  double k_;
  std::optional<double> prev_close_;
  double prev_stop_ = 0.0;
};

// Dx, PlusDi, MinusDi, PlusDm and MinusDm: one reading of the smoothed moves.
class DirectionalIndex {
 public:
  enum class Measure : unsigned char { Dx, PlusDi, MinusDi, PlusDm, MinusDm };

  static Expected<DirectionalIndex, IndicatorError> create(std::uint64_t n, Measure measure);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return movement_.period() + 1; }

 private:
  DirectionalIndex(std::uint64_t n, Measure measure) : movement_(n), measure_(measure) {}
  DirectionalMovement movement_;
  Measure measure_;
};

// The midpoint of today's ADX and the ADX n - 1 values earlier.
class Adxr {
 public:
  static Expected<Adxr, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 3 * adx_.period() - 1; }

 private:
  explicit Adxr(AdxCore adx) : adx_(std::move(adx)), history_(adx_.period()) {}
  AdxCore adx_;
  Ring<double> history_;
};

// 100 * log10(sum of true ranges / window range) / log10(n); 100 when the
// window has no range.
class ChoppinessIndex {
 public:
  static Expected<ChoppinessIndex, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return candles_.period(); }

 private:
  explicit ChoppinessIndex(CandleWindow candles);
  CandleWindow candles_;
  WindowSum ranges_;
  double log_n_;
  std::optional<double> prev_close_;
};

}  // namespace vsci
