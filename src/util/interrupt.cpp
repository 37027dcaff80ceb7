// The stop flag travels by thread-local pointer so that the engine's bar loop
// pays one load and one branch per bar, and no signature below the harness has
// to carry it.
#include "util/interrupt.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vsci {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPollEvery = std::chrono::milliseconds(100);

struct ThreadState {
  const std::atomic<bool>* stop = nullptr;  // the current command's flag
  InterruptScope* scope = nullptr;          // set on the command's own thread only
  unsigned ticks = 0;
  Clock::time_point next_poll{};
};

thread_local ThreadState t_state;

}  // namespace

InterruptScope::InterruptScope(Poll poll) : poll_(poll), outer_(t_state.scope) {
  t_state.scope = this;
  t_state.stop = &stop_;
  t_state.next_poll = Clock::now() + kPollEvery;
}

InterruptScope::~InterruptScope() {
  t_state.scope = outer_;
  t_state.stop = outer_ != nullptr ? &outer_->stop_ : nullptr;
}

bool InterruptScope::poll_now() {
  if (!stop_.load(std::memory_order_relaxed) && poll_ != nullptr && poll_()) {
    stop_.store(true, std::memory_order_relaxed);
  }
  return stop_.load(std::memory_order_relaxed);
}

void check_interrupt() {
  ThreadState& s = t_state;
  if (s.stop == nullptr) return;
  if (s.stop->load(std::memory_order_relaxed)) throw Interrupted();
  // The clock is read once every 256 checks: bars are far shorter than 0.1 s.
  if (s.scope == nullptr || (++s.ticks & 255u) != 0) return;
  const Clock::time_point now = Clock::now();
  if (now < s.next_poll) return;
  s.next_poll = now + kPollEvery;
  if (s.scope->poll_now()) throw Interrupted();
}

bool interrupt_requested() {
  const std::atomic<bool>* stop = t_state.stop;
  return stop != nullptr && stop->load(std::memory_order_relaxed);
}

void run_while_polling(const std::function<void()>& work) {
  InterruptScope* scope = t_state.scope;
  if (scope == nullptr) {
    work();
    return;
  }
  const InterruptShare share;
  std::exception_ptr failure;
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread helper([&] {
    const InterruptShare::Attach attach(share);
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(m);
    done = true;
    cv.notify_one();
  });
  {
    std::unique_lock<std::mutex> lock(m);
    while (!cv.wait_for(lock, kPollEvery, [&] { return done; })) {
      lock.unlock();
      scope->poll_now();
      lock.lock();
    }
  }
  helper.join();
  if (failure) std::rethrow_exception(failure);
}

InterruptShare::InterruptShare() : stop_(t_state.stop) {}

InterruptShare::Attach::Attach(const InterruptShare& share) : saved_(t_state.stop) { t_state.stop = share.stop_; }

InterruptShare::Attach::~Attach() { t_state.stop = saved_; }

}  // namespace vsci
