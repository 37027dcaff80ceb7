// What every registry kind promises, checked on every row with no per-kind
// code: it builds from its example parameters; its first value comes where its
// registry row says (the bar warmup() names, the bar after, or where the data
// allows); a rejected input leaves no trace; two objects fed alike agree; named
// outputs are the declared names, fixed, every bar; update allocates nothing
// once its windows are full; a window declared at MAX_PERIOD costs only what
// it holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>

#include "factory/registry.h"
#include "indicators/indicator_error.h"
#include "support/alloc_counter.h"
#include "support/bar_tape.h"
#include "support/compare.h"
#include "support/conformance.h"

namespace vsci {
namespace {

using namespace vsci::testing;

IndicatorPtr build_example(const KindEntry& e) {
  auto built = build_indicator(e.name, e.example.view());
  if (!built.ok()) return nullptr;
  return std::move(built).value();
}

// A bar every input class rejects: prices and volume NaN, no reference, no
// side record.
const Candle& rejected_candle() {
  static const Candle c{0, kNaN, kNaN, kNaN, kNaN, kNaN};
  return c;
}

struct Step {
  std::optional<double> value;
  std::vector<NamedOutput> outputs;
};

Step step(Indicator& ind, const BarContext& ctx) {
  Step s;
  s.value = ind.update(ctx);
  const auto out = ind.outputs();
  s.outputs.assign(out.begin(), out.end());
  return s;
}

bool same_outputs(const std::vector<NamedOutput>& a, const std::vector<NamedOutput>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || !same_bits(a[i].value, b[i].value)) return false;
  }
  return true;
}

std::size_t tape_length(std::uint64_t warmup) {
  return static_cast<std::size_t>(std::max<std::uint64_t>(600, 3 * std::min<std::uint64_t>(warmup, 5000) + 60));
}

// After a whole run: every registry kind was built by name in its family's
// tests, beyond this walk of the registry, so each has a check against a
// reference of its own. A run of some tests only (a filter, a shard) proves nothing.
class EveryKindHasAFamilyTest : public ::testing::Environment {
 public:
  void TearDown() override {
    if (GTEST_FLAG_GET(filter) != "*" || std::getenv("GTEST_TOTAL_SHARDS") != nullptr) return;
    BuiltKinds& built = kinds_built_by_family_tests();
    const std::lock_guard<std::mutex> hold(built.lock);
    for (const KindEntry* e : registry()) {
      if (!built.names.contains(e->name)) ADD_FAILURE() << e->name << " is built by no test of its family";
    }
  }
};

[[maybe_unused]] ::testing::Environment* const kFamilyCoverage =
    ::testing::AddGlobalTestEnvironment(new EveryKindHasAFamilyTest);

void check_row(const KindEntry* e) {
    EXPECT_EQ(e->params.find_first_not_of("fpiu"), std::string_view::npos);
    std::set<std::string_view> names;
    for (std::string_view n : e->outputs) {
      EXPECT_FALSE(n.empty());
      EXPECT_EQ(n.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_"), std::string_view::npos) << n;
      EXPECT_TRUE(names.insert(n).second) << "repeated output " << n;
    }
    const IndicatorPtr ind = build_example(*e);
    ASSERT_NE(ind, nullptr) << "the example parameters do not build";
    EXPECT_TRUE(std::ranges::equal(ind->output_names(), e->outputs));
}

TEST(Conformance, RowsAreWellFormed) {
  for (const KindEntry* e : registry()) {
    SCOPED_TRACE(std::string(e->name));
    check_row(e);
  }
}

void check_stream(const KindEntry* e) {
    IndicatorPtr clean = build_example(*e);
    IndicatorPtr twin = build_example(*e);
    IndicatorPtr gapped = build_example(*e);
    ASSERT_TRUE(clean && twin && gapped);
    const std::uint64_t warmup = clean->warmup();
    const BarTape tape = make_tape(tape_length(warmup), 3);
    // One rejected bar inside the warm-up and one after values exist.
    const std::size_t early = static_cast<std::size_t>(std::min<std::uint64_t>(warmup / 2, tape.size() / 3));
    const std::size_t late = static_cast<std::size_t>(std::min<std::uint64_t>(warmup + 7, tape.size() - 5));
    BarContext rejected(rejected_candle());

    long first = -1;
    Step last_gapped;
    for (std::size_t i = 0; i < tape.size(); ++i) {
      const BarContext ctx = tape.context(i);
      const Step a = step(*clean, ctx);
      const Step b = step(*twin, ctx);
      if (i == early || i == late) {
        const Step r = step(*gapped, rejected);
        EXPECT_FALSE(r.value.has_value()) << "a rejected bar gave a value at bar " << i;
        EXPECT_TRUE(same_outputs(r.outputs, last_gapped.outputs)) << "a rejected bar changed the outputs";
      }
      const Step g = step(*gapped, ctx);
      last_gapped = g;
      ASSERT_TRUE(same_bits(a.value, b.value) && same_outputs(a.outputs, b.outputs))
          << "two objects fed alike differ at bar " << i;
      ASSERT_TRUE(same_bits(a.value, g.value) && same_outputs(a.outputs, g.outputs))
          << "a rejected bar left a trace: bar " << i << " gives " << show(g.value) << ", want " << show(a.value);
      if (a.value) {
        if (first < 0) first = static_cast<long>(i);
        ASSERT_EQ(a.outputs.size(), e->outputs.size()) << "bar " << i;
        for (std::size_t k = 0; k < a.outputs.size(); ++k) EXPECT_EQ(a.outputs[k].name, e->outputs[k]);
      } else if (first < 0) {
        EXPECT_TRUE(a.outputs.empty()) << "outputs before the first value, bar " << i;
      }
    }
    ASSERT_GE(first, 0) << "no value in " << tape.size() << " bars";
    if (e->first_value == FirstValue::AtWarmup) {
      EXPECT_EQ(static_cast<std::uint64_t>(first + 1), warmup) << "first value on bar " << first + 1;
    } else if (e->first_value == FirstValue::BarAfterWarmup) {
      EXPECT_EQ(static_cast<std::uint64_t>(first), warmup) << "first value on bar " << first + 1;
    }
}

TEST(Conformance, FirstValueRejectedBarsTwinsAndOutputs) {
  for (const KindEntry* e : registry()) {
    SCOPED_TRACE(std::string(e->name));
    check_stream(e);
  }
}

void check_no_allocation(const KindEntry* e) {
    IndicatorPtr ind = build_example(*e);
    ASSERT_NE(ind, nullptr);
    const std::size_t warm = tape_length(ind->warmup());
    const BarTape tape = make_tape(warm + 300, 5);
    for (std::size_t i = 0; i < warm; ++i) ind->update(tape.context(i));
    AllocationTally tally;
    {
      CountAllocations counting;
      for (std::size_t i = warm; i < tape.size(); ++i) {
        if (ind->update(tape.context(i))) (void)ind->outputs();
      }
      tally = counting.tally();
    }
    EXPECT_EQ(tally.count, 0u) << tally.bytes << " bytes";
}

TEST(Conformance, UpdateAllocatesNothingOnceFull) {
  for (const KindEntry* e : registry()) {
    SCOPED_TRACE(std::string(e->name));
    check_no_allocation(e);
  }
}

TEST(Conformance, WindowsAtMaxPeriodCostWhatTheyHold) {
  const BarTape tape = make_tape(200, 9);
  for (const KindEntry* e : registry()) {
    for (std::size_t pos = 0; pos < e->params.size(); ++pos) {
      if (e->params[pos] != 'p') continue;
      ExampleParams params = e->example;
      params.values[pos] = static_cast<double>(MAX_PERIOD);
      AllocationTally tally;
      bool built = false;
      {
        CountAllocations counting;
        auto r = build_indicator(e->name, params.view());
        if (r.ok()) {
          built = true;
          for (std::size_t i = 0; i < tape.size(); ++i) r.value()->update(tape.context(i));
        }
        tally = counting.tally();
      }
      if (!built) continue;  // the kind refuses that count with the others as they are
      EXPECT_LT(tally.bytes, 1u << 20) << e->name << " with parameter #" << pos << " at MAX_PERIOD";
    }
  }
}

}  // namespace
}  // namespace vsci
