// The fuzz generator against its published outputs, the derived draws and the
// perturbations against values worked from raw outputs, and the fuzz loop.
#include "harness/fuzz.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "json/reader.h"
#include "support/harness_calls.h"

namespace vsci {
namespace {

// Symmetric draw worked from a raw output: the 52 fraction bits over 2^52 are
// exactly u - 1.
double symmetric_from(std::uint64_t o, double a) { return (a + a) * std::ldexp(static_cast<double>(o >> 12), -52) - a; }
double unit_from(std::uint64_t o) { return std::ldexp(static_cast<double>(o >> 11), -53); }

std::vector<Candle> sample_candles(int n) {
  std::vector<Candle> out;
  for (int i = 0; i < n; ++i) {
    const double c = 100.0 + 3.0 * std::sin(i * 0.7);
    out.push_back(Candle{1000LL * i, c - 0.5, c + 2.0, c - 2.0, c, 50.0 + i});
  }
  return out;
}

Perturbation perturbation(Perturbation::Kind kind, double amount) {
  Perturbation p;
  p.kind = kind;
  p.amount = amount;
  return p;
}

TEST(FuzzGenerator, PublishedOutputsForSeeds0And42) {
  FuzzGenerator zero = FuzzGenerator::from_seed(0);
  EXPECT_EQ(zero.next_u64(), 2354861276966075475ULL);
  EXPECT_EQ(zero.next_u64(), 6411218084291373563ULL);
  EXPECT_EQ(zero.next_u64(), 13092586260176364081ULL);
  FuzzGenerator answer = FuzzGenerator::from_seed(42);
  EXPECT_EQ(answer.next_u64(), 4178418447715145737ULL);
  EXPECT_EQ(answer.next_u64(), 4410739922618931473ULL);
  EXPECT_EQ(answer.next_u64(), 14034899209665866285ULL);
}

TEST(FuzzGenerator, DerivedDrawsFollowTheRawOutputs) {
  FuzzGenerator raw = FuzzGenerator::from_seed(7);
  FuzzGenerator drawn = FuzzGenerator::from_seed(7);
  for (int i = 0; i < 200; ++i) {
    const double a = 0.001 * (i + 1);
    const double s = drawn.symmetric(a);
    EXPECT_EQ(s, symmetric_from(raw.next_u64(), a));
    EXPECT_GE(s, -a);
    EXPECT_LE(s, a);
    const double q = drawn.unit();
    EXPECT_EQ(q, unit_from(raw.next_u64()));
    EXPECT_GE(q, 0.0);
    EXPECT_LT(q, 1.0);
  }
}

TEST(PerturbCandles, DrawsPerCandleByKind) {
  const std::vector<Candle> candles = sample_candles(6);
  const struct {
    Perturbation p;
    int draws_per_candle;
  } cases[] = {{perturbation(Perturbation::Kind::Jitter, 0.1), 5},
               {perturbation(Perturbation::Kind::GapShock, 0.1), 1},
               {perturbation(Perturbation::Kind::Dropout, 0.5), 1}};
  for (const auto& c : cases) {
    FuzzGenerator rng = FuzzGenerator::from_seed(3);
    perturb_candles(c.p, candles, rng);
    perturb_candles(c.p, candles, rng);
    FuzzGenerator ref = FuzzGenerator::from_seed(3);
    for (int i = 0; i < 2 * 6 * c.draws_per_candle; ++i) ref.next_u64();
    EXPECT_EQ(rng.next_u64(), ref.next_u64());
  }
}

TEST(PerturbCandles, JitterScalesEachFieldByItsDraw) {
  const std::vector<Candle> candles = sample_candles(4);
  const double a = 0.2;
  FuzzGenerator rng = FuzzGenerator::from_seed(0);
  const std::vector<Candle> out = perturb_candles(perturbation(Perturbation::Kind::Jitter, a), candles, rng);
  FuzzGenerator raw = FuzzGenerator::from_seed(0);
  ASSERT_EQ(out.size(), candles.size());
  for (std::size_t i = 0; i < candles.size(); ++i) {
    const Candle& c = candles[i];
    const double o = c.open * (symmetric_from(raw.next_u64(), a) + 1.0);
    const double h = c.high * (symmetric_from(raw.next_u64(), a) + 1.0);
    const double l = c.low * (symmetric_from(raw.next_u64(), a) + 1.0);
    const double cl = c.close * (symmetric_from(raw.next_u64(), a) + 1.0);
    const double v = c.volume * (symmetric_from(raw.next_u64(), a) + 1.0);
    EXPECT_EQ(out[i].time, c.time);
    EXPECT_EQ(out[i].open, o);
    EXPECT_EQ(out[i].close, cl);
    EXPECT_EQ(out[i].high, std::max({h, l, o, cl}));
    EXPECT_EQ(out[i].low, std::min({h, l, o, cl}));
    EXPECT_EQ(out[i].volume, v);  // positive volumes stay positive under 20%
  }
}

TEST(PerturbCandles, JitterZeroKeepsConsistentCandlesAndFloorsVolume) {
  std::vector<Candle> candles = sample_candles(5);
  candles[2].volume = -7.0;
  FuzzGenerator rng = FuzzGenerator::from_seed(11);
  const std::vector<Candle> out = perturb_candles(perturbation(Perturbation::Kind::Jitter, 0.0), candles, rng);
  for (std::size_t i = 0; i < candles.size(); ++i) {
    EXPECT_EQ(out[i].open, candles[i].open);
    EXPECT_EQ(out[i].high, candles[i].high);
    EXPECT_EQ(out[i].low, candles[i].low);
    EXPECT_EQ(out[i].close, candles[i].close);
  }
  EXPECT_EQ(out[2].volume, 0.0);
  EXPECT_EQ(out[3].volume, candles[3].volume);
}

TEST(PerturbCandles, JitterSkipsNaNInExtremes) {
  std::vector<Candle> candles = {{0, 10.0, std::nan(""), 9.0, 11.0, std::nan("")}};
  FuzzGenerator rng = FuzzGenerator::from_seed(5);
  const std::vector<Candle> out = perturb_candles(perturbation(Perturbation::Kind::Jitter, 0.0), candles, rng);
  EXPECT_EQ(out[0].high, 11.0);
  EXPECT_EQ(out[0].low, 9.0);
  EXPECT_EQ(out[0].volume, 0.0);
}

TEST(PerturbCandles, GapShockMovesOnlyTheClose) {
  const std::vector<Candle> candles = sample_candles(300);
  FuzzGenerator rng = FuzzGenerator::from_seed(42);
  const std::vector<Candle> out = perturb_candles(perturbation(Perturbation::Kind::GapShock, 0.5), candles, rng);
  FuzzGenerator raw = FuzzGenerator::from_seed(42);
  for (std::size_t i = 0; i < candles.size(); ++i) {
    const Candle& c = candles[i];
    const double shocked = c.close + c.close * symmetric_from(raw.next_u64(), 0.5);
    EXPECT_EQ(out[i].close, shocked);
    EXPECT_EQ(out[i].open, c.open);
    EXPECT_EQ(out[i].time, c.time);
    EXPECT_EQ(out[i].volume, c.volume);
    EXPECT_EQ(out[i].high, std::max({c.high, c.low, c.open, shocked}));
    EXPECT_EQ(out[i].low, std::min({c.high, c.low, c.open, shocked}));
    EXPECT_GE(out[i].high, std::max(out[i].open, out[i].close));
    EXPECT_LE(out[i].low, std::min(out[i].open, out[i].close));
  }
}

TEST(PerturbCandles, DropoutKeepsCandlesDrawingAtLeastP) {
  const std::vector<Candle> candles = sample_candles(40);
  FuzzGenerator rng = FuzzGenerator::from_seed(9);
  const std::vector<Candle> out = perturb_candles(perturbation(Perturbation::Kind::Dropout, 0.3), candles, rng);
  FuzzGenerator raw = FuzzGenerator::from_seed(9);
  std::vector<std::int64_t> want;
  for (const Candle& c : candles) {
    if (unit_from(raw.next_u64()) >= 0.3) want.push_back(c.time);
  }
  ASSERT_GE(want.size(), 2u);
  std::vector<std::int64_t> got;
  for (const Candle& c : out) got.push_back(c.time);
  EXPECT_EQ(got, want);
}

TEST(PerturbCandles, DropoutFallsBackToTheFirstCandles) {
  const std::vector<Candle> candles = sample_candles(10);
  for (double p : {1.0, 2.0, std::nan("")}) {
    FuzzGenerator rng = FuzzGenerator::from_seed(1);
    const auto out = perturb_candles(perturbation(Perturbation::Kind::Dropout, p), candles, rng);
    ASSERT_EQ(out.size(), 2u) << p;
    EXPECT_EQ(out[0].time, 0);
    EXPECT_EQ(out[1].time, 1000);
  }
  FuzzGenerator rng = FuzzGenerator::from_seed(1);
  EXPECT_EQ(perturb_candles(perturbation(Perturbation::Kind::Dropout, 0.0), candles, rng).size(), 10u);
  EXPECT_EQ(perturb_candles(perturbation(Perturbation::Kind::Dropout, -3.0), candles, rng).size(), 10u);
  EXPECT_EQ(perturb_candles(perturbation(Perturbation::Kind::Dropout, 1.0), sample_candles(1), rng).size(), 1u);
  EXPECT_TRUE(perturb_candles(perturbation(Perturbation::Kind::Dropout, 1.0), {}, rng).empty());
}

TEST(PerturbationFault, BadAmountsAreNamed) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(perturbation_fault(perturbation(Perturbation::Kind::Jitter, 0.0)));
  EXPECT_FALSE(perturbation_fault(perturbation(Perturbation::Kind::GapShock, 0.5)));
  EXPECT_FALSE(perturbation_fault(perturbation(Perturbation::Kind::GapShock, 8e307)));
  EXPECT_FALSE(perturbation_fault(perturbation(Perturbation::Kind::Dropout, -5.0)));
  EXPECT_FALSE(perturbation_fault(perturbation(Perturbation::Kind::Dropout, std::nan(""))));
  const struct {
    Perturbation::Kind kind;
    double amount;
    const char* text;
  } bad[] = {{Perturbation::Kind::Jitter, -0.25, "jitter amount must be a non-negative number whose double is finite, got -0.25"},
             {Perturbation::Kind::GapShock, 1e308, "gap_shock amount must be a non-negative number whose double is finite, got 1e+308"},
             {Perturbation::Kind::Jitter, std::nan(""), "jitter amount must be a non-negative number whose double is finite, got NaN"},
             {Perturbation::Kind::GapShock, inf, "gap_shock amount must be a non-negative number whose double is finite, got inf"}};
  for (const auto& b : bad) EXPECT_EQ(perturbation_fault(perturbation(b.kind, b.amount)), b.text);
}

// ---------------------------------------------------------------- the fuzz loop

Expected<std::vector<FuzzFailure>, SessionError> fuzz_runs(const StrategyTest& t, const std::vector<Candle>& candles) {
  return run_fuzz(t, ReadStrategy(t.strategy), candles);
}

StrategyTest fuzz_test(const std::string& properties, const std::string& fuzz,
                       const std::string& indicator = "Sma") {
  auto t = read_strategy_test(doc(
      R"({"id":"f","dataset_ref":"d","property_checks":)" + properties + R"(,"fuzz":)" + fuzz +
      R"(,"strategy":{"symbol":"X","timeframe":"1m","indicators":{"a":{"type":")" + indicator +
      R"(","params":[2]}},"entry":{"gt":["a",0]},"exit":{"lt":["a",0]},"sizing":{"type":"fixed_qty","qty":1}}})"));
  if (!t) throw std::runtime_error(t.error().to_string());
  return std::move(t).value();
}

TEST(RunFuzz, FailuresCarryRunIndexAndPropertyInOrder) {
  const StrategyTest t = fuzz_test(R"([{"kind":"min_trades_ge","value":0},{"kind":"pnl_ge","value":1e12},)"
                                   R"({"kind":"field_in_range","field":"nope","min":0,"max":1}])",
                                   R"({"seed":42,"runs":3,"perturbation":{"kind":"gap_shock","amount":0.01}})");
  const auto r = fuzz_runs(t, sample_candles(30));
  ASSERT_TRUE(r.ok()) << r.error().to_string();
  ASSERT_EQ(r->size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ((*r)[i].run, i / 2);
    EXPECT_EQ((*r)[i].property.kind, i % 2 == 0 ? Property::Kind::PnlGe : Property::Kind::FieldInRange);
    EXPECT_EQ((*r)[i].detail, i % 2 == 0 ? std::nullopt : std::optional<std::string>("missing: nope"));
  }
}

TEST(RunFuzz, ZeroRunsDrawNothingAndBadAmountsFailFirst) {
  const std::string props = R"([{"kind":"pnl_ge","value":1e12}])";
  const auto none = fuzz_runs(fuzz_test(props, R"({"seed":1,"runs":0,"perturbation":{"kind":"jitter","amount":-1}})"),
                             sample_candles(5));
  ASSERT_TRUE(none.ok());
  EXPECT_TRUE(none->empty());
  // The strategy cannot be built, yet the amount is reported: it is checked before any run.
  const auto bad = fuzz_runs(fuzz_test(props, R"({"seed":1,"runs":2,"perturbation":{"kind":"gap_shock","amount":-1}})", "Nope"),
                            sample_candles(5));
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error().to_string(),
            "bad spec: gap_shock amount must be a non-negative number whose double is finite, got -1.0");
  const auto engine = fuzz_runs(fuzz_test(props, R"({"seed":1,"runs":2,"perturbation":{"kind":"gap_shock","amount":1}})", "Nope"),
                               sample_candles(5));
  ASSERT_FALSE(engine.ok());
  EXPECT_EQ(engine.error().to_string(), "backtest error: unknown indicator type: Nope");
}

}  // namespace
}  // namespace vsci
