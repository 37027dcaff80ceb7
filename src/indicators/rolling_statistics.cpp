// Running moments about a shifted origin keep a window far from zero precise; a
// flat window's rounding residue counts as no spread.
#include "indicators/rolling_statistics.h"

#include <algorithm>

#include "indicators/cores/quantile.h"
#include "indicators/cores/regression_window.h"
#include "indicators/cores/window_checks.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

// What a standardised moment reads of a full window with spread: its
// variance, n, and the first two moments about the shift (m1 = sum_d / n,
// s2 = sum_d2 / n).
struct CentralTerms {
  double var;
  double n;
  double m1;
  double s2;
};

// The step Skewness and Kurtosis share: push x; nothing before the window is
// full, 0 for a window without spread, else `finish` of the central terms.
template <class Finish>
std::optional<double> moment_step(ShiftedMoments<4>& moments, double x, Finish finish) {
  if (!std::isfinite(x) || !moments.push(x)) return std::nullopt;
  const double var = moments.variance();
  if (var == 0.0) return 0.0;
  const double n = moments.n();
  return finish(CentralTerms{var, n, moments.m1(), moments.sum_d2() / n});
}

}  // namespace

Expected<StdDev, IndicatorError> StdDev::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return StdDev(static_cast<std::size_t>(period));
}

std::optional<double> StdDev::update_value(double x) {
  if (!std::isfinite(x) || !moments_.push(x)) return std::nullopt;
  return std::sqrt(moments_.variance());
}

Expected<Variance, IndicatorError> Variance::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return Variance(static_cast<std::size_t>(period));
}

std::optional<double> Variance::update_value(double x) {
  if (!std::isfinite(x) || !moments_.push(x)) return std::nullopt;
  return moments_.variance();
}

Expected<ZScore, IndicatorError> ZScore::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return ZScore(static_cast<std::size_t>(period));
}

std::optional<double> ZScore::update_value(double x) {
  if (!std::isfinite(x) || !moments_.push(x)) return std::nullopt;
  const double var = moments_.variance();
  if (var == 0.0) return 0.0;
  return (x - (moments_.shift() + moments_.m1())) / std::sqrt(var);
}

Expected<CoefficientOfVariation, IndicatorError> CoefficientOfVariation::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return CoefficientOfVariation(static_cast<std::size_t>(period));
}

std::optional<double> CoefficientOfVariation::update_value(double x) {
  if (!std::isfinite(x) || !moments_.push(x)) return std::nullopt;
  const double mean = moments_.mean();
  if (mean == 0.0) return 0.0;
  return std::sqrt(moments_.variance()) / mean;
}

Expected<Skewness, IndicatorError> Skewness::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 3, "skewness needs period >= 3")) return unexpected(*e);
  return Skewness(static_cast<std::size_t>(period));
}

std::optional<double> Skewness::update_value(double x) {
  return moment_step(moments_, x, [&](const CentralTerms& t) {
    const double m3 = ((moments_.sum_d3() / t.n) + (t.m1 * -3.0) * t.s2) + (t.m1 * (t.m1 + t.m1)) * t.m1;
    // A tiny variance can be non-zero while its power underflows.
    const double denominator = t.var * std::sqrt(t.var);
    return denominator == 0.0 ? 0.0 : m3 / denominator;
  });
}

Expected<Kurtosis, IndicatorError> Kurtosis::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 4, "kurtosis needs period >= 4")) return unexpected(*e);
  return Kurtosis(static_cast<std::size_t>(period));
}

std::optional<double> Kurtosis::update_value(double x) {
  return moment_step(moments_, x, [&](const CentralTerms& t) {
    const double q = t.m1 * t.m1;
    const double m4 = (((moments_.sum_d4() / t.n) + (moments_.sum_d3() / t.n) * (t.m1 * -4.0)) + t.s2 * (q * 6.0)) +
                      q * (q * -3.0);
    const double denominator = t.var * t.var;
    return denominator == 0.0 ? 0.0 : m4 / denominator + (-3.0);
  });
}

Expected<JarqueBera, IndicatorError> JarqueBera::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  if (period < 4) return unexpected(IndicatorError::invalid_period("Jarque-Bera needs period >= 4"));
  return JarqueBera(static_cast<std::size_t>(period));
}

std::optional<double> JarqueBera::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const std::size_t count = window_.size();
  const double n = static_cast<double>(count);
  double sum = -0.0;
  for (std::size_t i = 0; i < count; ++i) sum += window_[i];
  const double mean = sum / n;
  double m2 = 0.0, m3 = 0.0, m4 = 0.0;
  bool flat = true;
  for (std::size_t i = 0; i < count; ++i) {
    flat = flat && window_[i] == window_[0];
    const double d = window_[i] - mean;
    m2 += d * d;
    m3 += d * (d * d);
    m4 += (d * d) * (d * d);
  }
  m2 = m2 / n;
  // A flat window whose mean is not exact leaves a residue variance; NaN
  // (overflowing closes) counts as a zero variance, as does a variance whose
  // powers underflow.
  if (flat || !(m2 > 0.0)) return 0.0;
  const double skew_den = m2 * std::sqrt(m2);
  const double kurt_den = m2 * m2;
  if (skew_den == 0.0 || kurt_den == 0.0) return 0.0;
  const double s = (m3 / n) / skew_den;
  const double k = (m4 / n) / kurt_den + (-3.0);
  return n / 6.0 * (s * s + k * k * 0.25);
}

MedianAbsoluteDeviation::MedianAbsoluteDeviation(SortedWindow window) : window_(std::move(window)) {
  reserve_initial(deviations_, window_.period());
}

Expected<MedianAbsoluteDeviation, IndicatorError> MedianAbsoluteDeviation::create(std::uint64_t period) {
  auto window = SortedWindow::create(period);
  if (!window.ok()) return unexpected(window.error());
  return MedianAbsoluteDeviation(std::move(window).value());
}

std::optional<double> MedianAbsoluteDeviation::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  deviations_.reserve(window_.size());  // allocates once, when the window first fills
  sorted_abs_deviations(window_.sorted(), window_.median(), deviations_);
  return sorted_median(deviations_);
}

Expected<RollingIqr, IndicatorError> RollingIqr::create(std::uint64_t period) {
  auto window = SortedWindow::create(period);
  if (!window.ok()) return unexpected(window.error());
  return RollingIqr(std::move(window).value());
}

std::optional<double> RollingIqr::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  return sorted_quantile(window_.sorted(), 0.75) - sorted_quantile(window_.sorted(), 0.25);
}

Expected<RollingQuantile, IndicatorError> RollingQuantile::create(std::uint64_t period, double quantile) {
  auto window = SortedWindow::create(period);
  if (!window.ok()) return unexpected(window.error());
  if (!(std::isfinite(quantile) && quantile >= 0.0 && quantile <= 1.0)) {
    return unexpected(IndicatorError::invalid_parameter("rolling quantile must be a finite value in [0.0, 1.0]"));
  }
  return RollingQuantile(std::move(window).value(), quantile);
}

std::optional<double> RollingQuantile::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  return sorted_quantile(window_.sorted(), quantile_);
}

Expected<RollingPercentileRank, IndicatorError> RollingPercentileRank::create(std::uint64_t period) {
  auto window = RankWindow::create(period);
  if (!window.ok()) return unexpected(window.error());
  return RollingPercentileRank(std::move(window).value());
}

std::optional<double> RollingPercentileRank::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const std::size_t less = window_.newest_below();
  const std::size_t equal = window_.newest_equal();
  const double n = static_cast<double>(window_.period());
  return ((static_cast<double>(equal) / 2.0) + static_cast<double>(less)) / n * 100.0;
}

Expected<RollingMinMaxScaler, IndicatorError> RollingMinMaxScaler::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  if (period == 1) return unexpected(IndicatorError::invalid_period("min-max scaler needs period >= 2"));
  return RollingMinMaxScaler(static_cast<std::size_t>(period));
}

std::optional<double> RollingMinMaxScaler::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x, x);
  if (!window_.full()) return std::nullopt;
  // The extremes of std::max / std::min scans from -inf and +inf.
  const auto [max, min] = window_.fold_from(-kInf, kInf);
  const double span = max - min;
  if (span > 0.0) return (x - min) / span;
  return 0.5;
}

Expected<DetrendedStdDev, IndicatorError> DetrendedStdDev::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "detrended stddev needs period >= 2")) return unexpected(*e);
  return DetrendedStdDev(static_cast<std::size_t>(period));
}

std::optional<double> DetrendedStdDev::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const double var = line_squared_residuals(window_) / static_cast<double>(window_.size());
  // Closes whose differences overflow leave inf - inf in the residuals; that
  // variance counts as 0, as the NaN variances of the other spread kinds do.
  return std::isnan(var) ? 0.0 : std::sqrt(var);
}

Expected<SampleEntropy, IndicatorError> SampleEntropy::create(std::uint64_t period, std::uint64_t m, double r_factor) {
  if (period == 0 || m == 0) return unexpected(IndicatorError::period_zero());
  // period >= m + 2, written so that a huge m cannot wrap.
  if (period < 2 || m > period - 2) {
    return unexpected(IndicatorError::invalid_period("sample entropy needs period >= m + 2"));
  }
  if (!(std::isfinite(r_factor) && r_factor > 0.0)) {
    return unexpected(IndicatorError::invalid_parameter("sample entropy r_factor must be finite and positive"));
  }
  if (period > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return SampleEntropy(static_cast<std::size_t>(period), static_cast<std::size_t>(m), r_factor);
}

std::optional<double> SampleEntropy::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const std::size_t n = window_.size();
  if (scratch_.size() != n) scratch_.resize(n);  // once, when the window first fills
  for (std::size_t i = 0; i < n; ++i) scratch_[i] = window_[i];
  const double nf = static_cast<double>(n);
  const double mean = plain_mean(n, [&](std::size_t i) { return scratch_[i]; });
  double sq = -0.0;
  for (double v : scratch_) sq += (v - mean) * (v - mean);
  const double var = sq / nf;
  if (!(var > 0.0)) return 0.0;
  if (n == m_) return 0.0;
  const double r = std::sqrt(var) * r_factor_;
  const std::size_t starts = n - m_;
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  for (std::size_t i = 0; i < starts; ++i) {
    for (std::size_t j = i + 1; j < starts; ++j) {
      std::size_t k = 0;
      while (k < m_ && std::fabs(scratch_[i + k] - scratch_[j + k]) <= r) ++k;
      if (k < m_) continue;
      ++b;
      if (std::fabs(scratch_[i + m_] - scratch_[j + m_]) <= r) ++a;
    }
  }
  if (b == 0) return 0.0;
  if (a == 0) return std::log(static_cast<double>(b));
  return -std::log(static_cast<double>(a) / static_cast<double>(b));
}

namespace {

struct MinMax {
  double min = kInf;
  double max = -kInf;
};

MinMax window_range(const Ring<double>& window) {
  MinMax r;
  for (std::size_t i = 0; i < window.size(); ++i) {
    r.min = std::min(r.min, window[i]);
    r.max = std::max(r.max, window[i]);
  }
  return r;
}

}  // namespace

Expected<ShannonEntropy, IndicatorError> ShannonEntropy::create(std::uint64_t period, std::uint64_t bins) {
  if (period == 0 || bins == 0) return unexpected(IndicatorError::period_zero());
  if (bins < 2) return unexpected(IndicatorError::invalid_period("Shannon entropy needs bins >= 2"));
  if (bins > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  if (period > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return ShannonEntropy(static_cast<std::size_t>(period), static_cast<std::size_t>(bins));
}

std::optional<double> ShannonEntropy::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const MinMax r = window_range(window_);
  if (r.max <= r.min) return 0.0;
  const std::size_t held = window_.size();
  const std::size_t last = bins_ - 1;
  const double width = (r.max - r.min) / static_cast<double>(bins_);
  auto bin_of = [&](double v) {
    std::size_t bin = last;
    if (v != r.max) {
      const double pos = (v - r.min) / width;
      if (std::isnan(pos)) {
        // 0 / 0 is the minimum over a zero width; inf / inf a value next to
        // the maximum over an overflowing range.
        bin = width == 0.0 ? 0 : last;
      } else if (pos < static_cast<double>(last)) {
        bin = static_cast<std::size_t>(pos);
      }
    }
    return bin;
  };
  const double n = static_cast<double>(held);
  double h = 0.0;
  // The occupied bins' terms are added in ascending bin order either way.
  auto add_bin = [&](std::uint64_t c) {
    const double p = static_cast<double>(c) / n;
    h += -p * std::log2(p);
  };
  if (bins_ <= kCountedBinsPerValue * held) {
    counts_.assign(bins_, 0);  // allocates once, when the window first fills
    for (std::size_t i = 0; i < held; ++i) ++counts_[bin_of(window_[i])];
    for (std::uint64_t c : counts_) {
      if (c != 0) add_bin(c);
    }
    return h;
  }
  // Far more bins than values: most are empty, so sort the values' bins and
  // count the runs instead of keeping a count per bin.
  value_bins_.resize(held);  // allocates once, when the window first fills
  for (std::size_t i = 0; i < held; ++i) value_bins_[i] = bin_of(window_[i]);
  std::sort(value_bins_.begin(), value_bins_.end());
  for (std::size_t i = 0; i < held;) {
    std::size_t j = i + 1;
    while (j < held && value_bins_[j] == value_bins_[i]) ++j;
    add_bin(j - i);
    i = j;
  }
  return h;
}

Expected<BollingerBandwidth, IndicatorError> BollingerBandwidth::create(std::uint64_t period, double k) {
  auto core = positive_band_core(period, k);
  if (!core.ok()) return unexpected(core.error());
  return BollingerBandwidth(std::move(core).value());
}

std::optional<double> BollingerBandwidth::update_value(double x) {
  const auto b = core_.update_value(x);
  if (!b) return std::nullopt;
  // A band of no width is 0.0 whatever the sign of the middle.
  if (b->middle == 0.0 || b->upper == b->lower) return 0.0;
  return (b->upper - b->lower) / b->middle;
}

Expected<PercentB, IndicatorError> PercentB::create(std::uint64_t period, double k) {
  auto core = positive_band_core(period, k);
  if (!core.ok()) return unexpected(core.error());
  return PercentB(std::move(core).value());
}

std::optional<double> PercentB::update_value(double x) {
  const auto b = core_.update_value(x);
  if (!b) return std::nullopt;
  const double width = b->upper - b->lower;
  if (width == 0.0) return 0.5;
  return (x - b->lower) / width;
}

}  // namespace vsci
