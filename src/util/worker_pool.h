// The process-wide worker pool that runs a suite's tests, and the pieces of one
// long input, in parallel. Its size is decided once, on first use, from
// RAYON_NUM_THREADS, then RAYON_RS_NUM_CPUS, then the number of online
// processors, and is honoured above the number of processors too; it lives
// until the process exits and writes nothing anywhere. worker_pool() may be
// called from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include <tbb/task_arena.h>

namespace vsci {

// A decimal count: digits only after one optional leading '+', fitting an
// unsigned 64-bit integer. Anything else (empty, a lone sign, a minus, too
// large) is no count at all.
std::optional<unsigned long long> parse_thread_count(std::string_view text);

// The pool size for the given environment values (nullopt: unset), with
// `processors` online processors. A huge count is clamped to four times the
// processors and never above 1024, so that a typo cannot exhaust the machine.
std::size_t pool_size_from(std::optional<std::string_view> rayon_num_threads,
                           std::optional<std::string_view> rayon_rs_num_cpus, std::size_t processors);

// The number of online processors; 1 when the system cannot tell.
std::size_t online_processors();

// The pool, created on first use with pool_size_from(environment): exactly
// that many threads (the caller's included) may run in it at once.
tbb::task_arena& worker_pool();

}  // namespace vsci
