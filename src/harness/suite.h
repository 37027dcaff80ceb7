// run_suite: runs every test of a suite on the worker pool and gathers the
// results, sorted by id. Workers share only the read-only tests and datasets;
// each result lands in its own pre-sized slot. Called from one thread at a
// time per suite; the runner must be safe to call concurrently.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "harness/envelopes.h"
#include "harness/strategy_format.h"
#include "util/expected.h"

namespace vsci {

struct SuiteResult {
  std::vector<TestResult> results;
  std::size_t passed = 0;
  std::size_t failed = 0;
};

// One test: its result, or the rendered text of the error that stopped it.
using TestRunner = std::function<Expected<TestResult, std::string>(const StrategyTest&, const Datasets&)>;

SuiteResult run_suite(const std::vector<StrategyTest>& tests, const Datasets& data, const TestRunner& run);

// {"results":[...],"passed":N,"failed":M}
std::string write_suite_result(const SuiteResult& suite);

}  // namespace vsci
