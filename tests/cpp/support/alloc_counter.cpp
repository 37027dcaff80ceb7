// The replacement operator new behind CountAllocations: every form forwards to
// malloc and, while this thread counts, adds to its tally.
#include "support/alloc_counter.h"

#include <cstdlib>
#include <new>

namespace vsci::testing {
namespace {

thread_local bool t_counting = false;
thread_local AllocationTally t_tally;

void* counted(std::size_t size, std::size_t align) {
  if (t_counting) {
    ++t_tally.count;
    t_tally.bytes += size;
  }
  void* p = nullptr;
  if (align <= alignof(std::max_align_t)) {
    p = std::malloc(size == 0 ? 1 : size);
  } else {
    p = std::aligned_alloc(align, (size + align - 1) / align * align);
  }
  return p;
}

}  // namespace

CountAllocations::CountAllocations() {
  t_tally = {};
  t_counting = true;
}
CountAllocations::~CountAllocations() { t_counting = false; }
AllocationTally CountAllocations::tally() const { return t_tally; }

}  // namespace vsci::testing



void* operator new(std::size_t n) {
  if (void* p = vsci::testing::counted(n, 0)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (void* p = vsci::testing::counted(n, 0)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, std::align_val_t a) {
  if (void* p = vsci::testing::counted(n, static_cast<std::size_t>(a))) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n, std::align_val_t a) {
  if (void* p = vsci::testing::counted(n, static_cast<std::size_t>(a))) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return vsci::testing::counted(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return vsci::testing::counted(n, 0); }
// Kept out of the callers of a file grouped with this one: inlined there, a
// delete's free() would meet the caller's new, and the compiler warns of a
// mismatched pair.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
