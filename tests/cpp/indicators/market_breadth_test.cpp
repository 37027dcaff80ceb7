// Market-breadth kinds against per-section formulas and lines over tapes with
// unchanged and all-advancing sections, and their construction checks.
#include "support/feed_tape.h"

namespace vsci::testing {
namespace {

struct Counts {  // advancers, decliners, up and down volume, new highs and lows
  double a = 0, d = 0, u = 0, w = 0, h = 0, l = 0;
};
using C = const Counts&;

std::vector<Counts> counts(const BarTape& t, std::size_t i) {
  Counts c;
  for (const CrossSectionMember& m : t.sections[i].members) {
    if (m.change > 0) c.a += 1, c.u += m.volume;
    if (m.change < 0) c.d += 1, c.w += m.volume;
    c.h += m.new_high, c.l += m.new_low;
  }
  return {c};
}

auto now(double (*f)(C)) { return newest<Counts>(f); }
double ad_ratio(C c) { return c.a / std::max(c.d, 1.0); }
double net_volume(C c) { return c.u - c.w; }

TEST(MarketBreadth, MatchReferences) {
  const auto mcclellan = [](bool summation) {  // over all sections so far
    return [=](const std::vector<Counts>& r, std::size_t j, const Params&) {
      double fast = 0.0, slow = 0.0, total = 0.0;
      for (std::size_t k = 0; k <= j; ++k) {
        const double x = 1000.0 * (r[k].a - r[k].d) / std::max(r[k].a + r[k].d, 1.0);
        fast = k == 0 ? x : fast + (x - fast) * 0.1, slow = k == 0 ? x : slow + (x - slow) * 0.05;
        total = total + (fast - slow);
      }
      return std::optional(summation ? total : fast - slow);
    };
  };
  const auto thrust = [](const std::vector<Counts>& r, std::size_t j, const Params& p) {  // over all sections so far
    std::vector<double> x;
    for (std::size_t k = 0; k <= j; ++k) x.push_back(r[k].a / std::max(r[k].a + r[k].d, 1.0));
    const double alpha = 2.0 / (p[0] + 1.0), keep = 1.0 - alpha;
    return seeded(x, std::size_t(p[0]), [=](double avg, double v) { return alpha * v + keep * avg; }).back();
  };
  const auto high_low = window<Counts>(0, [](std::span<const Counts> w, double n) {
    double sum = 0.0;
    for (C c : w) sum += 100.0 * c.h / std::max(c.h + c.l, 1.0);
    return sum / n;
  });
  expect_record_references<Counts>(counts, {
      {"TickIndex", now([](C c) { return c.a - c.d; }), {{}}},
      {"AbsoluteNetAdvances", now([](C c) { return std::fabs(c.a - c.d); }), {{}}},
      {"AdvancersToDecliners", now(ad_ratio), {{}}},
      {"UpDownVolumeRatio", now([](C c) { return c.u / std::max(c.w, 1.0); }), {{}}},
      {"IssuesToVolumeRatio", now([](C c) { return ad_ratio(c) / (std::max(c.u, 1.0) / std::max(c.w, 1.0)); }), {{}}},
      {"NewHighsNewLows", now([](C c) { return c.h - c.l; }), {{}}},
      {"PercentAboveMa", now([](C) { return 0.0; }), {{}}},
      {"BullishPercentIndex", now([](C) { return 0.0; }), {{}}},
      {"AdvanceDecline", running<Counts>([](C c) { return c.a - c.d; }), {{}}},
      {"CumulativeVolumeIndex", running<Counts>(net_volume), {{}}},
      {"NetUpVolumeLine", running<Counts>(net_volume), {{}}},
      {"RatioAdjustedBreadthOscillator", mcclellan(false), {{}}},
      {"McClellanSummationIndex", mcclellan(true), {{}}},
      {"BreadthThrust", thrust, {{1}, {3}, {20}}},
      {"HighLowIndex", high_low, {{1}, {4}, {20}}, 1e-12},
  });
}

TEST(MarketBreadth, ConstructionChecksInOrder) {
  expect_count_checks({"BreadthThrust", "HighLowIndex"},
                      {{"McClellanSummationIndex", {1, 2, 3}, ""}, {"TickIndex", {kNaN}, ""}});
}

}  // namespace
}  // namespace vsci::testing
