// bless: runs a test's main backtest once and gives the test back with the
// whole output as its `expected`, for the caller to store as the new test. No
// comparison, property check or fuzz run takes place. Thread-safe.
#pragma once

#include <string>

#include "harness/envelopes.h"
#include "harness/session_error.h"
#include "harness/strategy_format.h"
#include "util/expected.h"

namespace vsci {

// The text of a copy of `test` whose `expected` is the backtest output, its
// objects in key order; whatever `expected` the test had is dropped.
Expected<std::string, SessionError> bless_answer(const StrategyTest& test, const Datasets& data);

}  // namespace vsci
