// The conformance table: one row per registry kind, saying what the shared
// conformance test may expect of it. Each family's test file contributes its
// rows with a ConformanceRows object at namespace scope, so adding a family
// touches no shared list; the conformance test then checks that every
// registry row has exactly one conformance row and runs them all. Beside it,
// the kinds the family tests build by name, so a full run can tell a kind no
// family test checks against its reference. Rows are added before main; the
// built kinds from any test thread.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
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

// The kinds built by name (build_ok) from a test in tests/cpp/indicators.
struct BuiltKinds {
  std::mutex lock;
  std::set<std::string, std::less<>> names;
};

inline BuiltKinds& kinds_built_by_family_tests() {
  static BuiltKinds built;
  return built;
}

inline void note_built_by_name(const std::string& kind) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  if (test == nullptr || std::string_view(test->file()).find("tests/cpp/indicators/") == std::string_view::npos) return;
  BuiltKinds& built = kinds_built_by_family_tests();
  const std::lock_guard<std::mutex> hold(built.lock);
  built.names.insert(kind);
}

}  // namespace vsci::testing
