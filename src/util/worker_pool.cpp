// The pool's size is read from the environment once per process, so every suite
// of a session runs on the same number of workers.
#include "util/worker_pool.h"

#include <tbb/global_control.h>
#include <tbb/task_arena.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace vsci {

namespace {

// The scheduler's own limit is the number of processors: a larger arena would
// be cut down to it, with a warning on stderr. Raising the limit first, for as
// long as the arena lives, lets every size be honoured.
struct Pool {
  Pool(std::size_t size, std::size_t processors)
      : limit(tbb::global_control::max_allowed_parallelism, std::max(size, processors)),
        arena(static_cast<int>(size)) {}
  tbb::global_control limit;
  tbb::task_arena arena;
};

}  // namespace

std::optional<unsigned long long> parse_thread_count(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  unsigned long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (value > (std::numeric_limits<unsigned long long>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::size_t pool_size_from(std::optional<std::string_view> rayon_num_threads,
                           std::optional<std::string_view> rayon_rs_num_cpus, std::size_t processors) {
  processors = std::max<std::size_t>(processors, 1);
  unsigned long long count = processors;
  std::optional<unsigned long long> primary;
  if (rayon_num_threads) primary = parse_thread_count(*rayon_num_threads);
  if (primary) {
    count = *primary == 0 ? processors : *primary;
  } else if (rayon_rs_num_cpus) {
    if (auto secondary = parse_thread_count(*rayon_rs_num_cpus); secondary && *secondary > 0) count = *secondary;
  }
  const unsigned long long limit = std::min<unsigned long long>(4ULL * processors, 1024ULL);
  return static_cast<std::size_t>(std::max<unsigned long long>(1, std::min(count, limit)));
}

std::size_t online_processors() {
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<std::size_t>(n) : 1;
}

tbb::task_arena& worker_pool() {
  // Never destroyed: the pool lives until the process exits, and tearing it
  // down during interpreter shutdown could race with a running suite.
  static Pool* pool = [] {
    auto env = [](const char* name) -> std::optional<std::string_view> {
      const char* v = std::getenv(name);
      if (v == nullptr) return std::nullopt;
      return std::string_view(v);
    };
    const std::size_t processors = online_processors();
    const std::size_t size = pool_size_from(env("RAYON_NUM_THREADS"), env("RAYON_RS_NUM_CPUS"), processors);
    auto* p = new Pool(size, processors);
    p->arena.initialize();
    return p;
  }();
  return pool->arena;
}

}  // namespace vsci
