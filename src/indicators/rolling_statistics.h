// Rolling statistics of the close series: spread, position within the window,
// shape, order statistics and irregularity over the last `period` closes, all
// population statistics; the spread and shape kinds keep their running moments
// in ShiftedMoments (cores/moment_window.h). Every kind
// rejects a non-finite input itself, so any of them can be embedded directly.
// Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/bollinger_core.h"
#include "indicators/cores/growing_storage.h"
#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/moment_window.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

// Population standard deviation of the last `period` values.
class StdDev {
 public:
  static Expected<StdDev, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit StdDev(std::size_t period) : moments_(period) {}
  ShiftedMoments<2> moments_;
};

class Variance {
 public:
  static Expected<Variance, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit Variance(std::size_t period) : moments_(period) {}
  ShiftedMoments<2> moments_;
};

// Distance of the newest value from the window mean, in deviations.
class ZScore {
 public:
  static Expected<ZScore, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit ZScore(std::size_t period) : moments_(period) {}
  ShiftedMoments<2> moments_;
};

// Deviation over mean (signed, not in percent).
class CoefficientOfVariation {
 public:
  static Expected<CoefficientOfVariation, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit CoefficientOfVariation(std::size_t period) : moments_(period) {}
  ShiftedMoments<2> moments_;
};

// Population skewness (g1, no small-sample correction).
class Skewness {
 public:
  static Expected<Skewness, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit Skewness(std::size_t period) : moments_(period) {}
  ShiftedMoments<4> moments_;
};

// Population excess kurtosis (no small-sample correction).
class Kurtosis {
 public:
  static Expected<Kurtosis, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit Kurtosis(std::size_t period) : moments_(period) {}
  ShiftedMoments<4> moments_;
};

// Jarque-Bera normality statistic, recomputed from the window on each update.
class JarqueBera {
 public:
  static Expected<JarqueBera, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit JarqueBera(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

// Raw median of the absolute deviations from the window median.
class MedianAbsoluteDeviation {
 public:
  static Expected<MedianAbsoluteDeviation, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit MedianAbsoluteDeviation(SortedWindow window);
  SortedWindow window_;
  std::vector<double> deviations_;
};

// Interquartile range: quantile(0.75) - quantile(0.25).
class RollingIqr {
 public:
  static Expected<RollingIqr, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit RollingIqr(SortedWindow window) : window_(std::move(window)) {}
  SortedWindow window_;
};

class RollingQuantile {
 public:
  static Expected<RollingQuantile, IndicatorError> create(std::uint64_t period, double quantile);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  RollingQuantile(SortedWindow window, double quantile) : window_(std::move(window)), quantile_(quantile) {}
  SortedWindow window_;
  double quantile_;
};

// Mid-rank of the newest value within the window, 0 to 100.
class RollingPercentileRank {
 public:
  static Expected<RollingPercentileRank, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit RollingPercentileRank(RankWindow window) : window_(std::move(window)) {}
  RankWindow window_;
};

// Position of the newest value between the window's minimum (0) and maximum (1).
class RollingMinMaxScaler {
 public:
  static Expected<RollingMinMaxScaler, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.window(); }

 private:
  explicit RollingMinMaxScaler(std::size_t period) : window_(period) {}
  OldestRange window_;
};

// Population deviation of the window around its least-squares line.
class DetrendedStdDev {
 public:
  static Expected<DetrendedStdDev, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit DetrendedStdDev(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

// Sample entropy with the tolerance r = r_factor * the window's deviation.
// Quadratic in the period per update.
class SampleEntropy {
 public:
  static Expected<SampleEntropy, IndicatorError> create(std::uint64_t period, std::uint64_t m, double r_factor);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  SampleEntropy(std::size_t period, std::size_t m, double r_factor) : window_(period), m_(m), r_factor_(r_factor) {}
  Ring<double> window_;
  std::vector<double> scratch_;  // the window oldest first, sized when it first fills
  std::size_t m_;
  double r_factor_;
};

// Entropy in bits of the window's histogram over `bins` equal-width bins.
class ShannonEntropy {
 public:
  static Expected<ShannonEntropy, IndicatorError> create(std::uint64_t period, std::uint64_t bins);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  // Up to this many bins per held value, the histogram keeps a count per bin;
  // beyond, it sorts the bins of the values, so that its storage follows the
  // values held rather than the number of bins.
  static constexpr std::size_t kCountedBinsPerValue = 4;
  ShannonEntropy(std::size_t period, std::size_t bins) : window_(period), bins_(bins) {}
  Ring<double> window_;
  std::size_t bins_;
  std::vector<std::uint64_t> counts_;     // one count per bin, refilled on each update
  std::vector<std::size_t> value_bins_;  // the bin of each held value, when bins are many
};

// Width of the Bollinger band relative to its middle (a fraction).
class BollingerBandwidth {
 public:
  static Expected<BollingerBandwidth, IndicatorError> create(std::uint64_t period, double k);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return core_.warmup(); }

 private:
  explicit BollingerBandwidth(BollingerCore core) : core_(std::move(core)) {}
  BollingerCore core_;
};

// Position of the newest value within the Bollinger band (0 lower, 1 upper).
class PercentB {
 public:
  static Expected<PercentB, IndicatorError> create(std::uint64_t period, double k);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return core_.warmup(); }

 private:
  explicit PercentB(BollingerCore core) : core_(std::move(core)) {}
  BollingerCore core_;
};

}  // namespace vsci
