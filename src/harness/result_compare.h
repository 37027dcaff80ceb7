// The comparison of a test's expected document with the records of the run
// it checks: the failing fields, in field order, values rounded to 8
// decimals, as the two documents flattened and merged would give them. Pure
// over the arguments; thread-safe.
#pragma once

#include <vector>

#include "engine/result.h"
#include "harness/compare.h"
#include "harness/session_error.h"
#include "harness/strategy_format.h"
#include "util/expected.h"

namespace vsci {

// An expected text that does not parse is SessionError::Json with the
// parser's error.
Expected<std::vector<DiffEntry>, SessionError> compare_with_result(const ExpectedDocument& expected,
                                                                   const BacktestResult& result,
                                                                   const Tolerances& tolerances);

}  // namespace vsci
