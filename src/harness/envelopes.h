// The command envelopes and the datasets they carry, read from the parsed
// command. Members are visited in key order, so "data" is read (and fails)
// before "test"/"tests". Plain values; readers are thread-safe.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "harness/strategy_format.h"
#include "json/error.h"
#include "json/value.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

// Dataset name to candles, ordered by name bytes.
using Datasets = std::vector<std::pair<std::string, std::vector<Candle>>>;

// The candles of `name`, or null.
const std::vector<Candle>* find_dataset(const Datasets& data, std::string_view name);

// What a command's body runs on, however the command was read: its tests
// ("run_test" and "bless" carry exactly one) and its datasets.
struct CommandEnvelope {
  std::vector<StrategyTest> tests;
  Datasets data;
};

struct TestEnvelope {
  StrategyTest test;
  Datasets data;
};

struct SuiteEnvelope {
  std::vector<StrategyTest> tests;
  Datasets data;
};

struct ListEnvelope {
  std::vector<StrategyTest> tests;
};

Expected<Candle, json::Error> read_candle(const json::Value& v);
Expected<Datasets, json::Error> read_data_map(const json::Value& v);
Expected<TestEnvelope, json::Error> read_test_envelope(const json::Value& v);
Expected<SuiteEnvelope, json::Error> read_suite_envelope(const json::Value& v);
Expected<ListEnvelope, json::Error> read_list_envelope(const json::Value& v);

// The tests' ids in input order.
std::vector<std::string> collect_test_ids(const std::vector<StrategyTest>& tests);
// Stable ascending sort by bytes; duplicates kept.
void sort_ids(std::vector<std::string>& ids);
// {"ids":[...]}
std::string write_ids_answer(const std::vector<std::string>& ids);

}  // namespace vsci
