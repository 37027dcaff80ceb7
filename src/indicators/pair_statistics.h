// Co-statistics of the close and a reference series over a rolling window
// (beta, alpha, covariance, correlations, ratios, distance). Fed finite
// (close, reference) pairs (see KindIndicator); a kind's own stricter rule
// also leaves its state untouched. Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "indicators/cores/change_stream.h"
#include "indicators/cores/growing_storage.h"
#include "indicators/cores/log_return.h"
#include "indicators/cores/moment_window.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/rsi_core.h"
#include "indicators/cores/sma.h"
#include "indicators/indicator.h"
#include "util/expected.h"

namespace vsci {

// The step of each series from the last accepted pair, by a Stream of one
// series (ChangeStream, LogReturnStream); no value on the first pair.
template <class Stream>
class PairSteps {
 public:
  std::optional<XY> next(double c, double r) {
    const auto dc = close_.next(c);
    const auto dr = reference_.next(r);
    if (!dc || !dr) return std::nullopt;
    return XY{*dc, *dr};
  }

 private:
  Stream close_;
  Stream reference_;
};

// Regression slope of the close on the reference over the window.
class Beta {
 public:
  static Expected<Beta, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit Beta(std::size_t period) : moments_(period) {}
  PairedMoments moments_;
};

// Mean close above what beta times the reference's excess over the level f
// explains.
class Alpha {
 public:
  static Expected<Alpha, IndicatorError> create(std::uint64_t period, double risk_free);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  Alpha(std::size_t period, double risk_free) : moments_(period), risk_free_(risk_free) {}
  PairedMoments moments_;
  double risk_free_;
};

// The current bar's residual from the window's regression line.
class BetaNeutralSpread {
 public:
  static Expected<BetaNeutralSpread, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit BetaNeutralSpread(std::size_t period) : moments_(period) {}
  PairedMoments moments_;
};

// Mean close above the level f per unit of beta.
class TreynorRatio {
 public:
  static Expected<TreynorRatio, IndicatorError> create(std::uint64_t period, double risk_free);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  TreynorRatio(std::size_t period, double risk_free) : moments_(period), risk_free_(risk_free) {}
  PairedMoments moments_;
  double risk_free_;
};

// Beta of the log returns; both series must stay above zero.
class PairwiseBeta {
 public:
  static Expected<PairwiseBeta, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return moments_.period() + 1; }

 private:
  explicit PairwiseBeta(std::size_t period) : moments_(period) {}
  PairSteps<LogReturnStream> returns_;
  PairedMoments moments_;
};

// Covariance of the bar-to-bar changes.
class RollingCovariance {
 public:
  static Expected<RollingCovariance, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return moments_.period() + 1; }

 private:
  explicit RollingCovariance(std::size_t period) : moments_(period) {}
  PairSteps<ChangeStream> changes_;
  PairedMoments moments_;
};

// Correlation of the bar-to-bar changes.
class RollingCorrelation {
 public:
  static Expected<RollingCorrelation, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return moments_.period() + 1; }

 private:
  explicit RollingCorrelation(std::size_t period) : moments_(period) {}
  PairSteps<ChangeStream> changes_;
  PairedMoments moments_;
};

// Correlation of the levels.
class PearsonCorrelation {
 public:
  static Expected<PearsonCorrelation, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit PearsonCorrelation(std::size_t period) : moments_(period) {}
  PairedMoments moments_;
};

// Mean over deviation of the active difference c - r.
class InformationRatio {
 public:
  static Expected<InformationRatio, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit InformationRatio(std::size_t period) : moments_(period) {}
  ShiftedMoments<2> moments_;
};

// Sum of squared differences of both series normalised to the window's start.
class DistanceSsd {
 public:
  static Expected<DistanceSsd, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return pairs_.capacity(); }

 private:
  explicit DistanceSsd(std::size_t period) : pairs_(period) {}
  Ring<XY> pairs_;
};

// Kendall's tau-b over the window, its pair counts kept up to date as pairs
// enter and leave.
class KendallTau {
 public:
  static Expected<KendallTau, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return pairs_.capacity(); }

 private:
  explicit KendallTau(std::size_t period) : pairs_(period) {}
  // Adds sign (+1 or -1) to the counts of the comparison of a with b.
  void count(const XY& a, const XY& b, std::int64_t sign);

  Ring<XY> pairs_;
  std::int64_t concordant_ = 0;
  std::int64_t discordant_ = 0;
  std::int64_t tied_x_ = 0;
  std::int64_t tied_y_ = 0;
};

// Pearson correlation of the average ranks of each series within the window.
class SpearmanCorrelation {
 public:
  static Expected<SpearmanCorrelation, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return period_; }

 private:
  // A pair with its average ranks within the window, doubled so that they
  // stay whole numbers: 2 × (values below) + (values equal, itself included) + 1.
  struct RankedPair {
    double x = 0.0;
    double y = 0.0;
    std::int64_t rank2_x = 0;
    std::int64_t rank2_y = 0;
  };

  explicit SpearmanCorrelation(std::size_t period) : period_(period) { reserve_initial(slots_, period); }

  std::size_t period_;
  // The window by slot; start_ is the oldest pair's slot once it is full.
  std::vector<RankedPair> slots_;
  std::size_t start_ = 0;
};

// The ratio c / r with its simple average and its RSI.
class RelativeStrengthAB {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"ratio", "ratio_ma", "ratio_rsi"};

  static Expected<RelativeStrengthAB, IndicatorError> create(std::uint64_t average_period, std::uint64_t rsi_period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const;
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  RelativeStrengthAB(Sma average, Rsi rsi) : average_(std::move(average)), rsi_(std::move(rsi)) {}
  Sma average_;
  Rsi rsi_;
  OutputList<3> outputs_{kOutputNames};
};

// c / r, and 0 when the reference is not above zero.
struct CloseToReferenceRatio {
  std::optional<double> update_pair(double c, double r) const { return r > 0.0 ? c / r : 0.0; }
  std::uint64_t warmup() const { return 1; }
};

}  // namespace vsci
