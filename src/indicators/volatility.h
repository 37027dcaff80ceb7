// Close-series volatility estimators: kinds built on log returns (a close that
// is not finite and strictly positive is refused like a NaN), the drawdown
// based UlcerIndex, and RviVolatility (cores/rvi_core.h).
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/log_return.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/rvi_core.h"
#include "indicators/cores/shifted_sum_window.h"
#include "indicators/cores/window_sum.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

class HistoricalVolatility {
 public:
  static Expected<HistoricalVolatility, IndicatorError> create(std::uint64_t n, std::uint64_t periods_per_year);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.length() + 1; }

 private:
  HistoricalVolatility(std::size_t n, std::uint64_t p) : window_(n), periods_per_year_(p) {}
  LogReturnStream returns_;
  ShiftedSumWindow window_;
  std::uint64_t periods_per_year_;
};

class RealizedVolatility {
 public:
  static Expected<RealizedVolatility, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return ring_.capacity() + 1; }

 private:
  explicit RealizedVolatility(std::size_t n) : ring_(n) {}
  LogReturnStream returns_;
  Ring<double> ring_;
  double sum_squares_ = 0.0;
  std::size_t pushes_ = 0;
};

class BipowerVariation {
 public:
  static Expected<BipowerVariation, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return ring_.capacity() + 1; }

 private:
  explicit BipowerVariation(std::size_t n) : ring_(n) {}
  LogReturnStream returns_;
  Ring<double> ring_;
  double sum_products_ = 0.0;
  std::size_t pairs_ = 0;
};

class EwmaVolatility {
 public:
  static Expected<EwmaVolatility, IndicatorError> create(double lambda);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 2; }

 private:
  explicit EwmaVolatility(double lambda) : lambda_(lambda) {}
  LogReturnStream returns_;
  double lambda_;
  double variance_ = 0.0;
  bool has_variance_ = false;
};

class Garch11 {
 public:
  static Expected<Garch11, IndicatorError> create(double omega, double alpha, double beta);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 2; }

 private:
  Garch11(double omega, double alpha, double beta)
      : omega_(omega), alpha_(alpha), beta_(beta), long_run_(omega / ((1.0 - alpha) - beta)) {}
  LogReturnStream returns_;
  double omega_, alpha_, beta_, long_run_;
  double variance_ = 0.0;
  bool has_variance_ = false;
  double last_square_ = 0.0;
};

class JumpIndicator {
 public:
  static Expected<JumpIndicator, IndicatorError> create(std::uint64_t n, double k);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.length() + 2; }

 private:
  JumpIndicator(std::size_t n, double k) : window_(n), k_(k) {}
  LogReturnStream returns_;
  ShiftedSumWindow window_;
  double k_;
};

class VolatilityOfVolatility {
 public:
  static Expected<VolatilityOfVolatility, IndicatorError> create(std::uint64_t n, std::uint64_t w);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return returns_window_.length() + vol_window_.length(); }

 private:
  VolatilityOfVolatility(std::size_t n, std::size_t w) : returns_window_(n), vol_window_(w) {}
  LogReturnStream returns_;
  ShiftedSumWindow returns_window_;
  ShiftedSumWindow vol_window_;
};

class UlcerIndex {
 public:
  static Expected<UlcerIndex, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 2 * n_ - 1; }

 private:
  struct Peak {
    std::uint64_t index = 0;
    double close = 0.0;
  };
  explicit UlcerIndex(std::size_t n);

  std::uint64_t n_;
  std::uint64_t t_ = 0;
  // Monotone queue of candidate maxima (indices ascending, closes descending).
  BoundedDeque<Peak> peaks_;
  // Re-summed every n pushes; exactly 0 once no drawdown is left in it.
  WindowSum drawdowns_;
};

}  // namespace vsci
