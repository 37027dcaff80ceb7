// Pieces run as tasks of the worker pool's arena: from a thread outside it the
// call waits in the arena, and from one of its own workers it nests there.
// Fresh pages cost a fault each on first write, which on one thread is a
// large part of filling a large buffer; populating them in pieces spreads it.
#include "util/parallel.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cstdint>

#include "util/interrupt.h"
#include "util/worker_pool.h"

namespace vsci {

namespace {

#if defined(__linux__)
#if defined(MADV_POPULATE_WRITE)
constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
constexpr int kPopulateWrite = 23;  // older headers lack the name; older kernels refuse it harmlessly
#endif
#endif

}  // namespace

bool pieces_pay_off() {
  // A task's context is set only while a thread runs one of a parallel
  // loop's tasks; a thread merely attached to an arena has none.
  return tbb::task::current_context() == nullptr && worker_pool().max_concurrency() > 1;
}

std::size_t pool_threads() { return static_cast<std::size_t>(worker_pool().max_concurrency()); }

void for_each_piece(std::size_t pieces, const std::function<void(std::size_t)>& work) {
  if (pieces <= 1) {
    if (pieces == 1) work(0);
    return;
  }
  // The pieces carry the caller's stop flag, so a long stage stops at its
  // next piece once the command was asked to stop. On the command's own
  // thread (a text read in pieces, wave after wave) nothing else looks for a
  // signal meanwhile: each wave, and each piece that thread takes, is a long
  // stretch of work to it.
  check_interrupt_seldom();
  const InterruptShare share;
  worker_pool().execute([&] {
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, pieces, 1), [&](const tbb::blocked_range<std::size_t>& range) {
      const InterruptShare::Attach attach(share);
      for (std::size_t k = range.begin(); k != range.end(); ++k) {
        check_interrupt_seldom();
        work(k);
      }
    });
  });
}

void touch_pages(void* begin, std::size_t bytes) {
#if defined(__linux__)
  constexpr std::size_t kPage = 4096;
  constexpr std::size_t kPrefaultBytes = std::size_t{16} << 20;
  const auto first = (reinterpret_cast<std::uintptr_t>(begin) + kPage - 1) & ~std::uintptr_t{kPage - 1};
  const auto last = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~std::uintptr_t{kPage - 1};
  if (last <= first || last - first < 2 * kPrefaultBytes || !pieces_pay_off()) return;
  const std::size_t span = last - first;
  for_each_piece((span + kPrefaultBytes - 1) / kPrefaultBytes, [&](std::size_t k) {
    const std::size_t from = k * kPrefaultBytes;
    // Populating is only a hint: pages it leaves are mapped when first
    // written, as they would have been.
    (void)::madvise(reinterpret_cast<void*>(first + from), std::min(kPrefaultBytes, span - from), kPopulateWrite);
  });
#else
  (void)begin;
  (void)bytes;
#endif
}

}  // namespace vsci
