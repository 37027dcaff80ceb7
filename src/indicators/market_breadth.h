// Market-breadth kinds: counts of advancing and declining members, their
// volumes, new highs and new lows, and the lines and oscillators built from
// them. A bar without a cross-section gives no value and is not a step of
// any line or average. Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/record_formula.h"
#include "indicators/cores/sma.h"
#include "indicators/indicator.h"
#include "util/expected.h"

namespace vsci {

// The counts of one cross-section (as numbers).
struct BreadthCounts {
  double advancers = 0.0;
  double decliners = 0.0;
  double up_volume = 0.0;
  double down_volume = 0.0;
  double new_highs = 0.0;
  double new_lows = 0.0;
  double members = 0.0;
};

BreadthCounts count_breadth(const CrossSection& s);

double net_advances(const BreadthCounts& c);
double absolute_net_advances(const BreadthCounts& c);
double advancers_to_decliners(const BreadthCounts& c);
double up_down_volume_ratio(const BreadthCounts& c);
double issues_to_volume_ratio(const BreadthCounts& c);
double net_new_highs(const BreadthCounts& c);
double flagged_percent(const BreadthCounts& c);

// The kinds whose value is one formula of the bar's counts.
template <double (*Formula)(const BreadthCounts&)>
double of_counts(const CrossSection& s) {
  return Formula(count_breadth(s));
}
template <double (*Formula)(const BreadthCounts&)>
using BreadthRatio = RecordFormula<&BarContext::cross_section, &of_counts<Formula>>;

using TickIndex = BreadthRatio<&net_advances>;
using AbsoluteNetAdvances = BreadthRatio<&absolute_net_advances>;
using AdvancersToDecliners = BreadthRatio<&advancers_to_decliners>;
using UpDownVolumeRatio = BreadthRatio<&up_down_volume_ratio>;
using IssuesToVolumeRatio = BreadthRatio<&issues_to_volume_ratio>;
using NewHighsNewLows = BreadthRatio<&net_new_highs>;
// PercentAboveMa and BullishPercentIndex: the share of members carrying an
// above-average or a bullish flag. A cross-section member has no such flags,
// so no member is ever counted and both give 0 on every cross-section.
using FlaggedPercent = BreadthRatio<&flagged_percent>;

// A running sum of one per-bar term of the counts.
template <double (*Term)(const BreadthCounts&)>
class BreadthLine {
 public:
  std::optional<double> update_bar(const BarContext& ctx) {
    if (ctx.cross_section == nullptr) return std::nullopt;
    line_ = line_ + Term(count_breadth(*ctx.cross_section));
    return line_;
  }
  std::uint64_t warmup() const { return 1; }

 private:
  double line_ = 0.0;
};

double net_up_volume(const BreadthCounts& c);

using AdvanceDecline = BreadthLine<&net_advances>;
// CumulativeVolumeIndex and NetUpVolumeLine are the same line.
using CumulativeVolumeIndex = BreadthLine<&net_up_volume>;

// The McClellan oscillator: fast and slow averages of the ratio-adjusted net
// advances, both seeded by the first reading.
class McClellanOscillator {
 public:
  double update(const BreadthCounts& c);

 private:
  double fast_ = 0.0;
  double slow_ = 0.0;
  bool seeded_ = false;
};

class RatioAdjustedBreadthOscillator {
 public:
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return 1; }

 private:
  McClellanOscillator oscillator_;
};

class McClellanSummationIndex {
 public:
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return 1; }

 private:
  McClellanOscillator oscillator_;
  double summation_ = 0.0;
};

// An average of the advancing share, seeded by the plain mean of the first n
// readings and then smoothed by 2 / (n + 1), in two rounded products.
class BreadthThrust {
 public:
  static Expected<BreadthThrust, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return n_; }

 private:
  explicit BreadthThrust(std::uint64_t n);
  std::uint64_t n_;
  double alpha_;
  double one_minus_alpha_;
  double seed_sum_ = 0.0;
  std::uint64_t seed_count_ = 0;
  double average_ = 0.0;
  bool seeded_ = false;
};

// The simple average of the new-high share, 100 * H / max(H + L, 1).
double new_high_share(const BreadthCounts& c);
using HighLowIndex = RecordSeries<Sma, &BarContext::cross_section, &of_counts<&new_high_share>>;

}  // namespace vsci
