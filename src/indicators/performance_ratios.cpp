// The ratios read per-period returns of the window; each refuses a non-finite
// input itself, since kinds here are embedded without the adapter.
#include "indicators/performance_ratios.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/quantile.h"
#include "indicators/cores/window_checks.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

std::optional<IndicatorError> check_confidence(double confidence) {
  if (!(std::isfinite(confidence) && confidence > 0.0 && confidence < 1.0)) {
    return IndicatorError::invalid_period("confidence must lie strictly between 0 and 1");
  }
  return std::nullopt;
}

double mean_of(const WindowSum& window) { return window.sum() / static_cast<double>(window.capacity()); }

// Drawdown episodes of a curve: an episode begins when a value falls below the
// running peak and ends when a value reaches that peak again. on_end(peak,
// trough) is called for every episode, the one still open at finish() included.
class Episodes {
 public:
  explicit Episodes(double peak) : peak_(peak) {}

  template <class OnEnd>
  void add(double v, OnEnd on_end) {
    if (v >= peak_) {
      if (open_) on_end(episode_peak_, trough_);
      open_ = false;
      peak_ = v;
    } else if (!open_) {
      open_ = true;
      episode_peak_ = peak_;
      trough_ = v;
    } else if (v < trough_) {
      trough_ = v;
    }
  }
  template <class OnEnd>
  void finish(OnEnd on_end) const {
    if (open_) on_end(episode_peak_, trough_);
  }

 private:
  double peak_;
  double episode_peak_ = 0.0;
  double trough_ = 0.0;
  bool open_ = false;
};

// Walks the equity compounded from the window's returns (1.0 before the
// oldest), calling step(equity, peak) after each return, the peak starting at
// 1.0. Gives the sum of the returns (from +0.0), or nothing when the equity or
// its peak ended up not finite.
template <class Step>
std::optional<double> walk_equity(const Ring<double>& returns, Step step) {
  double e = 1.0;
  double peak = 1.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < returns.size(); ++i) {
    const double r = returns[i];
    sum += r;
    e = e * (r + 1.0);
    if (e > peak) peak = e;
    step(e, peak);
  }
  if (!std::isfinite(e) || !std::isfinite(peak)) return std::nullopt;
  return sum;
}

// Sums of gains and of loss magnitudes with their counts.
struct GainsAndLosses {
  double gains = 0.0;
  double losses = 0.0;
  std::size_t gain_count = 0;
  std::size_t loss_count = 0;
};

GainsAndLosses gains_and_losses(const Ring<double>& window) {
  GainsAndLosses g;
  for (std::size_t i = 0; i < window.size(); ++i) {
    const double r = window[i];
    if (r > 0.0) {
      g.gains += r;
      ++g.gain_count;
    } else if (r < 0.0) {
      g.losses += -r;
      ++g.loss_count;
    }
  }
  return g;
}

// The value of a ratio whose denominator (losses) is zero.
double no_loss_value(bool no_gain) { return no_gain ? 1.0 : kInf; }

// Mean excess over the sample deviation of a full window, or nothing when the
// sample variance is 0 (negative residue and the NaN of overflow included).
std::optional<double> sample_excess_ratio(const ShiftedMoments<2>& moments, double risk_free) {
  if (moments.flat()) return std::nullopt;
  const double n = moments.n();
  const double m1 = moments.m1();
  double var = std::fma(n, -(m1 * m1), moments.sum_d2()) / (n - 1.0);
  if (!(var > 0.0)) var = 0.0;
  if (var == 0.0) return std::nullopt;
  return ((moments.shift() + m1) - risk_free) / std::sqrt(var);
}

}  // namespace

// ---- Running windows

void LossWindow::push(double r) {
  if (window_.full()) {
    const double old = window_.oldest();
    sum_ = sum_ - old;
    if (old < 0.0) loss_.remove(-old);
  }
  sum_ = sum_ + r;
  if (r < 0.0) loss_.add(-r);
  window_.push(r);
}

// ---- Level kinds

Expected<MaxDrawdown, IndicatorError> MaxDrawdown::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return MaxDrawdown(static_cast<std::size_t>(period));
}

std::optional<double> MaxDrawdown::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  double peak = -kInf;
  double max_dd = 0.0;
  for (std::size_t i = 0; i < window_.size(); ++i) {
    const double v = window_[i];
    peak = std::max(peak, v);
    if (peak > 0.0) max_dd = std::max(max_dd, (peak - v) / peak);
  }
  return max_dd;
}

Expected<AverageDrawdown, IndicatorError> AverageDrawdown::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return AverageDrawdown(static_cast<std::size_t>(period));
}

std::optional<double> AverageDrawdown::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  double sum = 0.0;
  std::size_t count = 0;
  const auto on_end = [&](double peak, double trough) {
    if (!(peak > 0.0)) return;
    sum += (peak - trough) / peak;
    ++count;
  };
  Episodes episodes(-kInf);
  for (std::size_t i = 0; i < window_.size(); ++i) episodes.add(window_[i], on_end);
  episodes.finish(on_end);
  if (count == 0) return 0.0;
  return sum / static_cast<double>(count);
}

Expected<PainIndex, IndicatorError> PainIndex::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return PainIndex(static_cast<std::size_t>(period));
}

std::optional<double> PainIndex::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  double peak = -kInf;
  double sum = 0.0;
  for (std::size_t i = 0; i < window_.size(); ++i) {
    const double v = window_[i];
    peak = std::max(peak, v);
    if (peak > 0.0) sum += (peak - v) / peak;
  }
  return sum / static_cast<double>(window_.size());
}

Expected<RecoveryFactor, IndicatorError> RecoveryFactor::create() { return RecoveryFactor(); }

std::optional<double> RecoveryFactor::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  if (!started_) {
    first_ = x;
    peak_ = x;
    started_ = true;
  } else {
    if (x > peak_) peak_ = x;
    if (peak_ > 0.0) {
      const double dd = (peak_ - x) / peak_;
      if (dd > max_drawdown_) max_drawdown_ = dd;
    }
  }
  if (first_ == 0.0) return std::nullopt;
  if (max_drawdown_ == 0.0) return 0.0;
  return (x / first_ + (-1.0)) / max_drawdown_;
}

// ---- Compounded drawdown ratios

Expected<CalmarRatio, IndicatorError> CalmarRatio::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "calmar ratio needs period >= 2")) return unexpected(*e);
  return CalmarRatio(static_cast<std::size_t>(period));
}

std::optional<double> CalmarRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  double max_dd = 0.0;
  const auto walked = walk_equity(window_.values(), [&](double e, double peak) {
    const double dd = (peak - e) / peak;
    if (dd > max_dd) max_dd = dd;
  });
  if (!walked) return std::nullopt;
  if (max_dd == 0.0) return 0.0;
  return mean_of(window_) / max_dd;
}

Expected<BurkeRatio, IndicatorError> BurkeRatio::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "burke ratio needs period >= 2")) return unexpected(*e);
  return BurkeRatio(static_cast<std::size_t>(period));
}

std::optional<double> BurkeRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  double squares = 0.0;
  const auto on_end = [&](double peak, double trough) {
    const double depth = (peak - trough) / peak;
    squares += depth * depth;
  };
  Episodes episodes(1.0);
  const auto sum = walk_equity(window_, [&](double e, double) { episodes.add(e, on_end); });
  if (!sum) return std::nullopt;
  episodes.finish(on_end);
  if (!(squares > 0.0)) return 0.0;
  return (*sum / static_cast<double>(window_.size())) / std::sqrt(squares);
}

Expected<SterlingRatio, IndicatorError> SterlingRatio::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "sterling ratio needs period >= 2")) return unexpected(*e);
  return SterlingRatio(static_cast<std::size_t>(period));
}

std::optional<double> SterlingRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  double depths = 0.0;
  std::size_t count = 0;
  const auto on_end = [&](double peak, double trough) {
    depths += (peak - trough) / peak;
    ++count;
  };
  Episodes episodes(1.0);
  const auto sum = walk_equity(window_, [&](double e, double) { episodes.add(e, on_end); });
  if (!sum) return std::nullopt;
  episodes.finish(on_end);
  if (count == 0) return 0.0;
  const double average_depth = depths / static_cast<double>(count);
  if (!(average_depth > 0.0)) return 0.0;
  return (*sum / static_cast<double>(window_.size())) / average_depth;
}

Expected<ReturnToUlcerRatio, IndicatorError> ReturnToUlcerRatio::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "martin ratio needs period >= 2")) return unexpected(*e);
  return ReturnToUlcerRatio(static_cast<std::size_t>(period));
}

std::optional<double> ReturnToUlcerRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  double squares = 0.0;
  const auto sum = walk_equity(window_, [&](double e, double peak) {
    const double p = ((peak - e) * 100.0) / peak;
    squares += p * p;
  });
  if (!sum) return std::nullopt;
  const double n = static_cast<double>(window_.size());
  const double u2 = squares / n;
  if (!(u2 > 0.0)) return 0.0;
  return (*sum / n) / std::sqrt(u2);
}

// ---- Mean and deviation ratios

Expected<SharpeRatio, IndicatorError> SharpeRatio::create(std::uint64_t period, double risk_free) {
  if (auto e = check_min_period(period, 2, "sharpe ratio needs period >= 2")) return unexpected(*e);
  return SharpeRatio(static_cast<std::size_t>(period), risk_free);
}

std::optional<double> SharpeRatio::update_value(double x) {
  if (!std::isfinite(x) || !moments_.push(x)) return std::nullopt;
  return sample_excess_ratio(moments_, risk_free_).value_or(0.0);
}

Expected<M2Measure, IndicatorError> M2Measure::create(std::uint64_t period, double risk_free,
                                                      double benchmark_stddev) {
  if (auto e = check_min_period(period, 2, "m2 measure needs period >= 2")) return unexpected(*e);
  if (!std::isfinite(risk_free) || !std::isfinite(benchmark_stddev) || benchmark_stddev < 0.0) {
    return unexpected(IndicatorError::invalid_parameter(
        "risk_free must be finite and benchmark_stddev finite and non-negative"));
  }
  return M2Measure(static_cast<std::size_t>(period), risk_free, benchmark_stddev);
}

std::optional<double> M2Measure::update_value(double x) {
  if (!std::isfinite(x) || !moments_.push(x)) return std::nullopt;
  const auto ratio = sample_excess_ratio(moments_, risk_free_);
  if (!ratio) return 0.0;
  return risk_free_ + benchmark_stddev_ * *ratio;
}

Expected<SortinoRatio, IndicatorError> SortinoRatio::create(std::uint64_t period, double target) {
  if (auto e = check_min_period(period, 2, "sortino ratio needs period >= 2")) return unexpected(*e);
  return SortinoRatio(static_cast<std::size_t>(period), target);
}

std::optional<double> SortinoRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const Ring<double>& w = window_.values();
  double downside = 0.0;
  for (std::size_t i = 0; i < w.size(); ++i) {
    const double d = w[i] - target_;
    if (d < 0.0) downside += d * d;
  }
  const double dd = downside / static_cast<double>(w.size());
  if (dd == 0.0) return 0.0;
  return (mean_of(window_) - target_) / std::sqrt(dd);
}

Expected<UpsidePotentialRatio, IndicatorError> UpsidePotentialRatio::create(std::uint64_t period, double mar) {
  if (auto e = check_min_period(period, 2, "upside potential ratio needs period >= 2")) return unexpected(*e);
  if (!std::isfinite(mar)) return unexpected(IndicatorError::invalid_parameter("mar must be finite"));
  return UpsidePotentialRatio(static_cast<std::size_t>(period), mar);
}

std::optional<double> UpsidePotentialRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  if (window_.full()) {
    const double d = window_.oldest() - mar_;
    if (d > 0.0) {
      up_.remove(d);
    } else if (d < 0.0) {
      down2_.remove(d * d);
    }
  }
  const double d = x - mar_;
  if (d > 0.0) {
    up_.add(d);
  } else if (d < 0.0) {
    down2_.add(d * d);
  }
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const double n = static_cast<double>(window_.size());
  const double downside = down2_.value() / n;
  if (!(downside > 0.0)) return 0.0;
  return (up_.value() / n) / std::sqrt(downside);
}

Expected<KRatio, IndicatorError> KRatio::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 3, "k-ratio needs period >= 3")) return unexpected(*e);
  return KRatio(static_cast<std::size_t>(period));
}

std::optional<double> KRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const std::size_t count = window_.size();
  const double n = static_cast<double>(count);
  if (cumulative_.size() != count) cumulative_.resize(count);  // once, when the window first fills
  double c = 0.0;
  double c_sum = 0.0;
  bool on_a_line = true;
  for (std::size_t i = 0; i < count; ++i) {
    on_a_line = on_a_line && (i == 0 || window_[i] == window_[1]);
    c += window_[i];
    cumulative_[i] = c;
    c_sum += c;
  }
  // Equal returns after the first put the cumulative sums exactly on a line,
  // though their rounded values may not be.
  if (on_a_line) return 0.0;
  const double tbar = (n + 1.0) * 0.5;
  const double cbar = c_sum / n;
  double sxx = 0.0;
  double sxy = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double dt = static_cast<double>(i + 1) - tbar;
    sxx += dt * dt;
    sxy += dt * (cumulative_[i] - cbar);
  }
  const double b = sxy / sxx;
  const double a = cbar - tbar * b;
  double sse = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double e = cumulative_[i] - (a + b * static_cast<double>(i + 1));
    sse += e * e;
  }
  if (!(sse > 0.0)) return 0.0;
  return b / std::sqrt(sse / (n - 2.0) / sxx);
}

// ---- Gain and loss ratios

Expected<OmegaRatio, IndicatorError> OmegaRatio::create(std::uint64_t period, double threshold) {
  if (auto e = check_period(period)) return unexpected(*e);
  return OmegaRatio(static_cast<std::size_t>(period), threshold);
}

std::optional<double> OmegaRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  double above = 0.0;
  double below = 0.0;
  for (std::size_t i = 0; i < window_.size(); ++i) {
    const double d = window_[i] - threshold_;
    if (d >= 0.0) {
      above += d;
    } else {
      below += -d;
    }
  }
  if (below == 0.0) return no_loss_value(above == 0.0);
  return above / below;
}

Expected<GainLossRatio, IndicatorError> GainLossRatio::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return GainLossRatio(static_cast<std::size_t>(period));
}

std::optional<double> GainLossRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const GainsAndLosses g = gains_and_losses(window_);
  if (g.loss_count == 0) return no_loss_value(g.gain_count == 0);
  const double avg_gain = g.gain_count == 0 ? 0.0 : g.gains / static_cast<double>(g.gain_count);
  return avg_gain / (g.losses / static_cast<double>(g.loss_count));
}

Expected<ProfitFactor, IndicatorError> ProfitFactor::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return ProfitFactor(static_cast<std::size_t>(period));
}

std::optional<double> ProfitFactor::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const GainsAndLosses g = gains_and_losses(window_);
  if (g.losses == 0.0) return no_loss_value(g.gains == 0.0);
  return g.gains / g.losses;
}

Expected<GainToPainRatio, IndicatorError> GainToPainRatio::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return GainToPainRatio(static_cast<std::size_t>(period));
}

std::optional<double> GainToPainRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  sums_.push(x);
  if (!sums_.full()) return std::nullopt;
  if (!(sums_.sum_loss() > 0.0)) return 0.0;
  return sums_.sum() / sums_.sum_loss();
}

Expected<Expectancy, IndicatorError> Expectancy::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return Expectancy(static_cast<std::size_t>(period));
}

std::optional<double> Expectancy::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  sums_.push(x);
  if (!sums_.full()) return std::nullopt;
  if (sums_.loss_count() == 0) return 0.0;
  return (sums_.sum() / sums_.n()) / (sums_.sum_loss() / static_cast<double>(sums_.loss_count()));
}

Expected<KellyCriterion, IndicatorError> KellyCriterion::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return KellyCriterion(static_cast<std::size_t>(period));
}

std::optional<double> KellyCriterion::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const GainsAndLosses g = gains_and_losses(window_);
  const double win = static_cast<double>(g.gain_count) / static_cast<double>(window_.size());
  if (g.loss_count == 0) return win;
  if (g.gain_count == 0) return -1.0;
  const double payoff = (g.gains / static_cast<double>(g.gain_count)) / (g.losses / static_cast<double>(g.loss_count));
  return win - (1.0 - win) / payoff;
}

Expected<WinRate, IndicatorError> WinRate::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return WinRate(static_cast<std::size_t>(period));
}

std::optional<double> WinRate::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  if (window_.full() && window_.oldest() > 0.0) --win_count_;
  if (x > 0.0) ++win_count_;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  return static_cast<double>(win_count_) / static_cast<double>(window_.size());
}

// ---- Tail measures

Expected<ValueAtRisk, IndicatorError> ValueAtRisk::create(std::uint64_t period, double confidence) {
  if (auto e = check_min_period(period, 2, "value-at-risk needs period >= 2")) return unexpected(*e);
  if (auto e = check_confidence(confidence)) return unexpected(*e);
  return ValueAtRisk(SortedWindow::create(period).value(), confidence);
}

std::optional<double> ValueAtRisk::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const std::vector<double>& s = window_.sorted();
  const double pos = (1.0 - confidence_) * static_cast<double>(s.size() - 1);
  const double lo = std::floor(pos);
  const double hi = std::ceil(pos);
  const std::size_t i = static_cast<std::size_t>(lo);
  const double q = lo == hi ? s[i] : s[i] + (pos - lo) * (s[static_cast<std::size_t>(hi)] - s[i]);
  return q < 0.0 ? -q : 0.0;
}

Expected<ConditionalValueAtRisk, IndicatorError> ConditionalValueAtRisk::create(std::uint64_t period,
                                                                                double confidence) {
  if (auto e = check_min_period(period, 2, "conditional value-at-risk needs period >= 2")) return unexpected(*e);
  if (auto e = check_confidence(confidence)) return unexpected(*e);
  return ConditionalValueAtRisk(SortedWindow::create(period).value(), confidence);
}

std::optional<double> ConditionalValueAtRisk::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const std::vector<double>& s = window_.sorted();
  std::size_t k = static_cast<std::size_t>(std::floor((1.0 - confidence_) * static_cast<double>(s.size())));
  if (k == 0) k = 1;
  double sum = -0.0;
  for (std::size_t i = 0; i < k; ++i) sum += s[i];
  const double mean = sum / static_cast<double>(k);
  return mean < 0.0 ? -mean : 0.0;
}

Expected<TailRatio, IndicatorError> TailRatio::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "tail ratio needs period >= 2")) return unexpected(*e);
  return TailRatio(SortedWindow::create(period).value());
}

namespace {

// q95 / |q05| of an ascending list, or nothing when q05 is exactly 0.
std::optional<double> tail_ratio_of(std::span<const double> sorted) {
  const double q05 = sorted_quantile(sorted, 0.05);
  if (q05 == 0.0) return std::nullopt;
  return sorted_quantile(sorted, 0.95) / std::fabs(q05);
}

}  // namespace

std::optional<double> TailRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  return tail_ratio_of(window_.sorted()).value_or(0.0);
}

Expected<CommonSenseRatio, IndicatorError> CommonSenseRatio::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "common sense ratio needs period >= 2")) return unexpected(*e);
  return CommonSenseRatio(static_cast<std::size_t>(period));
}

std::optional<double> CommonSenseRatio::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  if (sorted_valid_) {
    if (window_.full()) {
      replace_sorted(sorted_, window_.oldest(), x);
    } else {
      make_room(sorted_, window_.capacity());
      insert_sorted(sorted_, x);
    }
  }
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  double gains = 0.0;
  double losses = 0.0;
  for (std::size_t i = 0; i < window_.size(); ++i) {
    gains += std::max(window_[i], 0.0);
    losses += std::max(-window_[i], 0.0);
  }
  if (!(losses > 0.0)) {
    sorted_valid_ = false;
    return 0.0;
  }
  if (!sorted_valid_) {
    sorted_.clear();
    sorted_.reserve(window_.size());
    for (std::size_t i = 0; i < window_.size(); ++i) sorted_.push_back(window_[i]);
    std::sort(sorted_.begin(), sorted_.end(), total_less);
    sorted_valid_ = true;
  }
  const auto tail = tail_ratio_of(sorted_);
  if (!tail) return 0.0;
  return (gains / losses) * *tail;
}

}  // namespace vsci
