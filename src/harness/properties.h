// Property checks: a test's property list evaluated on one flattened backtest
// output, one PropertyResult per property in list order. A
// check never fails as an operation: what it cannot find fails the property
// with a detail text. Pure over the arguments; thread-safe.
#pragma once

#include <vector>

#include "harness/compare.h"
#include "harness/flat_document.h"
#include "harness/strategy_format.h"

namespace vsci {

// The field paths the properties may look up, sorted: all that a flattened
// output must hold for them besides its equity curve.
std::vector<std::string> looked_up_paths(const std::vector<Property>& properties);
// Whether any of the properties reads the equity curve.
bool reads_equity_curve(const std::vector<Property>& properties);

std::vector<PropertyResult> check_properties(const std::vector<Property>& properties, const FlatDocument& output);

}  // namespace vsci
