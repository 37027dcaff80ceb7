// Fuzz runs: a test re-run on perturbed copies of its dataset's candles, its
// property checks evaluated on every run. The perturbations draw from
// FuzzGenerator, a 128-bit permuted congruential generator (xorshift-low,
// random rotation, 64-bit outputs) seeded from the test's 64-bit seed, so a
// seed perturbs the same candles on every machine. Each test owns its
// generator; nothing here is shared between threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "harness/backtest_call.h"
#include "harness/session_error.h"
#include "harness/strategy_format.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

class FuzzGenerator {
 public:
  using u128 = unsigned __int128;

  // Eight 32-bit words of a small 64-bit congruential stream fill the state and
  // the increment; then one step.
  static FuzzGenerator from_seed(std::uint64_t seed);

  std::uint64_t next_u64();
  // A value between -a and a: ((a + a) * (u - 1)) - a, u in [1, 2) taking the
  // top 52 bits of one output. Each operation rounds on its own (no fma).
  double symmetric(double a);
  // A value in [0, 1) from the top 53 bits of one output.
  double unit();

 private:
  FuzzGenerator(u128 state, u128 inc) : state_(state), inc_(inc) {}
  void step() { state_ = state_ * kMultiplier + inc_; }

  static constexpr u128 kMultiplier =
      (static_cast<u128>(0x2360ED051FC65DA4ULL) << 64) | static_cast<u128>(0x4385DF649FCCF645ULL);

  u128 state_;
  u128 inc_;
};

// Why a perturbation cannot be drawn from (a jitter or gap_shock amount that is
// negative, NaN, or whose double overflows), naming the amount; nothing when it
// can. Checked before the first draw of a test.
std::optional<std::string> perturbation_fault(const Perturbation& p);

// A perturbed copy of `candles`; advances `rng` (five draws per candle for
// jitter, one for gap_shock and dropout). Times are never changed.
std::vector<Candle> perturb_candles(const Perturbation& p, const std::vector<Candle>& candles, FuzzGenerator& rng);

// The test's fuzz runs of its strategy (read as `strategy`) over its dataset's
// `candles`: one generator seeded once, `runs` perturbed backtests in order, a
// FuzzFailure for every property that fails in a run. Empty without a fuzz
// member or with 0 runs (nothing drawn). A bad amount is SessionError::BadSpec;
// a failed backtest ends the runs with its error.
Expected<std::vector<FuzzFailure>, SessionError> run_fuzz(const StrategyTest& test, const ReadStrategy& strategy,
                                                          const std::vector<Candle>& candles);

}  // namespace vsci
