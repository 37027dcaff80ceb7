// Pieces run as tasks of the worker pool's arena: from a thread outside it the
// call waits in the arena, and from one of its own workers it nests there.
#include "util/parallel.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task.h>
#include <tbb/task_arena.h>

#include "util/worker_pool.h"

namespace vsci {

bool pieces_pay_off() {
  // A task's context is set only while a thread runs one of a parallel
  // loop's tasks; a thread merely attached to an arena has none.
  return tbb::task::current_context() == nullptr && worker_pool().max_concurrency() > 1;
}

void for_each_piece(std::size_t pieces, const std::function<void(std::size_t)>& work) {
  if (pieces <= 1) {
    if (pieces == 1) work(0);
    return;
  }
  worker_pool().execute([&] {
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, pieces, 1), [&](const tbb::blocked_range<std::size_t>& range) {
      for (std::size_t k = range.begin(); k != range.end(); ++k) work(k);
    });
  });
}

}  // namespace vsci
