// Stopping a command: its backtests run on a helper thread while the calling
// thread polls, so a stop is asked for whatever a bar costs and the work
// leaves at its next bar or periodogram row; what the work throws arrives
// unchanged, and an answer is the same as when the command runs in place.
#include <gtest/gtest.h>
#include <tbb/parallel_for.h>

#include <cfenv>
#include <atomic>
#include <chrono>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "engine/result.h"
#include "harness/result_compare.h"
#include "harness/session.h"
#include "harness/strategy_format.h"
#include "util/interrupt.h"
#include "util/parallel.h"
#include "util/worker_pool.h"

namespace vsci {
namespace {

int g_polls = 0;
int g_stop_at = 0;           // the poll that asks to stop; 0 for none
std::string g_nested;        // a command the first poll runs, as a signal handler may
std::string g_nested_answer;

bool poll() {
  if (++g_polls == 1 && !g_nested.empty()) g_nested_answer = Session::command(g_nested);
  return g_polls == g_stop_at;
}

// A scope on this thread whose `stop_at`-th poll asks to stop.
struct Polling {
  explicit Polling(int stop_at, std::string nested = "") {
    g_polls = 0, g_stop_at = stop_at, g_nested = std::move(nested), g_nested_answer.clear();
  }
  InterruptScope scope{poll};
};

TEST(CommandInterrupt, TheCallerPollsForTheWorkAndGetsWhatItThrows) {
  {
    const Polling polling(2);
    bool seen = false;
    EXPECT_THROW(run_while_polling([&] {
                   // Nothing here polls: the stop can only come from the caller.
                   for (int i = 0; i < 600000 && !TEST_interrupt_requested(); ++i)
                     std::this_thread::sleep_for(std::chrono::microseconds(100));
                   seen = TEST_interrupt_requested();
                   check_interrupt();
                 }),
                 Interrupted);
    EXPECT_TRUE(seen);
  }
  const Polling polling(0);
  EXPECT_THROW(run_while_polling([] { throw std::bad_alloc(); }), std::bad_alloc);
}

// The pieces of a long stage carry the command's stop flag: once a stop is
// asked for, no further piece starts and the stage ends with Interrupted.
TEST(CommandInterrupt, PieceStagesStopWhenAsked) {
  constexpr std::size_t kPieces = 400;
  std::atomic<std::size_t> ran{0};
  const auto stage = [&] {
    for_each_piece(kPieces, [&](std::size_t) {
      ++ran;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
  };
  {
    const Polling polling(1);
    EXPECT_THROW(run_while_polling(stage), Interrupted);
  }
  EXPECT_LT(ran.load(), kPieces);
  ran = 0;
  {
    const Polling polling(0);
    run_while_polling(stage);
  }
  EXPECT_EQ(ran.load(), kPieces);
}

std::string command(const std::string& cmd, const std::string& indicators, int bars) {
  std::string candles;
  for (int i = 0; i < bars; ++i) {
    const std::string c = std::to_string(100 + (i * 7) % 11);
    candles += (i ? ",[" : "[") + std::to_string(i * 60000LL) + "," + c + "," + c + ".5," + c + ".25," + c + ",10]";
  }
  return R"({"cmd":")" + cmd + R"(","test":{"id":"t","dataset_ref":"d","strategy":{"symbol":"T","timeframe":"1m",)"
         R"("indicators":)" + indicators + R"(,"entry":{"gt":["f",104]},"exit":{"lt":["f",103]},)"
         R"("sizing":{"type":"fixed_qty","qty":1}}},"data":{"d":[)" + candles + "]}}";
}

// A command's text is read on its own thread before any body runs, in pieces
// on the pool when there is more than one thread: the read looks for a stop
// as it goes, not only once the text is read.
TEST(CommandInterrupt, ALongTextStopsWhileItIsRead) {
  std::string text = command("bless", R"({"f":{"type":"Sma","params":[3]}})", 200'000);
  // No dataset of that name: after its read the command is an error answer.
  const std::string ref = R"("dataset_ref":"d")";
  text.replace(text.find(ref), ref.size(), R"("dataset_ref":"x")");
  const std::string answer = R"({"error":"data error: missing dataset: x","ok":false})";
  ASSERT_EQ(Session::command(text), answer);
  {
    const Polling polling(1);
    // The first poll is due 0.05 s after the scope is made: the read's first
    // look for a stop asks for one.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_THROW(Session::command(text), Interrupted);
    EXPECT_EQ(g_polls, 1);
  }
  EXPECT_EQ(Session::command(text), answer);
}

TEST(CommandInterrupt, BacktestCommandsAnswerAsInPlaceAndStopWhenAsked) {
  const std::string fast = R"({"f":{"type":"Sma","params":[3]}})";
  // Every bar past the window evaluates 1,098 * 1,096 cosines and sines.
  const std::string slow = R"({"f":{"type":"AutocorrelationPeriodogram","params":[5,1100]}})";
  for (const char* cmd : {"run_test", "bless"}) {
    const std::string text = command(cmd, fast, 300);
    const std::string in_place = Session::command(text);  // no scope: no helper
    EXPECT_NE(in_place.find("\"t\""), std::string::npos) << in_place;
    {
      const Polling polling(0);
      EXPECT_EQ(Session::command(text), in_place) << cmd;
    }
    {
      // The first poll starts a command of its own, which gets a helper of its
      // own; the second stops the slow one.
      const Polling polling(2, text);
      EXPECT_THROW(Session::command(command(cmd, slow, 1400)), Interrupted) << cmd;
      EXPECT_EQ(g_nested_answer, in_place);
    }
    EXPECT_EQ(Session::command(R"({"cmd":"version"})"), R"({"version":"0.2.0"})");
  }
  // The helper rounds as its caller does (a blessed answer shows the values).
  const std::string text = command("bless", fast, 300);
  std::fesetround(FE_UPWARD);
  const std::string upward = Session::command(text);
  std::string helped;
  {
    const Polling polling(0);
    helped = Session::command(text);
  }
  std::fesetround(FE_TONEAREST);
  EXPECT_EQ(helped, upward);
  EXPECT_NE(upward, Session::command(text));
}

// A run of `points` equity points, each point's equity `shift` above its index.
BacktestResult shifted_equity(int points, double shift) {
  BacktestResult r;
  r.symbol = "T";
  r.timeframe = "1m";
  for (int i = 0; i < points; ++i) r.equity.push_back({i, i + shift});
  return r;
}

// Runs `work` as one task of the worker pool, with this thread's stop flag,
// as a suite runs a test: there a stage is not cut into pieces but runs whole
// on one thread. What `work` throws reaches the caller.
void run_as_pool_task(const std::function<void()>& work) {
  const InterruptShare share;
  worker_pool().execute([&] {
    tbb::parallel_for(0, 1, [&](int) {
      const InterruptShare::Attach attach(share);
      work();
    });
  });
}

// After a changed strategy's last bar its test still compares every field and
// writes an entry for each that fails: both look for a stop as they go, in
// pieces on the pool and in one piece alike. The expected text is shorter than
// a read's stride between looks, so that only the comparison can find the stop.
TEST(CommandInterrupt, AChangedStrategysDiffStopsWhileItIsFormedAndWritten) {
  constexpr int kPoints = 40'000;
  const BacktestResult run = shifted_equity(kPoints, 0.0);
  const std::string expected = write_result(shifted_equity(kPoints, 0.5), MemberOrder::Key);
  ASSERT_LT(expected.size(), kStopCheckBytes);
  TestResult failed;
  failed.id = "t";
  const auto compare = [&] { failed.diff = compare_with_result(ExpectedDocument::of_text(expected), run, {}).value(); };
  compare();
  ASSERT_EQ(failed.diff.size(), static_cast<std::size_t>(kPoints));
  const std::string answer = write_test_result(failed);
  for (const bool whole : {false, true}) {
    const auto stage = [&](const std::function<void()>& work) {
      if (!whole) return work();
      run_as_pool_task([&] {
        EXPECT_FALSE(pieces_pay_off());
        work();
      });
    };
    {
      const Polling polling(0);
      stage(compare);
      stage([&] { EXPECT_EQ(write_test_result(failed), answer) << whole; });
    }
    Polling polling(1);
    ASSERT_TRUE(polling.scope.poll_now());
    EXPECT_THROW(stage(compare), Interrupted) << whole;
    EXPECT_THROW(stage([&] { write_test_result(failed); }), Interrupted) << whole;
  }
}

}  // namespace
}  // namespace vsci
