// Statistics of the spread between the close and a reference series (c - r
// unless a kind says otherwise) and a Kalman-filtered hedge ratio. Fed finite
// (close, reference) pairs (see KindIndicator). Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "indicators/cores/moment_window.h"
#include "indicators/cores/ring.h"
#include "indicators/indicator.h"
#include "util/expected.h"

namespace vsci {

// z-score of the spread ln c - beta * ln r, with beta the rolling regression
// slope of ln c on ln r; both prices must stay above zero.
class PairSpreadZScore {
 public:
  static Expected<PairSpreadZScore, IndicatorError> create(std::uint64_t beta_period, std::uint64_t z_period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return hedge_.period() + spreads_.period() - 1; }

 private:
  PairSpreadZScore(std::size_t beta_period, std::size_t z_period) : hedge_(beta_period), spreads_(z_period) {}
  PairedMoments hedge_;  // (ln r, ln c)
  ShiftedMoments<2> spreads_;
};

// Bands k population deviations around the mean spread.
class SpreadBollingerBands {
 public:
  static constexpr std::array<std::string_view, 4> kOutputNames{"middle", "upper", "lower", "percent_b"};

  static Expected<SpreadBollingerBands, IndicatorError> create(std::uint64_t period, double num_std);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return spreads_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  SpreadBollingerBands(std::size_t period, double num_std) : spreads_(period), num_std_(num_std) {}
  ShiftedMoments<2> spreads_;
  double num_std_;
  OutputList<4> outputs_{kOutputNames};
};

// Bars for the spread to close half its distance to the mean, from the
// regression of its change on its previous level; 0 when it does not revert.
class OuHalfLife {
 public:
  static Expected<OuHalfLife, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return spreads_.capacity(); }

 private:
  explicit OuHalfLife(std::size_t period) : spreads_(period) {}
  Ring<double> spreads_;
};

// Slope of the spread's level on its previous level.
class SpreadAr1Coefficient {
 public:
  static Expected<SpreadAr1Coefficient, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return spreads_.capacity(); }

 private:
  explicit SpreadAr1Coefficient(std::size_t period) : spreads_(period) {}
  Ring<double> spreads_;
};

// Hurst exponent from how the mean squared spread change grows with the lag,
// for lags 1 .. period / 4.
class SpreadHurst {
 public:
  static Expected<SpreadHurst, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return spreads_.capacity(); }

 private:
  explicit SpreadHurst(std::size_t period) : spreads_(period), max_lag_(period / 4) {}
  Ring<double> spreads_;
  std::size_t max_lag_;
  // Log lags and log dispersions of the lags that had any; room for
  // max_lag_ each is taken when the window first fills.
  std::vector<double> log_lags_;
  std::vector<double> log_dispersions_;
};

// Variance of q-step spread changes over q times that of one-step changes.
class VarianceRatio {
 public:
  static Expected<VarianceRatio, IndicatorError> create(std::uint64_t period, std::uint64_t q);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return spreads_.capacity(); }

 private:
  VarianceRatio(std::size_t period, std::size_t q) : spreads_(period), q_(q) {}
  Ring<double> spreads_;
  std::size_t q_;
};

// Hedge ratio and intercept of c = beta * r + alpha as the state of a Kalman
// filter whose coefficients drift as a random walk.
class KalmanPairHedge {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"hedge_ratio", "intercept", "spread"};

  static Expected<KalmanPairHedge, IndicatorError> create(double delta, double observation_var);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  KalmanPairHedge(double delta, double observation_var)
      : process_noise_(delta / (1.0 - delta)), observation_var_(observation_var) {}
  double process_noise_;
  double observation_var_;
  double beta_ = 0.0;
  double alpha_ = 0.0;
  // Covariance of (beta, alpha), row-major.
  double p00_ = 0.0;
  double p01_ = 0.0;
  double p10_ = 0.0;
  double p11_ = 0.0;
  std::uint64_t updates_ = 0;
  OutputList<3> outputs_{kOutputNames};
};

}  // namespace vsci
