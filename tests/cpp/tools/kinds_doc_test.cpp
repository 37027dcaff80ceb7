// The kind reference: the committed docs/kinds.md is what the registry gives
// today, it names every kind, alias and parameter, and the warm-up column
// holds at parameters the writer never probed: the formula is what warmup()
// says, and the first value comes on the bar the column states (or, for a kind
// marked data-dependent, the column could not have stated one bar). The
// parameter ranges hold with the other parameters where the writer never put
// them, at their ends and at round values inside and outside, and an end
// stated beside a moving one holds whatever the others are.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "factory/build_indicator.h"
#include "support/bar_tape.h"
#include "kinds_doc.h"

namespace vsci {
namespace {

std::string committed_reference() {
  std::ifstream in(std::string(VSCI_SOURCE_DIR) + "/docs/kinds.md", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> text_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(KindsReference, CommittedFileIsWhatTheRegistryGivesToday) {
  const auto written = kinds_markdown();
  ASSERT_TRUE(written.ok()) << written.error();
  const std::vector<std::string> want = text_lines(written.value());
  const std::vector<std::string> have = text_lines(committed_reference());
  for (std::size_t i = 0; i < std::max(want.size(), have.size()); ++i) {
    const std::string w = i < want.size() ? want[i] : "<end of file>";
    const std::string h = i < have.size() ? have[i] : "<end of file>";
    ASSERT_EQ(h, w) << "docs/kinds.md is stale from line " << i + 1
                    << "; rewrite it with ./build/dev/kinds_doc > docs/kinds.md";
  }
}

TEST(KindsReference, ListsEveryKindAndAliasOnce) {
  const std::string text = committed_reference();
  auto occurrences = [&](const std::string& needle) {
    std::size_t n = 0;
    for (auto pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) ++n;
    return n;
  };
  for (const KindEntry* e : registry()) {
    EXPECT_EQ(occurrences("\n| `" + std::string(e->name) + "` |"), 1u) << e->name;
  }
  for (const KindAlias& a : kind_aliases()) {
    EXPECT_EQ(occurrences("\n| `" + std::string(a.alias) + "` | `" + std::string(a.target) + "` |"), 1u) << a.alias;
  }
}

TEST(KindsReference, EveryParameterIsNamedOnceInItsRow) {
  const std::string text = committed_reference();
  for (const KindEntry* e : registry()) {
    const auto row = text.find("\n| `" + std::string(e->name) + "` |");
    ASSERT_NE(row, std::string::npos) << e->name;
    const std::string line = text.substr(row + 1, text.find('\n', row + 1) - row - 1);
    std::set<std::string_view> seen;
    for (std::string_view n : std::span(e->param_names).first(e->params.size())) {
      EXPECT_TRUE(seen.insert(n).second) << e->name << " repeats the parameter name " << n;
      EXPECT_NE(line.find("`" + std::string(n) + "` "), std::string::npos) << e->name << ": " << n;
    }
  }
}

// Larger and wider-spread count parameters than the writer probed.
std::vector<double> unprobed(const KindEntry& e, int spread) {
  const auto example = e.example.view();
  std::vector<double> p(example.begin(), example.end());
  int step = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (e.params[i] == 'p' || e.params[i] == 'u') p[i] = p[i] * 2 + spread * ++step;
  }
  return p;
}

// A tape on a clock of `interval_ms` from an odd start, so calendar and
// session kinds meet day and month ends at different bars; with `flat`, every
// candle the same, so no swing, pattern or range ever forms.
testing::BarTape clocked_tape(std::size_t n, unsigned seed, std::int64_t interval_ms, std::int64_t start_ms,
                              bool flat = false) {
  testing::BarTape tape = testing::make_tape(n, seed);
  for (std::size_t i = 0; i < n; ++i) {
    Candle& c = tape.candles[i];
    c.time = 1'600'000'000'000LL + start_ms + static_cast<std::int64_t>(i) * interval_ms;
    if (flat) c = Candle{c.time, 100.0, 100.0, 100.0, 100.0, 1000.0};
  }
  return tape;
}

// The bar (from 1) of the kind's first value over the tape, 0 for none.
std::uint64_t bars_to_first_value(Indicator& ind, const testing::BarTape& tape) {
  for (std::size_t i = 0; i < tape.size(); ++i) {
    if (ind.update(tape.context(i))) return i + 1;
  }
  return 0;
}

TEST(KindsReference, FirstValuesComeWhereTheWarmupColumnSays) {
  const auto docs = describe_kinds();
  ASSERT_TRUE(docs.ok()) << docs.error();
  std::size_t exact = 0, data_dependent = 0;
  for (const KindDoc& k : docs.value()) {
    const KindEntry& e = *k.entry;
    SCOPED_TRACE(std::string(e.name));
    // Where the column gives only the example's value, only the example is stated.
    std::vector<std::vector<double>> lists;
    if (k.warmup) {
      lists = {unprobed(e, 3), unprobed(e, 11)};
    } else {
      lists = {std::vector<double>(e.example.view().begin(), e.example.view().end())};
    }
    for (const auto& p : lists) {
      auto built = build_indicator(e.name, p);
      if (!built.ok()) continue;
      const std::uint64_t stated = k.warmup ? static_cast<std::uint64_t>(k.warmup->at(p)) : k.warmup_at_example;
      ASSERT_EQ(built.value()->warmup(), stated);
      const std::size_t n = std::max<std::size_t>(400, 2 * std::min<std::uint64_t>(stated, 5000) + 60);
      std::vector<testing::BarTape> tapes;
      tapes.push_back(clocked_tape(n, 5, 3'600'000, 0));
      tapes.push_back(clocked_tape(n, 6, 60'000, 7 * 3'600'000 + 1234));
      tapes.push_back(clocked_tape(n, 7, 86'400'000, 13 * 86'400'000 + 11 * 3'600'000));
      if (e.first_value == FirstValue::WhenDataAllows) tapes.push_back(clocked_tape(n, 8, 3'600'000, 0, true));
      bool all_at_stated = true;
      for (const testing::BarTape& tape : tapes) {
        auto ind = build_indicator(e.name, p);
        const std::uint64_t first = bars_to_first_value(*ind.value(), tape);
        if (e.first_value == FirstValue::AtWarmup) {
          EXPECT_EQ(first, stated) << "first value on bar " << first;
        } else if (e.first_value == FirstValue::BarAfterWarmup) {
          EXPECT_EQ(first, stated + 1) << "first value on bar " << first;
        }
        all_at_stated = all_at_stated && first == stated;
      }
      if (e.first_value == FirstValue::WhenDataAllows) {
        EXPECT_FALSE(all_at_stated) << "marked data-dependent, yet its first value came on the warm-up bar on "
                                       "every clock and on flat candles";
        ++data_dependent;
      } else {
        ++exact;
      }
    }
  }
  EXPECT_GT(exact, 700u);
  EXPECT_GT(data_dependent, 40u);
}

// The formula must hold away from the probes it was learnt from.
TEST(KindsReference, WarmupFormulasHoldAtUnprobedParameters) {
  const auto docs = describe_kinds();
  ASSERT_TRUE(docs.ok()) << docs.error();
  std::size_t checked = 0;
  for (const KindDoc& k : docs.value()) {
    if (!k.warmup) continue;
    for (int spread : {3, 11}) {
      const std::vector<double> p = unprobed(*k.entry, spread);
      auto built = build_indicator(k.entry->name, p);
      if (!built.ok()) continue;
      EXPECT_EQ(static_cast<std::int64_t>(built.value()->warmup()), k.warmup->at(p)) << k.entry->name;
      ++checked;
    }
  }
  EXPECT_GT(checked, 300u);
}

// Whether the kind builds with position `pos` at `value` and the rest as `p`.
bool builds(const KindEntry& e, std::vector<double> p, std::size_t pos, double value) {
  p[pos] = value;
  return build_indicator(e.name, p).ok();
}

TEST(KindsReference, ParameterRangesHoldWithTheOtherParametersMovedAgain) {
  const auto docs = describe_kinds();
  ASSERT_TRUE(docs.ok()) << docs.error();
  constexpr double kMax = std::numeric_limits<double>::max();
  std::size_t ends = 0;
  for (const KindDoc& k : docs.value()) {
    const KindEntry& e = *k.entry;
    const auto example = e.example.view();
    for (std::size_t pos = 0; pos < example.size(); ++pos) {
      SCOPED_TRACE(std::string(e.name) + " #" + std::to_string(pos));
      // Counts tripled and numbers scaled by 3/4: neither move the writer made.
      std::vector<double> p(example.begin(), example.end());
      for (std::size_t j = 0; j < p.size(); ++j) {
        if (j != pos && e.params[j] != 'i') p[j] *= e.params[j] == 'f' ? 0.75 : 3.0;
      }
      if (!builds(e, p, pos, example[pos])) continue;
      const ParamRange& r = k.ranges[pos];
      const bool whole = e.params[pos] != 'f';
      // The limits of the type when no end is stated.
      double low = e.params[pos] == 'p' ? 1 : e.params[pos] == 'u' ? 0 : e.params[pos] == 'i' ? -2147483648.0 : -kMax;
      double high = e.params[pos] == 'p' ? 16777216 : e.params[pos] == 'u' ? 4294967295.0
                    : e.params[pos] == 'i' ? 2147483647.0 : kMax;
      bool low_taken = true, high_taken = true, bounded = false;
      for (const auto& [b, end, taken] : {std::tie(r.low, low, low_taken), std::tie(r.high, high, high_taken)}) {
        if (b.kind == ParamBound::Kind::Varies) bounded = true;
        if (b.kind == ParamBound::Kind::Fixed || b.kind == ParamBound::Kind::Other) {
          end = b.kind == ParamBound::Kind::Fixed ? b.value : p[b.other];
          taken = b.inclusive;
        }
      }
      if (r.step == 2 && std::fmod(low - example[pos], 2) != 0) low += 1;
      if (r.step == 2 && std::fmod(high - example[pos], 2) != 0) high -= 1;
      const double step = whole ? static_cast<double>(r.step) : 0;
      const auto beyond = [&](double v, double dir) { return whole ? v + dir * step : std::nextafter(v, dir * kMax); };
      if (r.low.kind != ParamBound::Kind::Varies) {
        EXPECT_EQ(builds(e, p, pos, low), low_taken) << "low end " << low;
        if (r.low.kind != ParamBound::Kind::None) {
          EXPECT_EQ(builds(e, p, pos, low_taken ? beyond(low, -1) : beyond(low, 1)), !low_taken) << "by " << low;
          ++ends;
        }
      }
      if (r.high.kind != ParamBound::Kind::Varies) {
        EXPECT_EQ(builds(e, p, pos, high), high_taken) << "high end " << high;
        if (r.high.kind != ParamBound::Kind::None) {
          EXPECT_EQ(builds(e, p, pos, high_taken ? beyond(high, 1) : beyond(high, -1)), !high_taken) << "by " << high;
          ++ends;
        }
      }
      if (bounded) continue;
      // Round values: built exactly when inside the stated range.
      for (double v : {-1000.0, -1.0, -0.5, 0.0, 0.25, 0.5, 1.0, 2.0, 3.0, 7.0, 64.0, 1000.0, 1e6}) {
        if (whole && (v != std::trunc(v) || std::fmod(v - example[pos], static_cast<double>(r.step)) != 0)) continue;
        const bool inside = (low_taken ? v >= low : v > low) && (high_taken ? v <= high : v < high);
        EXPECT_EQ(builds(e, p, pos, v), inside) << v;
      }
    }
  }
  EXPECT_GT(ends, 200u);
}

// An end stated beside "bounded by the other parameters" holds whatever they
// are: nothing beyond it builds with the others at the example, scaled as
// above, or with any one of them at a round value, and the end itself (or
// the value next to it inside) builds with one of them.
TEST(KindsReference, EndsBesideMovingOnesHoldWhateverTheOtherParametersAre) {
  const auto docs = describe_kinds();
  ASSERT_TRUE(docs.ok()) << docs.error();
  constexpr double kMax = std::numeric_limits<double>::max();
  constexpr double kRound[] = {-1000.0, -1.0, -0.5, 0.0, 0.25, 0.5, 1.0, 2.0, 3.0, 7.0, 64.0, 1000.0, 1e6};
  std::size_t ends = 0;
  for (const KindDoc& k : docs.value()) {
    const KindEntry& e = *k.entry;
    const auto example = e.example.view();
    for (std::size_t pos = 0; pos < example.size(); ++pos) {
      std::vector<std::vector<double>> settings = {{example.begin(), example.end()}, {example.begin(), example.end()}};
      for (std::size_t j = 0; j < example.size(); ++j) {
        if (e.params[j] != 'i') settings[1][j] *= e.params[j] == 'f' ? 0.75 : 3.0;
      }
      for (std::size_t j = 0; j < example.size(); ++j) {
        for (double v : kRound) {
          for (std::size_t from : {0, 1}) {
            if (j == pos) break;
            settings.push_back(settings[from]);
            settings.back()[j] = v;
          }
        }
      }
      const ParamRange& r = k.ranges[pos];
      for (const auto& [b, high] : {std::pair{r.low, false}, std::pair{r.high, true}}) {
        if (b.kind != ParamBound::Kind::Varies || !b.fixed_beyond) continue;
        SCOPED_TRACE(std::string(e.name) + " #" + std::to_string(pos) + (high ? " high end " : " low end ") +
                     std::to_string(b.value));
        const double dir = high ? 1.0 : -1.0;
        const auto next = [&](double v, double towards) {
          return e.params[pos] != 'f' ? v + towards * static_cast<double>(r.step) : std::nextafter(v, towards * kMax);
        };
        const double inside = b.inclusive ? b.value : next(b.value, -dir);
        const double outside = b.inclusive ? next(b.value, dir) : b.value;
        bool reached = false;
        for (const std::vector<double>& p : settings) {
          EXPECT_FALSE(builds(e, p, pos, outside));
          for (double v : kRound) {
            if (dir * (v - outside) >= 0) {
              EXPECT_FALSE(builds(e, p, pos, v)) << v;
            }
          }
          reached = reached || builds(e, p, pos, inside);
        }
        EXPECT_TRUE(reached) << "no setting takes " << inside;
        ++ends;
      }
    }
  }
  EXPECT_GE(ends, 10u);
}

}  // namespace
}  // namespace vsci
