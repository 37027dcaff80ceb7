// Running one strategy test: the main backtest, the comparison of the test's
// expected document with the output under its tolerances, the property checks
// and the fuzz runs, giving the test's TestResult. Everything here reads its
// inputs and writes only its own data: any number of calls may run at once on
// different threads.
#pragma once

#include <cstdint>
#include <vector>

#include "harness/compare.h"
#include "harness/envelopes.h"
#include "harness/flat_document.h"
#include "harness/session_error.h"
#include "harness/strategy_format.h"
#include "util/expected.h"

namespace vsci {

// Runs `test` against the command's datasets: a missing dataset is
// SessionError::Data, and an error of the main run or of a fuzz run ends the
// test with that error. Otherwise the result: the diff (when the test has an
// expected document), the property results, the fuzz failures, and `passed`
// when all three are clean.
// An expected document in text form is read after the main run; when it does
// not parse the test ends with SessionError::Json.
Expected<TestResult, SessionError> run_test(const StrategyTest& test, const Datasets& data);

// For tests only: how many times run_test has been called in this process,
// so that a test can tell how often a command ran its tests (a run leaves no
// other trace).
std::uint64_t TEST_tests_run();

}  // namespace vsci
