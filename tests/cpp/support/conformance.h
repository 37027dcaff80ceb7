// The kinds the family tests build by name (build_ok), noted from any test
// thread, so that after a whole run the conformance test can name a registry
// kind that no test of its family checks against a reference of its own. The
// conformance test itself walks the registry and keeps no list of kinds.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace vsci::testing {

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
