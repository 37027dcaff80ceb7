// The command path end to end, as a user meets it: an SMA-crossover strategy
// test over hourly candles blessed (once more with a bad candle late in its
// list, which answers with the reader's error), then run with the expected
// document bless wrote (and, when python3 is at hand, with the blessed test
// as json.dumps writes it back in each of its forms), then a suite of such tests at one worker and at
// eight, each beside the engine alone on the same request. Every stage runs
// in a child process of its own (the pool size is read once per process, and the peak resident size
// of a fresh process is that stage's alone); the parent writes the command
// texts to a scratch directory and prints one line per stage.
//
// With --spaced, the bless and run_test commands are run once more laid out
// as Python's json.dumps writes them (a blank after every "," and ":", and
// with indent=2), each beside the compact text.
//
//   command_bench [--bars=1000000] [--suite-bars=100000] [--tests=64] [--threads=8] [--dir=/tmp] [--spaced]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/run_backtest.h"
#include "harness/command_reader.h"
#include "harness/session.h"
#include "json/number_format.h"
#include "json/reader.h"
#include "../tests/cpp/support/json_spacing.h"

namespace {

struct Options {
  std::size_t bars = 1'000'000;
  std::size_t suite_bars = 100'000;
  std::size_t tests = 64;
  std::size_t threads = 8;
  std::string dir = "/tmp";
  bool spaced = false;
};

constexpr std::size_t kDatasets = 8;

// The forms json.dumps writes a blessed test in: the stage's name and the
// call's arguments.
constexpr std::pair<const char*, const char*> kPythonForms[] = {
    {"py_compact", ", separators=(\",\", \":\")"}, {"py_default", ""}, {"py_indent", ", indent=2"}};

std::string strategy_text(int fast, int slow) {
  return R"({"symbol":"BTCUSD","timeframe":"1h","indicators":{"fast":{"type":"Sma","params":[)" + std::to_string(fast) +
         R"(]},"slow":{"type":"Sma","params":[)" + std::to_string(slow) +
         R"(]}},"entry":{"cross_above":["fast","slow"]},"exit":{"cross_below":["fast","slow"]},)"
         R"("sizing":{"type":"fixed_fraction","fraction":0.5},"costs":{"taker_bps":5}})";
}

constexpr const char* kProperties =
    R"([{"kind":"no_nan"},{"kind":"max_drawdown_le","value":100},{"kind":"min_trades_ge","value":1},)"
    R"({"kind":"sharpe_ge","value":-100},{"kind":"field_in_range","field":"win_rate","min":0,"max":100}])";

// A seeded hourly random walk as a candle array in the object form users write.
std::string candles_text(std::size_t bars, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> step(0.0, 0.004);
  std::uniform_real_distribution<double> wick(0.0, 0.003);
  std::string out = "[";
  out.reserve(bars * 120);
  double price = 30000.0;
  for (std::size_t t = 0; t < bars; ++t) {
    const double open = price;
    price *= std::exp(step(rng));
    const double close = std::round(price * 100.0) / 100.0;
    const double high = std::round(std::max(open, close) * (1.0 + wick(rng)) * 100.0) / 100.0;
    const double low = std::round(std::min(open, close) * (1.0 - wick(rng)) * 100.0) / 100.0;
    const double volume = std::round((500.0 + 1000.0 * wick(rng) / 0.003) * 10.0) / 10.0;
    if (t != 0) out += ',';
    out += R"({"time":)" + std::to_string(1'700'000'000'000LL + static_cast<long long>(t) * 3'600'000);
    const std::pair<const char*, double> fields[] = {
        {",\"open\":", open}, {",\"high\":", high}, {",\"low\":", low}, {",\"close\":", close}, {",\"volume\":", volume}};
    for (const auto& [key, value] : fields) {
      out += key;
      vsci::json::append_f64(out, value);
    }
    out += '}';
  }
  out += ']';
  return out;
}

std::string test_text(const std::string& id, const std::string& dataset, int fast, int slow) {
  return R"({"id":")" + id + R"(","strategy":)" + strategy_text(fast, slow) + R"(,"dataset_ref":")" + dataset +
         R"(","property_checks":)" + kProperties + "}";
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// User and system time of this process so far.
double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(2);
  }
}

// Resident and peak resident kilobytes of this process.
long status_kb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t n = std::string_view(field).size();
  while (std::getline(in, line)) {
    if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
  }
  return 0;
}

// Starts the peak count afresh at today's resident size (Linux: clear_refs 5).
void reset_peak() {
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
}

// One stage in this process: the text is read, the peak reset, the call timed.
int run_stage(const Options& o, const std::string& stage) {
  const bool engine = stage.rfind("engine", 0) == 0;
  const std::string name = engine ? "request" + stage.substr(6) : stage;
  std::string text = read_file(o.dir + "/vsci_bench_" + name + ".json");
  reset_peak();
  const long before_kb = status_kb("VmRSS:");
  const double cpu0 = cpu_seconds();
  const auto t0 = std::chrono::steady_clock::now();
  std::size_t answer_bytes = 0;
  bool ok = true;
  if (engine) {
    auto r = vsci::run_backtest_json(text);
    ok = r.ok();
    if (ok) answer_bytes = r->size();
  } else {
    const std::string answer = vsci::Session::command(text);
    answer_bytes = answer.size();
    // The command with a bad candle must answer with the reader's error.
    ok = stage == "bad_candle" ? answer.rfind(R"({"error":"json error: invalid type)", 0) == 0
                               : answer.rfind(R"({"error")", 0) != 0 && answer.find(R"("passed":false)") == std::string::npos;
    if (!ok) std::fprintf(stderr, "%s: %.300s\n", stage.c_str(), answer.c_str());
  }
  const double secs = seconds_since(t0);
  const double cpu = cpu_seconds() - cpu0;
  const long peak_kb = status_kb("VmHWM:");
  // What the calling thread does before any test runs: reading the envelope.
  double reading = -1;
  if (stage == "bad_candle") {
    // A command the text reader declines: its cost beside the tree's parse.
    const auto r0 = std::chrono::steady_clock::now();
    reading = vsci::json::parse(text).ok() ? seconds_since(r0) : -1;
  } else if (!engine) {
    const auto r0 = std::chrono::steady_clock::now();
    const bool read = vsci::read_envelope_from_text(text, vsci::layout_read_from_text).has_value();
    reading = read ? seconds_since(r0) : -1;
  }
  std::printf("%.6f %zu %zu %ld %d %.6f %.6f\n", secs, text.size(), answer_bytes, (peak_kb - before_kb) * 1024L, ok ? 1 : 0,
              cpu, reading);
  return 0;
}

struct StageResult {
  double secs = 0;
  double text_bytes = 0;
  double answer_bytes = 0;
  double growth_bytes = 0;
  bool ok = false;
  double cpu = 0;
  double reading = -1;
};

StageResult spawn_stage(const char* self, const Options& o, const std::string& stage, std::size_t threads) {
  std::string cmd = "RAYON_NUM_THREADS=" + std::to_string(threads) + " '" + self + "' --dir='" + o.dir +
                    "' --stage=" + stage;
  StageResult r;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  int ok = 0;
  if (std::fscanf(p, "%lf %lf %lf %lf %d %lf %lf", &r.secs, &r.text_bytes, &r.answer_bytes, &r.growth_bytes, &ok, &r.cpu,
                  &r.reading) != 7) {
    ok = 0;
  }
  pclose(p);
  r.ok = ok == 1;
  return r;
}

std::string blessed(const std::string& test, const std::string& data) {
  return vsci::Session::command(R"({"cmd":"bless","test":)" + test + R"(,"data":)" + data + "}");
}

void prepare(const Options& o) {
  const std::string one_data = R"({"btc-1h":)" + candles_text(o.bars, 1) + "}";
  const std::string test = test_text("sma-cross", "btc-1h", 10, 30);
  write_file(o.dir + "/vsci_bench_bless.json", R"({"cmd":"bless","test":)" + test + R"(,"data":)" + one_data + "}");
  write_file(o.dir + "/vsci_bench_request.json",
             R"({"spec":)" + strategy_text(10, 30) + R"(,"candles":)" + one_data.substr(10, one_data.size() - 11) + "}");
  // The same bless with one candle late in the list holding a fractional time.
  std::string bad = one_data;
  const std::size_t late = bad.find(R"({"time":)", bad.size() - bad.size() / 100) + 8;
  bad.replace(late, bad.find(',', late) - late, "1.5");
  write_file(o.dir + "/vsci_bench_bad_candle.json", R"({"cmd":"bless","test":)" + test + R"(,"data":)" + bad + "}");
  const std::string expected = blessed(test, one_data);
  write_file(o.dir + "/vsci_bench_run_test.json",
             R"({"cmd":"run_test","test":)" + expected + R"(,"data":)" + one_data + "}");
  // The blessed test as a Python user keeps it: json.loads of the answer,
  // json.dumps later, in each form (numbers in Python's own shortest form).
  write_file(o.dir + "/vsci_bench_blessed.json", expected);
  for (const auto& [form, args] : kPythonForms) {
    const std::string out = o.dir + "/vsci_bench_blessed_" + form + ".json";
    const std::string cmd = "python3 -c 'import json,sys; t=json.load(open(sys.argv[1])); open(sys.argv[2],\"w\").write("
                            "json.dumps(t" + std::string(args) + "))' '" + o.dir + "/vsci_bench_blessed.json' '" + out + "'";
    if (std::system(cmd.c_str()) != 0) continue;
    write_file(o.dir + "/vsci_bench_run_test_" + form + ".json",
               R"({"cmd":"run_test","test":)" + read_file(out) + R"(,"data":)" + one_data + "}");
  }
  // The same test without property checks, for their share of the time.
  std::string bare = expected;
  const std::string props = std::string(R"("property_checks":)") + kProperties;
  if (const std::size_t at = bare.find(props); at != std::string::npos) {
    bare.replace(at, props.size(), R"("property_checks":[])");
  }
  write_file(o.dir + "/vsci_bench_run_test_bare.json",
             R"({"cmd":"run_test","test":)" + bare + R"(,"data":)" + one_data + "}");
  if (o.spaced) {
    using vsci::testing::Spacing;
    for (const char* name : {"bless", "run_test"}) {
      const std::string compact = read_file(o.dir + "/vsci_bench_" + name + ".json");
      write_file(o.dir + "/vsci_bench_" + name + "_spaced.json", vsci::testing::respaced(compact, Spacing::Separators));
      write_file(o.dir + "/vsci_bench_" + name + "_indent.json", vsci::testing::respaced(compact, Spacing::Indent));
    }
  }

  // The suite: kDatasets series, the tests spread over them, each with the
  // expected document bless wrote for it; tests first, as users write them.
  std::vector<std::string> sets;
  for (std::size_t d = 0; d < kDatasets; ++d) sets.push_back(candles_text(o.suite_bars, 100 + static_cast<unsigned>(d)));
  std::string suite = R"({"cmd":"run_suite","tests":[)";
  for (std::size_t i = 0; i < o.tests; ++i) {
    const std::size_t d = i % kDatasets;
    const int fast = 5 + static_cast<int>(i / kDatasets) * 3;
    const std::string name = "set-" + std::to_string(d);
    const std::string t = test_text("t" + std::to_string(i), name, fast, fast * 3);
    if (i != 0) suite += ',';
    suite += blessed(t, "{\"" + name + "\":" + sets[d] + "}");
  }
  suite += R"(],"data":{)";
  for (std::size_t d = 0; d < kDatasets; ++d) {
    if (d != 0) suite += ',';
    suite += "\"set-" + std::to_string(d) + "\":" + sets[d];
  }
  suite += "}}";
  write_file(o.dir + "/vsci_bench_suite.json", suite);
  std::string request = R"({"spec":)" + strategy_text(5, 15) + R"(,"candles":)" + sets[0] + "}";
  write_file(o.dir + "/vsci_bench_request_suite.json", request);
}

void report(const char* label, const StageResult& r, double bars, const StageResult* engine) {
  const double mb = r.text_bytes / 1e6;
  std::printf("%-22s %8.3f s %8.2f M bars/s %8.1f MB/s  text %7.1f MB  answer %6.1f MB  peak growth %5.2fx text",
              label, r.secs, bars / r.secs / 1e6, mb / r.secs, mb, r.answer_bytes / 1e6, r.growth_bytes / r.text_bytes);
  if (engine != nullptr) std::printf("  engine alone %.3f s (%.1fx)", engine->secs, r.secs / engine->secs);
  std::printf("  cpu %.2f s", r.cpu);
  if (r.reading >= 0) std::printf("  envelope read %.3f s", r.reading);
  std::printf("%s\n", r.ok ? "" : "  FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string stage;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    auto value = [&](std::string_view flag) { return std::string(a.substr(flag.size())); };
    if (a.rfind("--bars=", 0) == 0) o.bars = std::stoul(value("--bars="));
    else if (a.rfind("--suite-bars=", 0) == 0) o.suite_bars = std::stoul(value("--suite-bars="));
    else if (a.rfind("--tests=", 0) == 0) o.tests = std::stoul(value("--tests="));
    else if (a.rfind("--threads=", 0) == 0) o.threads = std::stoul(value("--threads="));
    else if (a.rfind("--dir=", 0) == 0) o.dir = value("--dir=");
    else if (a.rfind("--stage=", 0) == 0) stage = value("--stage=");
    else if (a == "--spaced") o.spaced = true;
  }
  if (!stage.empty()) return run_stage(o, stage);

  std::printf("preparing %zu-candle bless and run_test, %zu tests of %zu candles ...\n", o.bars, o.tests, o.suite_bars);
  prepare(o);
  const StageResult engine = spawn_stage(argv[0], o, "engine", 1);
  const StageResult engine_suite = spawn_stage(argv[0], o, "engine_suite", 1);
  report("engine alone", engine, static_cast<double>(o.bars), nullptr);
  // One command as a user runs it: the pool at its full size (it reads a long
  // candle list in pieces).
  const StageResult bless = spawn_stage(argv[0], o, "bless", o.threads);
  report("bless", bless, static_cast<double>(o.bars), &engine);
  StageResult bad = spawn_stage(argv[0], o, "bad_candle", o.threads);
  const double tree_parse = bad.reading;
  bad.reading = -1;
  report("  a bad candle late", bad, static_cast<double>(o.bars), nullptr);
  std::printf("  (the tree's parse of that text alone takes %.3f s)\n", tree_parse);
  const StageResult run = spawn_stage(argv[0], o, "run_test", o.threads);
  const StageResult bare = spawn_stage(argv[0], o, "run_test_bare", o.threads);
  report("run_test (expected)", run, static_cast<double>(o.bars), &engine);
  report("  without properties", bare, static_cast<double>(o.bars), &engine);
  for (const auto& [form, args] : kPythonForms) {
    const StageResult py = spawn_stage(argv[0], o, std::string("run_test_") + form, o.threads);
    const std::string label = std::string("  expected ") + form;
    if (py.text_bytes <= 0) continue;
    report(label.c_str(), py, static_cast<double>(o.bars), nullptr);
    std::printf("    %.2fx the expected document as bless wrote it\n", py.secs / run.secs);
  }
  std::printf("property checks: %.1f%% of run_test's time, %.1f%% of its cpu\n", 100.0 * (run.secs - bare.secs) / run.secs,
              100.0 * (run.cpu - bare.cpu) / run.cpu);
  if (o.spaced) {
    for (const char* name : {"bless", "run_test"}) {
      const StageResult& compact = std::string_view(name) == "bless" ? bless : run;
      for (const char* layout : {"spaced", "indent"}) {
        const StageResult r = spawn_stage(argv[0], o, std::string(name) + "_" + layout, o.threads);
        const std::string label = std::string("  ") + name + ", " + layout;
        report(label.c_str(), r, static_cast<double>(o.bars), nullptr);
        std::printf("    vs compact: %.2fx the time, envelope read %.2fx\n", r.secs / compact.secs,
                    r.reading / compact.reading);
      }
    }
  }
  const double suite_bars = static_cast<double>(o.suite_bars * o.tests);
  const StageResult one = spawn_stage(argv[0], o, "suite", 1);
  const StageResult many = spawn_stage(argv[0], o, "suite", o.threads);
  StageResult engine_all = engine_suite;
  engine_all.secs *= static_cast<double>(o.tests);
  report("suite, 1 thread", one, suite_bars, &engine_all);
  const std::string label = "suite, " + std::to_string(o.threads) + " threads";
  report(label.c_str(), many, suite_bars, nullptr);
  std::printf("suite scaling %zu threads vs 1: %.2fx", o.threads, one.secs / many.secs);
  // With every core to itself: the envelope read stays serial, the rest divides.
  const double rest = one.secs - one.reading;
  std::printf(" (bound on an idle machine from the 1-thread run: %.2fx)\n",
              one.secs / (many.reading + rest / static_cast<double>(o.threads)));
  return 0;
}
