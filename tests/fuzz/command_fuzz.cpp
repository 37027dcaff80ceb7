// A seeded mutation fuzz of the command path: every seed command (the files
// named on the command line, plus a few built in, each also laid out as
// json.dumps lays it out, by default and indented) is mutated byte-wise and
// structurally, run through Session::command, and its answer must be one JSON
// object, the answer through the tree of the whole command. Deterministic for
// a given seed and count, so a CI failure replays. Built with the sanitizers
// in CI, where a report ends the run.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "harness/session.h"
#include "json/reader.h"
#include "util/interrupt.h"
#include "../cpp/support/json_spacing.h"

namespace {

const char* const kBuiltIn[] = {
    R"({"cmd":"version"})",
    R"({"cmd":"list","tests":[{"id":"b","strategy":{},"dataset_ref":"d"},{"id":"a","strategy":{},"dataset_ref":"d"}]})",
    R"({"cmd":"run_test","data":{"d":[[0,1,2,0.5,1.5,10],[60000,1.5,2.5,1,2,11],[120000,2,3,1.5,2.5,12],[180000,2.5,2.6,1,1.2,9]]},)"
    R"("test":{"id":"t","dataset_ref":"d","strategy":{"symbol":"X","timeframe":"1m","indicators":{"s":{"type":"Sma","params":[2]},)"
    R"("ha":{"type":"HeikinAshi"}},"entry":{"gt":["ha.close","s"]},"exit":{"lt":["ha.close","s"]},"sizing":{"type":"fixed_qty","qty":1},)"
    R"("costs":{"taker_bps":5},"risk":{"stop_loss_pct":5}},"property_checks":[{"kind":"no_nan"},{"kind":"max_drawdown_le","value":50}],)"
    R"("fuzz":{"runs":3,"seed":7,"perturbation":{"kind":"jitter","amount":0.01}}}})",
    R"({"cmd":"bless","data":{"d":[[0,1,1,1,1]]},"test":{"id":"t","dataset_ref":"d","strategy":{"indicators":{},"entry":{"all":[]},"exit":{"any":[]},"sizing":{"type":"fixed_qty","qty":1}}}})",
};

// Texts a structural mutation splices in: extremes, wrong types, deep nests.
const char* const kSplices[] = {"1e308",  "-0",   "NaN", "null", "\"\"",        "[]",   "{}",  "4294967295",
                                "-1",     "true", "1e-320", "[[[[[[[[", "\"\\ud800\"", "0.5", "16777217", "\xff"};

std::string mutate(const std::string& seed, std::mt19937_64& rng) {
  std::string s = seed;
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits && !s.empty(); ++e) {
    const std::size_t at = rng() % s.size();
    switch (rng() % 6) {
      case 0:
        s[at] = static_cast<char>(rng());
        break;
      case 1:
        s.erase(at, 1 + rng() % 8);
        break;
      case 2:
        s.insert(at, kSplices[rng() % (sizeof kSplices / sizeof kSplices[0])]);
        break;
      case 3: {  // replace the number or word under `at`
        std::size_t end = at;
        while (end < s.size() && (std::isalnum(static_cast<unsigned char>(s[end])) || s[end] == '.' || s[end] == '-')) ++end;
        s.replace(at, end - at, kSplices[rng() % (sizeof kSplices / sizeof kSplices[0])]);
        break;
      }
      case 4: {  // duplicate a span
        const std::size_t len = std::min<std::size_t>(s.size() - at, 1 + rng() % 64);
        s.insert(at, s.substr(at, len));
        break;
      }
      default:
        s.resize(at);
        break;
    }
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t seed = 1;
  std::uint64_t count = 2000;
  std::vector<std::string> seeds(std::begin(kBuiltIn), std::end(kBuiltIn));
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--seed=", 0) == 0) {
      seed = std::stoull(arg.substr(7));
    } else if (arg.rfind("--count=", 0) == 0) {
      count = std::stoull(arg.substr(8));
    } else {
      std::ifstream in(arg, std::ios::binary);
      std::ostringstream text;
      text << in.rdbuf();
      if (!in) {
        std::fprintf(stderr, "cannot read %s\n", arg.c_str());
        return 2;
      }
      seeds.push_back(text.str());
    }
  }
  for (std::size_t i = 0, given = seeds.size(); i < given; ++i) {
    seeds.push_back(vsci::testing::respaced(seeds[i], vsci::testing::Spacing::Separators));
    seeds.push_back(vsci::testing::respaced(seeds[i], vsci::testing::Spacing::Indent));
  }
  std::mt19937_64 rng(seed);
  std::uint64_t stopped = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::string& base = seeds[rng() % seeds.size()];
    const std::string command = mutate(base, rng);
    // A mutant may ask for billions of fuzz runs; its command is stopped
    // after about a second, as Ctrl-C would stop it, and counts as answered.
    static int polls = 0;
    polls = 0;
    std::string answer;
    std::string tree_answer;
    try {
      const vsci::InterruptScope budget([] { return ++polls > 10; });
      answer = vsci::Session::command(command);
      tree_answer = vsci::command_from_tree(command);
    } catch (const vsci::Interrupted&) {
      ++stopped;
      continue;
    }
    auto parsed = vsci::json::parse(answer);
    if (!parsed || !parsed->is_object()) {
      std::fprintf(stderr, "mutant %llu: the answer is not one JSON object\ncommand: %s\nanswer: %s\n",
                   static_cast<unsigned long long>(i), command.c_str(), answer.c_str());
      return 1;
    }
    if (answer != tree_answer) {
      std::fprintf(stderr, "mutant %llu: the answer differs from the tree's\ncommand: %s\nanswer: %s\ntree: %s\n",
                   static_cast<unsigned long long>(i), command.c_str(), answer.c_str(), tree_answer.c_str());
      return 1;
    }
  }
  std::printf("command fuzz: %llu mutants, seed %llu, every answer one JSON object and the tree's (%llu stopped after a "
              "second)\n",
              static_cast<unsigned long long>(count), static_cast<unsigned long long>(seed),
              static_cast<unsigned long long>(stopped));
  return 0;
}
