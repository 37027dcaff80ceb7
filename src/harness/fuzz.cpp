// Fuzzing perturbs the candles with a generator fully fixed by the test's seed,
// so a failing fuzz run is reproduced exactly on any machine.
#include "harness/fuzz.h"

#include <bit>
#include <cmath>

#include "harness/properties.h"
#include "json/number_format.h"
#include "util/interrupt.h"

namespace vsci {

namespace {

constexpr std::uint64_t kSeedMultiplier = 6364136223846793005ULL;
constexpr std::uint64_t kSeedIncrement = 11634580027462260723ULL;

// One word of the seeding stream: advance first, then permute the new state.
std::uint32_t seed_word(std::uint64_t& s) {
  s = s * kSeedMultiplier + kSeedIncrement;
  const auto t = static_cast<std::uint32_t>(((s >> 18) ^ s) >> 27);
  return std::rotr(t, static_cast<int>(s >> 59));
}

// Maximum and minimum that skip a NaN operand; on ties the first operand is
// kept, so signed zeros come out the same on every platform.
double max_of(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  return a < b ? b : a;
}
double min_of(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  return b < a ? b : a;
}

double max4(double a, double b, double c, double d) { return max_of(max_of(max_of(a, b), c), d); }
double min4(double a, double b, double c, double d) { return min_of(min_of(min_of(a, b), c), d); }

std::string amount_text(double a) {
  if (std::isnan(a)) return "NaN";
  if (std::isinf(a)) return a > 0 ? "inf" : "-inf";
  std::string s;
  json::append_f64(s, a);
  return s;
}

std::vector<Candle> jitter(const std::vector<Candle>& candles, double a, FuzzGenerator& rng) {
  std::vector<Candle> out;
  out.reserve(candles.size());
  for (const Candle& c : candles) {
    const double s1 = rng.symmetric(a);
    const double s2 = rng.symmetric(a);
    const double s3 = rng.symmetric(a);
    const double s4 = rng.symmetric(a);
    const double s5 = rng.symmetric(a);
    const double o = c.open * (s1 + 1.0);
    const double h = c.high * (s2 + 1.0);
    const double l = c.low * (s3 + 1.0);
    const double cl = c.close * (s4 + 1.0);
    const double v = c.volume * (s5 + 1.0);
    out.push_back(Candle{c.time, o, max4(h, l, o, cl), min4(l, h, o, cl), cl, max_of(v, 0.0)});
  }
  return out;
}

std::vector<Candle> gap_shock(const std::vector<Candle>& candles, double a, FuzzGenerator& rng) {
  std::vector<Candle> out;
  out.reserve(candles.size());
  for (const Candle& c : candles) {
    const double s = rng.symmetric(a);
    const double shock = c.close * s;
    const double cl = c.close + shock;
    out.push_back(Candle{c.time, c.open, max4(c.high, c.low, c.open, cl), min4(c.low, c.high, c.open, cl), cl,
                         max_of(c.volume, 0.0)});
  }
  return out;
}

std::vector<Candle> dropout(const std::vector<Candle>& candles, double p, FuzzGenerator& rng) {
  std::vector<Candle> out;
  for (const Candle& c : candles) {
    // Every candle draws, kept or not, so the stream advances the same way.
    if (rng.unit() >= p) out.push_back(c);
  }
  if (out.size() < 2) {
    const std::size_t n = candles.size() < 2 ? candles.size() : 2;
    out.assign(candles.begin(), candles.begin() + static_cast<std::ptrdiff_t>(n));
  }
  return out;
}

}  // namespace

FuzzGenerator FuzzGenerator::from_seed(std::uint64_t seed) {
  std::uint64_t w[4];
  for (std::uint64_t& word : w) {
    const std::uint64_t lo = seed_word(seed);
    const std::uint64_t hi = seed_word(seed);
    word = lo | (hi << 32);
  }
  const u128 state = (static_cast<u128>(w[1]) << 64) | w[0];
  const u128 inc = (static_cast<u128>(w[3]) << 64) | w[2] | 1U;
  FuzzGenerator g(state + inc, inc);
  g.step();
  return g;
}

std::uint64_t FuzzGenerator::next_u64() {
  step();
  const auto hi = static_cast<std::uint64_t>(state_ >> 64);
  const auto lo = static_cast<std::uint64_t>(state_);
  return std::rotr(hi ^ lo, static_cast<int>(hi >> 58));
}

double FuzzGenerator::symmetric(double a) {
  const double u = std::bit_cast<double>((next_u64() >> 12) | 0x3FF0000000000000ULL);
  const double width = a + a;
  const double scaled = width * (u - 1.0);
  return scaled - a;
}

double FuzzGenerator::unit() { return static_cast<double>(next_u64() >> 11) * 0x1p-53; }

std::optional<std::string> perturbation_fault(const Perturbation& p) {
  if (p.kind == Perturbation::Kind::Dropout) return std::nullopt;
  const double a = p.amount;
  if (!std::isnan(a) && a >= 0.0 && std::isfinite(a + a)) return std::nullopt;
  const char* kind = p.kind == Perturbation::Kind::Jitter ? "jitter" : "gap_shock";
  return std::string(kind) + " amount must be a non-negative number whose double is finite, got " + amount_text(a);
}

std::vector<Candle> perturb_candles(const Perturbation& p, const std::vector<Candle>& candles, FuzzGenerator& rng) {
  switch (p.kind) {
    case Perturbation::Kind::Jitter:
      return jitter(candles, p.amount, rng);
    case Perturbation::Kind::GapShock:
      return gap_shock(candles, p.amount, rng);
    case Perturbation::Kind::Dropout:
      return dropout(candles, p.amount, rng);
  }
  return candles;
}

Expected<std::vector<FuzzFailure>, SessionError> run_fuzz(const StrategyTest& test, const ReadStrategy& strategy,
                                                          const std::vector<Candle>& candles) {
  std::vector<FuzzFailure> failures;
  if (!test.fuzz || test.fuzz->runs == 0) return failures;
  const FuzzSpec& spec = *test.fuzz;
  if (auto fault = perturbation_fault(spec.perturbation)) return unexpected(SessionError::bad_spec(std::move(*fault)));
  FuzzGenerator rng = FuzzGenerator::from_seed(spec.seed);
  const std::vector<std::string> looked_up = looked_up_paths(test.property_checks);
  const bool curve = reads_equity_curve(test.property_checks);
  for (std::uint32_t run = 0; run < spec.runs; ++run) {
    check_interrupt();
    const std::vector<Candle> perturbed = perturb_candles(spec.perturbation, candles, rng);
    auto output = run_backtest_flat(strategy, perturbed, looked_up, curve);
    if (!output) return unexpected(std::move(output).error());
    for (PropertyResult& r : check_properties(test.property_checks, *output)) {
      if (!r.passed) failures.push_back(FuzzFailure{run, std::move(r.property), std::move(r.detail)});
    }
  }
  return failures;
}

}  // namespace vsci
