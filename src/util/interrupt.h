// Cooperative interruption of a long command. The thread that runs a command
// installs an InterruptScope with a poll function (asked about every 0.05 s
// whether to stop, on that thread only); long work calls check_interrupt() at
// its bar and run boundaries, which throws Interrupted once a stop was asked
// for. Work handed to other threads carries the command's stop flag with an
// InterruptShare. Without a scope every check is a no-op.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>

namespace vsci {

class Interrupted : public std::exception {
 public:
  const char* what() const noexcept override { return "interrupted"; }
};

// Once per command, on the calling thread. `poll` returns true when the work
// must stop; it is only ever called on this thread.
class InterruptScope {
 public:
  using Poll = bool (*)();
  explicit InterruptScope(Poll poll);
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

  // Polls now (on the scope's thread) and raises the stop flag when asked to.
  bool poll_now();

 private:
  std::atomic<bool> stop_{false};
  Poll poll_;
  InterruptScope* outer_;
};

// Throws Interrupted when the current command was asked to stop; polls when
// called on the command's own thread and the last poll is ~0.05 s old.
void check_interrupt();
// A long walk over text looks for a stop every this many bytes.
inline constexpr std::size_t kStopCheckBytes = std::size_t{2} << 20;
// check_interrupt for such walks, whose checks come seldom: on the command's
// own thread each counts as many checks, so that the clock is read every
// other one and the poll still comes on time.
void check_interrupt_seldom();
// For tests only: whether the current command was asked to stop (never
// polls, never throws).
bool TEST_interrupt_requested();

// Runs `work` on a helper thread, which carries this thread's stop flag, while
// this thread keeps polling its scope every ~0.05 s: a stop is asked for on
// time however long one bar of the work takes, and the work's own checks
// cost one relaxed load. The helper is kept for this thread's later calls
// (and stopped when this thread ends). Without a scope on this thread, or
// without a thread to be had, runs `work` here. Rethrows what `work` threw
// (Interrupted and bad_alloc included) unchanged.
void run_while_polling(const std::function<void()>& work);

// Carries the current thread's command flag to other threads: capture it on
// the command's thread, then `Attach` on each worker for the span of a task.
class InterruptShare {
 public:
  InterruptShare();
  class Attach {
   public:
    explicit Attach(const InterruptShare& share);
    ~Attach();
    Attach(const Attach&) = delete;
    Attach& operator=(const Attach&) = delete;

   private:
    const std::atomic<bool>* saved_;
  };

 private:
  const std::atomic<bool>* stop_;
};

}  // namespace vsci
