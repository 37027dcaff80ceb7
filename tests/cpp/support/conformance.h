// The conformance table: one row per registry kind, saying what the shared
// conformance test may expect of it. Each family's test file contributes its
// rows with a ConformanceRows object at namespace scope, so adding a family
// touches no shared list; the conformance test then checks that every
// registry row has exactly one conformance row and runs them all.
#pragma once

#include <string_view>
#include <vector>

namespace vsci::testing {

// Where the kind's first value comes is the registry row's to say
// (KindEntry::first_value), so the kind reference and this test read one fact.
struct ConformanceRow {
  std::string_view kind;
};

inline std::vector<ConformanceRow>& conformance_rows() {
  static std::vector<ConformanceRow> rows;
  return rows;
}

struct ConformanceRows {
  ConformanceRows(std::initializer_list<ConformanceRow> rows) {
    conformance_rows().insert(conformance_rows().end(), rows.begin(), rows.end());
  }
};

}  // namespace vsci::testing
