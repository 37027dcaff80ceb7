// The stop flag travels by thread-local pointer so that the engine's bar loop
// pays one load and one branch per bar, and no signature below the harness has
// to carry it. A command's work runs on a helper kept for the calling thread,
// so the calling thread is free to poll on time.
#include "util/interrupt.h"

#include <chrono>
#include <cfenv>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include <unistd.h>

namespace vsci {

namespace {

using Clock = std::chrono::steady_clock;
// A signal waits up to one poll, then for the work's next check and for what
// it holds to be freed: at 50 ms the whole stays within about 0.1 s.
constexpr auto kPollEvery = std::chrono::milliseconds(50);
constexpr auto kWaitAwake = std::chrono::microseconds(100);

struct ThreadState {
  const std::atomic<bool>* stop = nullptr;  // the current command's flag
  InterruptScope* scope = nullptr;          // set on the command's own thread only
  unsigned ticks = 0;
  Clock::time_point next_poll{};
};

thread_local ThreadState t_state;

// Checks made on the command's own thread (work run_while_polling could not
// hand to a helper, or that was called without it) poll themselves, reading
// the clock once every 256 checks; a seldom check counts as `weight`.
constexpr unsigned kTicksPerClock = 256;
constexpr unsigned kSeldomWeight = kTicksPerClock / 2;

[[gnu::noinline]] void poll_by_clock(ThreadState& s, unsigned weight) {
  s.ticks += weight;
  if (s.ticks < kTicksPerClock) return;
  s.ticks = 0;
  const Clock::time_point now = Clock::now();
  if (now < s.next_poll) return;
  s.next_poll = now + kPollEvery;
  if (s.scope->poll_now()) throw Interrupted();
}

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

namespace {

[[gnu::always_inline]] inline void check_weighing(unsigned weight) {
  ThreadState& s = t_state;
  if (s.stop == nullptr) return;
  if (s.stop->load(std::memory_order_relaxed)) throw Interrupted();
  if (s.scope != nullptr) [[unlikely]] poll_by_clock(s, weight);
}

}  // namespace

void check_interrupt() { check_weighing(1); }

void check_interrupt_seldom() { check_weighing(kSeldomWeight); }

bool TEST_interrupt_requested() {
  const std::atomic<bool>* stop = t_state.stop;
  return stop != nullptr && stop->load(std::memory_order_relaxed);
}

namespace {

// A thread that runs the work of one calling thread's commands, one at a
// time: kept from command to command, so that a command pays a wake-up rather
// than a thread start (and the first touches of that thread's memory).
class HelperThread {
 public:
  HelperThread() : owner_(getpid()), thread_([this] { serve(); }) {}
  ~HelperThread() {
    {
      const std::lock_guard<std::mutex> lock(m_);
      quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // A child forked from the process that made this helper has no such thread.
  bool forked_away() const { return owner_ != getpid(); }
  // Not already running work for its caller (which may start a command again
  // from within a poll, through a signal handler).
  bool idle() const { return !busy_; }

  // Runs `work` with the caller's stop flag while the caller polls `scope`;
  // rethrows what `work` threw.
  void run(const std::function<void()>& work, InterruptScope& scope) {
    std::unique_lock<std::mutex> lock(m_);
    work_ = &work;
    stop_ = t_state.stop;
    // Rounding and denormal modes are per thread: the work keeps the caller's.
    std::fegetenv(&env_);
    done_.store(false, std::memory_order_relaxed);
    busy_ = true;
    wake_.notify_one();
    // Short work ends before a sleeping caller could be woken again: the
    // caller waits awake for a moment first.
    lock.unlock();
    const Clock::time_point awake_until = Clock::now() + kWaitAwake;
    while (!done_.load(std::memory_order_acquire) && Clock::now() < awake_until) {
    }
    lock.lock();
    while (!finished_.wait_for(lock, kPollEvery, [&] { return done_.load(std::memory_order_relaxed); })) {
      lock.unlock();
      scope.poll_now();
      lock.lock();
    }
    work_ = nullptr;
    busy_ = false;
    const std::exception_ptr failure = std::exchange(failure_, nullptr);
    lock.unlock();
    if (failure) std::rethrow_exception(failure);
  }

 private:
  void serve() {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
      wake_.wait(lock, [&] { return quit_ || (work_ != nullptr && !done_.load(std::memory_order_relaxed)); });
      if (quit_) return;
      const std::function<void()>& work = *work_;
      t_state.stop = stop_;
      std::fesetenv(&env_);
      lock.unlock();
      std::exception_ptr failure;
      try {
        work();
      } catch (...) {
        failure = std::current_exception();
      }
      t_state.stop = nullptr;
      lock.lock();
      failure_ = failure;
      done_.store(true, std::memory_order_release);
      finished_.notify_one();
    }
  }

  const pid_t owner_;
  std::mutex m_;
  std::condition_variable wake_;      // work handed over, or quit
  std::condition_variable finished_;  // the work is done
  const std::function<void()>* work_ = nullptr;
  const std::atomic<bool>* stop_ = nullptr;
  std::fenv_t env_{};
  std::exception_ptr failure_;
  std::atomic<bool> done_{false};  // also read without the lock while waiting awake
  bool quit_ = false;
  bool busy_ = false;  // touched by the caller only
  std::thread thread_;  // last: it starts serving once the rest is made
};

// The calling thread's helper, stopped when the calling thread ends.
struct HelperSlot {
  HelperThread* helper = nullptr;
  ~HelperSlot() {
    // In a forked child there is no thread to stop; the object is let go.
    if (helper != nullptr && !helper->forked_away()) delete helper;
  }
};

thread_local HelperSlot t_helper;

HelperThread& thread_helper() {
  HelperSlot& slot = t_helper;
  if (slot.helper != nullptr && slot.helper->forked_away()) slot.helper = nullptr;
  if (slot.helper == nullptr) slot.helper = new HelperThread;
  return *slot.helper;
}

}  // namespace

void run_while_polling(const std::function<void()>& work) {
  InterruptScope* scope = t_state.scope;
  if (scope == nullptr) {
    work();
    return;
  }
  HelperThread* helper = nullptr;
  std::optional<HelperThread> once;
  try {
    helper = &thread_helper();
    if (!helper->idle()) helper = &once.emplace();
  } catch (const std::system_error&) {
    // No thread to be had (a process at its thread or memory limit): the work
    // runs here, and check_interrupt polls by the clock instead.
    work();
    return;
  }
  helper->run(work, *scope);
}

InterruptShare::InterruptShare() : stop_(t_state.stop) {}

InterruptShare::Attach::Attach(const InterruptShare& share) : saved_(t_state.stop) { t_state.stop = share.stop_; }

InterruptShare::Attach::~Attach() { t_state.stop = saved_; }

}  // namespace vsci
