// Counts are taken once per bar in member order; divisors are held at one
// (one member, or one unit of volume) so a section without decliners or down
// volume still gives a finite ratio.
#include "indicators/market_breadth.h"

#include <cmath>

#include "indicators/cores/window_checks.h"

namespace vsci {

BreadthCounts count_breadth(const CrossSection& s) {
  BreadthCounts c;
  for (const CrossSectionMember& m : s.members) {
    if (m.change > 0.0) {
      c.advancers += 1.0;
      c.up_volume = c.up_volume + m.volume;
    } else if (m.change < 0.0) {
      c.decliners += 1.0;
      c.down_volume = c.down_volume + m.volume;
    }
    if (m.new_high) c.new_highs += 1.0;
    if (m.new_low) c.new_lows += 1.0;
  }
  c.members = static_cast<double>(s.members.size());
  return c;
}

double net_advances(const BreadthCounts& c) { return c.advancers - c.decliners; }

double absolute_net_advances(const BreadthCounts& c) { return std::fabs(c.advancers - c.decliners); }

double advancers_to_decliners(const BreadthCounts& c) { return c.advancers / std::fmax(c.decliners, 1.0); }

double up_down_volume_ratio(const BreadthCounts& c) { return c.up_volume / std::fmax(c.down_volume, 1.0); }

double issues_to_volume_ratio(const BreadthCounts& c) {
  return (c.advancers / std::fmax(c.decliners, 1.0)) / (std::fmax(c.up_volume, 1.0) / std::fmax(c.down_volume, 1.0));
}

double net_new_highs(const BreadthCounts& c) { return c.new_highs - c.new_lows; }

// No member carries the flag (see FlaggedPercent); the engine's check keeps
// the member count above zero.
double flagged_percent(const BreadthCounts& c) {
  constexpr double kFlagged = 0.0;
  return 100.0 * kFlagged / c.members;
}

double net_up_volume(const BreadthCounts& c) { return c.up_volume - c.down_volume; }

double McClellanOscillator::update(const BreadthCounts& c) {
  const double r = 1000.0 * (c.advancers - c.decliners) / std::fmax(c.advancers + c.decliners, 1.0);
  if (!seeded_) {
    fast_ = r;
    slow_ = r;
    seeded_ = true;
  } else {
    fast_ = fast_ + (r - fast_) * 0.1;
    slow_ = slow_ + (r - slow_) * 0.05;
  }
  return fast_ - slow_;
}

std::optional<double> RatioAdjustedBreadthOscillator::update_bar(const BarContext& ctx) {
  if (ctx.cross_section == nullptr) return std::nullopt;
  return oscillator_.update(count_breadth(*ctx.cross_section));
}

std::optional<double> McClellanSummationIndex::update_bar(const BarContext& ctx) {
  if (ctx.cross_section == nullptr) return std::nullopt;
  summation_ = summation_ + oscillator_.update(count_breadth(*ctx.cross_section));
  return summation_;
}

BreadthThrust::BreadthThrust(std::uint64_t n)
    : n_(n), alpha_(2.0 / (static_cast<double>(n) + 1.0)), one_minus_alpha_(1.0 - alpha_) {}

Expected<BreadthThrust, IndicatorError> BreadthThrust::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return BreadthThrust(n);
}

std::optional<double> BreadthThrust::update_bar(const BarContext& ctx) {
  if (ctx.cross_section == nullptr) return std::nullopt;
  const BreadthCounts c = count_breadth(*ctx.cross_section);
  const double r = c.advancers / std::fmax(c.advancers + c.decliners, 1.0);
  if (seeded_) {
    average_ = alpha_ * r + one_minus_alpha_ * average_;
    return average_;
  }
  seed_sum_ = seed_sum_ + r;
  if (++seed_count_ < n_) return std::nullopt;
  average_ = seed_sum_ / static_cast<double>(n_);
  seeded_ = true;
  return average_;
}

double new_high_share(const BreadthCounts& c) { return 100.0 * c.new_highs / std::fmax(c.new_highs + c.new_lows, 1.0); }

}  // namespace vsci
