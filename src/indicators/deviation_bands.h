// Deviation and regression bands: a centre line through recent prices with
// bands at a measured spread around it (rolling mean and deviation, rolling
// least-squares line and its residuals, cumulative volume-weighted price,
// rolling quartiles, projected highs and lows). Each publishes its lines as
// named outputs and returns its upper band. Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "indicators/cores/bollinger_core.h"
#include "indicators/cores/projection_core.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/indicator.h"

namespace vsci {

class BollingerBands {
 public:
  static constexpr std::array<std::string_view, 4> kOutputNames{"upper", "middle", "lower", "stddev"};

  static Expected<BollingerBands, IndicatorError> create(std::uint64_t period, double k);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return core_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit BollingerBands(BollingerCore core) : core_(std::move(core)) {}
  BollingerCore core_;
  OutputList<4> outputs_{kOutputNames};
};

// Inner and outer bands around one mean; the core carries the outer width.
class DoubleBollinger {
 public:
  static constexpr std::array<std::string_view, 5> kOutputNames{"upper_outer", "upper_inner", "middle", "lower_inner",
                                                                "lower_outer"};

  static Expected<DoubleBollinger, IndicatorError> create(std::uint64_t period, double k_inner, double k_outer);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return core_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  DoubleBollinger(BollingerCore core, double k_inner) : core_(std::move(core)), k_inner_(k_inner) {}
  BollingerCore core_;
  double k_inner_;
  OutputList<5> outputs_{kOutputNames};
};

// LinRegChannel and StandardErrorBands: the least-squares line of the last n
// closes refitted afresh every bar, with bands at k times the residuals'
// spread; the two differ only in its divisor (n, or n - 2).
class RegressionBands {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"upper", "middle", "lower"};

  static Expected<RegressionBands, IndicatorError> create_channel(std::uint64_t period, double k);
  static Expected<RegressionBands, IndicatorError> create_standard_error(std::uint64_t period, double k);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return closes_.capacity(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  RegressionBands(std::uint64_t period, double k, double spread_divisor)
      : closes_(static_cast<std::size_t>(period)),
        constants_(WindowSlopeConstants::of(period)),
        k_(k),
        spread_divisor_(spread_divisor) {}
  static Expected<RegressionBands, IndicatorError> create_with(std::uint64_t period, double k, std::uint64_t minimum,
                                                               std::string_view too_short, double divisor_offset);

  Ring<double> closes_;
  WindowSlopeConstants constants_;
  double k_;
  double spread_divisor_;
  OutputList<3> outputs_{kOutputNames};
};

// Volume-weighted mean and deviation of the typical price since the first
// valid bar, on offsets from that bar's typical price.
class VwapStdDevBands {
 public:
  static constexpr std::array<std::string_view, 4> kOutputNames{"upper", "middle", "lower", "stddev"};

  static Expected<VwapStdDevBands, IndicatorError> create(double k);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit VwapStdDevBands(double k) : k_(k) {}
  double k_;
  std::optional<double> reference_;
  double sum_vd_ = 0.0;
  double sum_vd2_ = 0.0;
  double sum_v_ = 0.0;
  OutputList<4> outputs_{kOutputNames};
};

class QuartileBands {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"upper", "middle", "lower"};

  static Expected<QuartileBands, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit QuartileBands(SortedWindow window) : window_(std::move(window)) {}
  SortedWindow window_;
  OutputList<3> outputs_{kOutputNames};
};

class ProjectionBands {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"upper", "middle", "lower"};

  static Expected<ProjectionBands, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return core_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit ProjectionBands(ProjectionCore core) : core_(std::move(core)) {}
  ProjectionCore core_;
  OutputList<3> outputs_{kOutputNames};
};

}  // namespace vsci
