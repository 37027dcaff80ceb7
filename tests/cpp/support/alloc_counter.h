// Counts heap allocations made by this thread while a counter is live. The
// test binary replaces the global operator new to do the counting.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vsci::testing {

struct AllocationTally {
  std::uint64_t count = 0;
  std::uint64_t bytes = 0;
};

// Live for one scope; nested scopes are not supported.
class CountAllocations {
 public:
  CountAllocations();
  ~CountAllocations();
  AllocationTally tally() const;
};

}  // namespace vsci::testing
