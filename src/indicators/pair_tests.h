// Econometric tests over the close and a reference series, run on every bar,
// with the small least-squares solvers they share. Fed finite (close,
// reference) pairs (see KindIndicator). Work areas are taken when a window
// first fills and reused. Single-threaded use.
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

// Solves a x = rhs for the k x k row-major matrix a (k = x.size()) by
// elimination in row order without row exchanges, then back substitution;
// a and rhs are overwritten. False when a pivot's magnitude is below 1e-12.
bool ols_solve(std::span<double> a, std::span<double> rhs, std::span<double> x);

// Solves a x = b for a 4 x 4 row-major a with partial pivoting (the first of
// equal-magnitude rows wins); a and b are overwritten. False when a pivot's
// magnitude is below 1e-12.
bool solve4x4(std::array<double, 16>& a, std::array<double, 4>& b, std::array<double, 4>& x);

// Pearson correlation, population form, of `window` closes from position i
// and `window` references from position j (0 = oldest held); 0 when either
// side is flat.
double lagged_correlation(const Ring<double>& closes, const Ring<double>& references, std::size_t i,
                          std::size_t j, std::size_t window);

// The normal equations X'X b = X'y of a least-squares fit, accumulated row by
// row. Its work areas grow to the largest k it has seen and are reused.
class NormalEquations {
 public:
  // Starts a fit with k unknowns.
  void start(std::size_t k);
  // Adds the first k numbers of row, with its target.
  void add(std::span<const double> row, double target);
  // The coefficients b; false when the system is singular.
  bool solve(std::span<double> b);
  // Solves X'X z = (1, 0, ..., 0); false when singular.
  bool solve_unit(std::span<double> z);

 private:
  bool solve_with(std::span<double> z);

  std::size_t k_ = 0;
  std::vector<double> xtx_;  // upper triangle, row-major k x k
  std::vector<double> xty_;
  std::vector<double> work_;
  std::vector<double> rhs_;
};

// Hedge regression of c on r over the window, and the ADF t-statistic of its
// residuals with adf_lags lagged differences.
class Cointegration {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"hedge_ratio", "spread", "adf_stat"};

  static Expected<Cointegration, IndicatorError> create(std::uint64_t period, std::uint64_t adf_lags);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return moments_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  Cointegration(std::size_t period, std::size_t adf_lags) : moments_(period), lags_(adf_lags) {}
  double adf_stat();

  PairedMoments moments_;  // (c, r)
  std::size_t lags_;
  std::vector<double> residuals_;
  std::vector<double> row_;
  std::vector<double> coef_;
  std::vector<double> unit_;
  NormalEquations normal_;
  OutputList<3> outputs_{kOutputNames};
};

// F statistic of whether lagged references help explain the close beyond its
// own lags (price levels, `lag` lags each), never below 0.
class GrangerCausality {
 public:
  static Expected<GrangerCausality, IndicatorError> create(std::uint64_t period, std::uint64_t lag);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return pairs_.capacity(); }

 private:
  GrangerCausality(std::size_t period, std::size_t lag) : pairs_(period), lag_(lag) {}
  // RSS of the fit of c(t) on the first k numbers of the unrestricted row.
  std::optional<double> rss(std::size_t k);

  Ring<XY> pairs_;  // (c, r)
  std::size_t lag_;
  std::vector<double> row_;
  std::vector<double> coef_;
  NormalEquations normal_;
};

// Midpoint of the upper and lower information shares of the close from a
// two-equation error-correction model over the last N bars.
class HasbrouckInformationShare {
 public:
  static Expected<HasbrouckInformationShare, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return rows_.capacity() + 2; }

 private:
  explicit HasbrouckInformationShare(std::size_t period) : rows_(period) {}
  double share() const;

  // (dc, dr, c1 - r1, c1 - c2, r1 - r2) per bar.
  Ring<std::array<double, 5>> rows_;
  XY last_;
  XY before_last_;
  int held_ = 0;  // valid pairs seen, up to 2
};

// The strongest correlation, sign kept, of the closes against the references
// shifted by -L .. L bars.
class LeadLagCrossCorrelation {
 public:
  static constexpr std::array<std::string_view, 1> kOutputNames{"correlation"};

  static Expected<LeadLagCrossCorrelation, IndicatorError> create(std::uint64_t window, std::uint64_t max_lag);
  std::optional<double> update_pair(double c, double r);
  std::uint64_t warmup() const { return closes_.capacity(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  LeadLagCrossCorrelation(std::size_t window, std::size_t max_lag)
      : closes_(window + 2 * max_lag), references_(window + 2 * max_lag), window_(window), max_lag_(max_lag) {}
  Ring<double> closes_;
  Ring<double> references_;
  std::size_t window_;
  std::size_t max_lag_;
  OutputList<1> outputs_{kOutputNames};
};

}  // namespace vsci
