#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "harness/envelopes.h"
#include "harness/run_one.h"
#include "harness/session.h"
#include "harness/suite.h"
#include "json/reader.h"
#include "util/worker_pool.h"

namespace vsci {
namespace {

TEST(WorkerPool, SizeFromEnvironment) {
  using S = std::optional<std::string_view>;
  EXPECT_EQ(pool_size_from(S("3"), S("5"), 8), 3u);
  EXPECT_EQ(pool_size_from(S("+4"), std::nullopt, 8), 4u);
  EXPECT_EQ(pool_size_from(S("0"), S("5"), 8), 8u);  // 0: the processors
  for (const char* bad : {"abc", "-2", "", "+", "2x", " 2", "18446744073709551616"}) {
    EXPECT_EQ(pool_size_from(S(bad), S("5"), 8), 5u) << bad;
    EXPECT_EQ(pool_size_from(S(bad), std::nullopt, 8), 8u) << bad;
  }
  EXPECT_EQ(pool_size_from(std::nullopt, S("0"), 6), 6u);
  EXPECT_EQ(pool_size_from(std::nullopt, S("abc"), 6), 6u);
  EXPECT_EQ(pool_size_from(std::nullopt, std::nullopt, 0), 1u);
  // A typo cannot ask for millions of threads.
  EXPECT_EQ(pool_size_from(S("18446744073709551615"), std::nullopt, 8), 32u);
  EXPECT_EQ(pool_size_from(S("5000"), std::nullopt, 512), 1024u);
  EXPECT_EQ(parse_thread_count("+007"), 7u);
  EXPECT_FALSE(parse_thread_count("++7"));
}

// Run by PoolOfThreeThreadsPerProcessor in a child process of its own (the
// pool is sized once per process): every thread of the pool must be inside
// one parallel loop at the same time. Skipped when run directly.
TEST(WorkerPoolChild, AllItsThreadsRunAtOnce) {
  const char* want = std::getenv("VSCI_POOL_CHILD_SIZE");
  if (want == nullptr) GTEST_SKIP() << "run by WorkerPool.PoolOfThreeThreadsPerProcessor";
  const int size = std::atoi(want);
  ASSERT_EQ(worker_pool().max_concurrency(), size);
  std::atomic<int> inside{0};
  std::atomic<int> most{0};
  // Waits (at most 20 s, so that a short pool fails rather than hangs) until
  // every thread has arrived.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  worker_pool().execute([&] {
    tbb::parallel_for(
        tbb::blocked_range<int>(0, size, 1),
        [&](const tbb::blocked_range<int>&) {
          const int now = ++inside;
          int seen = most.load();
          while (now > seen && !most.compare_exchange_weak(seen, now)) {
          }
          while (most.load() < size && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
          --inside;
        },
        tbb::simple_partitioner());
  });
  EXPECT_EQ(most.load(), size);
}

// Runs `test` of this binary in a child process of its own (the pool is sized
// once per process) with `extra` added to an environment cleared of our own
// variables. Whether it passed, and what it wrote to stderr.
std::pair<bool, std::string> run_child(const std::string& test, const std::vector<std::string>& extra) {
  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view v(*e);
    const bool ours = v.starts_with("RAYON_") || v.starts_with("GTEST_") || v.starts_with("VSCI_");
    if (!ours) env_text.emplace_back(v);
  }
  env_text.insert(env_text.end(), extra.begin(), extra.end());
  std::vector<char*> env;
  for (std::string& e : env_text) env.push_back(e.data());
  env.push_back(nullptr);
  std::string self = "/proc/self/exe", filter = "--gtest_filter=" + test;
  char* argv[] = {self.data(), filter.data(), nullptr};

  char err_path[] = "/tmp/vsci_child_stderr_XXXXXX";
  const int err = ::mkstemp(err_path);
  if (err < 0) return {false, "no scratch file"};
  ::unlink(err_path);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  pid_t child = 0;
  const int spawned = ::posix_spawn(&child, self.c_str(), &actions, nullptr, argv, env.data());
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  const bool passed = spawned == 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  std::string written(4096, '\0');
  const ssize_t n = ::pread(err, written.data(), written.size(), 0);
  ::close(err);
  written.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return {passed, written};
}

// A count of three threads per processor gives a pool of that many threads,
// and nothing reaches stderr.
TEST(WorkerPool, PoolOfThreeThreadsPerProcessor) {
  const std::size_t size = 3 * online_processors();
  ASSERT_EQ(pool_size_from(std::to_string(size), std::nullopt, online_processors()), size);
  const auto [passed, written] = run_child("WorkerPoolChild.AllItsThreadsRunAtOnce",
                                           {"RAYON_NUM_THREADS=" + std::to_string(size),
                                            "VSCI_POOL_CHILD_SIZE=" + std::to_string(size)});
  EXPECT_TRUE(passed) << "the child's pool test failed";
  EXPECT_EQ(written, "");
}

// Run by SuiteAtOneThread in a child process: one thread takes the tests in
// order, so a suite whose first test holds an unreadable expected text runs
// that test alone and is answered by the tree; a readable one runs each test
// once. Skipped when run directly.
TEST(SuiteChild, StopsAtAnUnreadableExpectedText) {
  if (std::getenv("VSCI_SUITE_CHILD") == nullptr) GTEST_SKIP() << "run by Suite.StopsAtAnUnreadableExpectedText";
  ASSERT_EQ(worker_pool().max_concurrency(), 1);
  const std::string strategy =
      R"({"symbol":"S","timeframe":"1h","indicators":{"f":{"type":"Sma","params":[2]}},"entry":{"gt":["f","f"]},)"
      R"("exit":{"lt":["f","f"]},"sizing":{"type":"fixed_qty","qty":1}})";
  std::string candles = "[";
  for (int i = 0; i < 50; ++i) candles += (i ? ",[" : "[") + std::to_string(i * 60000) + ",10,12,9,11]";
  candles += "]";
  const auto suite = [&](const std::string& first_expected) {
    std::string text = R"({"cmd":"run_suite","tests":[)";
    for (int i = 0; i < 6; ++i) {
      text += (i ? "," : "") + std::string(R"({"id":"t)") + std::to_string(i) + R"(","dataset_ref":"d","strategy":)" +
              strategy + R"(,"expected":)" + (i == 0 ? first_expected : "[1]") + "}";
    }
    return text + R"(],"data":{"d":)" + candles + "}}";
  };
  const std::string bad = suite(R"({"m":[1 2]})");
  std::uint64_t before = TEST_tests_run();
  const std::string answer = Session::command(bad);
  EXPECT_EQ(TEST_tests_run() - before, 1U);
  EXPECT_EQ(answer.rfind(R"({"error":"json error: )", 0), 0U) << answer;
  EXPECT_EQ(answer, command_from_tree(bad));
  before = TEST_tests_run();
  EXPECT_EQ(Session::command(suite("[2]")).rfind(R"({"results":)", 0), 0U);
  EXPECT_EQ(TEST_tests_run() - before, 6U);
}

TEST(Suite, StopsAtAnUnreadableExpectedText) {
  const auto [passed, written] =
      run_child("SuiteChild.StopsAtAnUnreadableExpectedText", {"RAYON_NUM_THREADS=1", "VSCI_SUITE_CHILD=1"});
  EXPECT_TRUE(passed) << written;
}

std::vector<StrategyTest> tests_with_ids(std::initializer_list<const char*> ids) {
  std::vector<StrategyTest> tests;
  for (const char* id : ids) {
    StrategyTest t;
    t.id = id;
    t.dataset_ref = std::string("data-") + id;
    tests.push_back(t);
  }
  return tests;
}

TEST(Suite, ResultsSortedStablyWithErrorsFolded) {
  auto tests = tests_with_ids({"b", "x", "a", "x", "ab", "c"});
  tests[1].dataset_ref = "first";
  tests[3].dataset_ref = "second";
  std::atomic<int> calls{0};
  const TestRunner run = [&](const StrategyTest& t, const Datasets&) -> Expected<TestResult, std::string> {
    ++calls;
    if (t.id == "c") throw std::runtime_error("boom");
    if (t.id == "x") return unexpected("data error: missing dataset: " + t.dataset_ref);
    TestResult r;
    r.id = t.id;
    r.passed = t.id != "ab";
    return r;
  };
  const SuiteResult s = run_suite(tests, {}, run);
  EXPECT_EQ(calls.load(), 6);
  ASSERT_EQ(s.results.size(), 6u);
  std::vector<std::string> order;
  for (const auto& r : s.results) order.push_back(r.id);
  EXPECT_EQ(order, (std::vector<std::string>{"a", "ab", "b", "c", "x", "x"}));
  EXPECT_EQ(*s.results[4].error, "data error: missing dataset: first");
  EXPECT_EQ(*s.results[5].error, "data error: missing dataset: second");
  EXPECT_EQ(*s.results[3].error, "internal error: boom");
  EXPECT_EQ(s.passed, 2u);
  EXPECT_EQ(s.failed, 4u);
  EXPECT_EQ(write_suite_result(run_suite({}, {}, run)), R"({"results":[],"passed":0,"failed":0})");
}

TEST(Suite, ManyTestsGiveTheSameAnswerAsASerialRun) {
  std::vector<StrategyTest> tests;
  for (int i = 0; i < 300; ++i) {
    StrategyTest t;
    t.id = "t" + std::to_string((i * 7919) % 101);
    t.dataset_ref = std::to_string(i);
    tests.push_back(t);
  }
  const TestRunner run = [](const StrategyTest& t, const Datasets&) -> Expected<TestResult, std::string> {
    TestResult r;
    r.id = t.id;
    r.passed = std::stoi(t.dataset_ref) % 3 == 0;
    r.error = t.dataset_ref;  // carries the input position for the check below
    return r;
  };
  const SuiteResult s = run_suite(tests, {}, run);
  for (std::size_t i = 1; i < s.results.size(); ++i) {
    ASSERT_LE(s.results[i - 1].id, s.results[i].id);
    if (s.results[i - 1].id == s.results[i].id) {
      ASSERT_LT(std::stoi(*s.results[i - 1].error), std::stoi(*s.results[i].error));
    }
  }
  EXPECT_EQ(s.passed, 100u);
}

TEST(Envelopes, ListIdsSortBytewiseKeepingDuplicates) {
  std::vector<std::string> ids = {"b", "a", "b", "B", "ab", "\xc3\xa9", "a"};
  sort_ids(ids);
  EXPECT_EQ(write_ids_answer(ids), "{\"ids\":[\"B\",\"a\",\"a\",\"ab\",\"b\",\"b\",\"\xc3\xa9\"]}");
}

std::string envelope_error(std::string_view text) {
  auto v = json::parse(text);
  if (!v) return "parse: " + v.error().to_string();
  auto e = read_envelope(*v, EnvelopeLayout::TestAndData);
  return e ? "<ok>" : e.error().to_string();
}

TEST(Envelopes, DatasetsAndCandles) {
  EXPECT_EQ(envelope_error(R"({"cmd":"run_test"})"), "missing field `test`");
  EXPECT_EQ(envelope_error(R"({"data":5,"test":7})"), "invalid type: integer `5`, expected a map");
  EXPECT_EQ(envelope_error(R"({"data":{"d":{}},"test":{}})"), "invalid type: map, expected a sequence");
  const std::string test = R"(,"test":{"id":"a","strategy":{},"dataset_ref":"d"}})";
  EXPECT_EQ(envelope_error(R"({"data":{"d":[[1,10,11,9]]})" + test),
            "invalid length 4, expected struct Candle with 6 elements");
  EXPECT_EQ(envelope_error(R"({"data":{"d":[[1,10,11,9,10,5,7]]})" + test),
            "invalid length 7, expected fewer elements in array");
  EXPECT_EQ(envelope_error(R"({"data":{"d":[{"time":1.5,"open":1,"high":1,"low":1,"close":1}]})" + test),
            "invalid type: floating point `1.5`, expected i64");
  EXPECT_EQ(envelope_error(R"({"data":{"d":[{"high":1}]})" + test), "missing field `time`");
  EXPECT_EQ(envelope_error(R"({"data":{"d":[5]})" + test), "invalid type: integer `5`, expected struct Candle");

  auto v = json::parse(R"({"data":{"z":[],"d":[[1,10,11,9,10],[2,10,11,9,10,5],{"time":-5,"open":1,"high":2,"low":0,"close":1,"x":0}]})" + test);
  auto env = read_envelope(*v, EnvelopeLayout::TestAndData);
  ASSERT_TRUE(env.ok()) << env.error().to_string();
  ASSERT_EQ(env->data.size(), 2u);
  EXPECT_EQ(env->data[0].first, "d");
  const auto* d = find_dataset(env->data, "d");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ((*d)[0].volume, 0.0);
  EXPECT_EQ((*d)[1].volume, 5.0);
  EXPECT_EQ((*d)[2].time, -5);
  EXPECT_EQ(find_dataset(env->data, "D"), nullptr);
}

}  // namespace
}  // namespace vsci
