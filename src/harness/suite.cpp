// Tests of a suite run in parallel but answer in id order, and an exception in
// one test becomes that test's error instead of ending the suite.
#include "harness/suite.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <exception>

#include "util/worker_pool.h"
#include "json/writer.h"
#include "util/interrupt.h"

namespace vsci {

namespace {

TestResult error_result(const StrategyTest& test, std::string text) {
  TestResult r;
  r.id = test.id;
  r.passed = false;
  r.error = std::move(text);
  return r;
}

// Never lets an exception escape into the pool: whatever stops a test becomes
// that test's error.
TestResult run_one(const StrategyTest& test, const Datasets& data, const TestRunner& run) {
  try {
    auto r = run(test, data);
    if (!r.ok()) return error_result(test, std::move(r).error());
    return std::move(r).value();
  } catch (const Interrupted&) {
    throw;  // the whole command stops, not just this test
  } catch (const std::exception& e) {
    return error_result(test, std::string("internal error: ") + e.what());
  } catch (...) {
    return error_result(test, "internal error");
  }
}

}  // namespace

SuiteResult run_suite(const std::vector<StrategyTest>& tests, const Datasets& data, const TestRunner& run) {
  SuiteResult suite;
  suite.results.resize(tests.size());
  if (!tests.empty()) {
    run_while_polling([&] {
      const InterruptShare share;
      worker_pool().execute([&] {
        tbb::parallel_for(tbb::blocked_range<std::size_t>(0, tests.size(), 1),
                          [&](const tbb::blocked_range<std::size_t>& piece) {
                            const InterruptShare::Attach attach(share);
                            for (std::size_t i = piece.begin(); i != piece.end(); ++i) {
                              suite.results[i] = run_one(tests[i], data, run);
                            }
                          });
      });
    });
  }
  std::stable_sort(suite.results.begin(), suite.results.end(),
                   [](const TestResult& a, const TestResult& b) { return a.id < b.id; });
  for (const TestResult& r : suite.results) suite.passed += r.passed ? 1 : 0;
  suite.failed = suite.results.size() - suite.passed;
  return suite;
}

std::string write_suite_result(const SuiteResult& suite) {
  json::Writer w;
  w.begin_object();
  w.key("results");
  w.begin_array();
  for (const TestResult& r : suite.results) write_test_result(w, r);
  w.end_array();
  w.key("passed");
  w.u64(suite.passed);
  w.key("failed");
  w.u64(suite.failed);
  w.end_object();
  return w.take();
}

}  // namespace vsci
