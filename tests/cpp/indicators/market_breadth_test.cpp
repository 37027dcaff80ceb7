// Market-breadth kinds against per-section formulas and lines over tapes with
// unchanged and all-advancing sections, and their construction checks.
#include "support/batch_reference.h"
#include "support/feed_tape.h"

namespace vsci::testing {
namespace {

const ConformanceRows kConformance{
    {"AbsoluteNetAdvances"}, {"AdvanceDecline"}, {"AdvancersToDecliners"}, {"BreadthThrust"}, {"BullishPercentIndex"},
    {"CumulativeVolumeIndex"}, {"HighLowIndex"}, {"IssuesToVolumeRatio"}, {"McClellanSummationIndex"}, {"NetUpVolumeLine"},
    {"NewHighsNewLows"}, {"PercentAboveMa"}, {"RatioAdjustedBreadthOscillator"}, {"TickIndex"}, {"UpDownVolumeRatio"}};

struct Counts {
  double a = 0, d = 0, u = 0, w = 0, h = 0, l = 0;
};
using Sections = std::vector<Counts>;
using Value = std::optional<double>;

Sections counts(const FeedTape& t, std::size_t i) {
  Counts c;
  for (const CrossSectionMember& m : t.bars.sections[i].members) {
    if (m.change > 0) c.a += 1, c.u += m.volume;
    if (m.change < 0) c.d += 1, c.w += m.volume;
    c.h += m.new_high, c.l += m.new_low;
  }
  return {c};
}

// A batch reference over the readings of all sections so far.
auto batch(double (*reading)(const Counts&), Series (*reference)(const std::vector<double>&, std::size_t)) {
  return [=](const Sections& r, std::size_t j, const Params& p) {
    std::vector<double> v;
    for (std::size_t k = 0; k <= j; ++k) v.push_back(reading(r[k]));
    return reference(v, std::size_t(p[0])).back();
  };
}

auto now(double (*f)(const Counts&)) { return newest<Counts>(f); }
double ad_ratio(const Counts& c) { return c.a / std::max(c.d, 1.0); }
double net_volume(const Counts& c) { return c.u - c.w; }

TEST(MarketBreadth, MatchReferences) {
  const auto mcclellan = [](bool summation) {
    return [=](const Sections& r, std::size_t j, const Params&) {
      double fast = 0.0, slow = 0.0, total = 0.0;
      for (std::size_t k = 0; k <= j; ++k) {
        const double x = 1000.0 * (r[k].a - r[k].d) / std::max(r[k].a + r[k].d, 1.0);
        fast = k == 0 ? x : fast + (x - fast) * 0.1, slow = k == 0 ? x : slow + (x - slow) * 0.05;
        total = total + (fast - slow);
      }
      return Value(summation ? total : fast - slow);
    };
  };
  const auto thrust = [](const std::vector<double>& r, std::size_t n) {
    const double alpha = 2.0 / (double(n) + 1.0), keep = 1.0 - alpha;
    return seeded(r, n, [=](double avg, double x) { return alpha * x + keep * avg; });
  };
  expect_record_references<Counts>(counts, {
      {"TickIndex", now([](const Counts& c) { return c.a - c.d; }), {{}}},
      {"AbsoluteNetAdvances", now([](const Counts& c) { return std::fabs(c.a - c.d); }), {{}}},
      {"AdvancersToDecliners", now(ad_ratio), {{}}},
      {"UpDownVolumeRatio", now([](const Counts& c) { return c.u / std::max(c.w, 1.0); }), {{}}},
      {"IssuesToVolumeRatio", now([](const Counts& c) { return ad_ratio(c) / (std::max(c.u, 1.0) / std::max(c.w, 1.0)); }), {{}}},
      {"NewHighsNewLows", now([](const Counts& c) { return c.h - c.l; }), {{}}},
      {"PercentAboveMa", now([](const Counts&) { return 0.0; }), {{}}},
      {"BullishPercentIndex", now([](const Counts&) { return 0.0; }), {{}}},
      {"AdvanceDecline", running<Counts>([](const Counts& c) { return c.a - c.d; }), {{}}},
      {"CumulativeVolumeIndex", running<Counts>(net_volume), {{}}},
      {"NetUpVolumeLine", running<Counts>(net_volume), {{}}},
      {"RatioAdjustedBreadthOscillator", mcclellan(false), {{}}},
      {"McClellanSummationIndex", mcclellan(true), {{}}},
      {"BreadthThrust", batch([](const Counts& c) { return c.a / std::max(c.a + c.d, 1.0); }, thrust), {{1}, {3}, {20}}},
      {"HighLowIndex", batch([](const Counts& c) { return 100.0 * c.h / std::max(c.h + c.l, 1.0); },
                             [](const std::vector<double>& v, std::size_t n) { return ref::sma(v, n); }), {{1}, {4}, {20}}},
  });
}

TEST(MarketBreadth, ConstructionChecksInOrder) {
  expect_count_checks({"BreadthThrust", "HighLowIndex"}, {{"McClellanSummationIndex", {1, 2, 3}, ""}, {"TickIndex", {kNaN}, ""}});
}

}  // namespace
}  // namespace vsci::testing
