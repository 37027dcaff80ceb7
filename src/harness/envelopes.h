// The command envelopes and the datasets they carry, read from the parsed
// command. Members are visited in key order, so "data" is read (and fails)
// before "test"/"tests". Plain values; readers are thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/candle_codec.h"
#include "harness/strategy_format.h"
#include "json/error.h"
#include "json/value.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

// The candles of `name`, or null.
const std::vector<Candle>* find_dataset(const Datasets& data, std::string_view name);

// What a command's body runs on, however the command was read: its tests
// ("run_test" and "bless" carry exactly one) and its datasets, ordered by
// name bytes.
struct CommandEnvelope {
  std::vector<StrategyTest> tests;
  Datasets data;
};

// Which members of a command make its envelope.
enum class EnvelopeLayout : unsigned char {
  None,          // none ("version")
  Tests,         // a list "tests"; a "data" member is not read ("list")
  TestAndData,   // one "test" and the optional "data" ("run_test", "bless")
  TestsAndData,  // a list "tests" and the optional "data" ("run_suite")
};

// The name of the member that holds the tests ("test" or "tests"); empty for
// a layout without tests.
std::string_view tests_member(EnvelopeLayout layout);

Expected<Datasets, json::Error> read_data_map(const json::Value& v);
// The envelope of a parsed command laid out as `layout`.
Expected<CommandEnvelope, json::Error> read_envelope(const json::Value& command, EnvelopeLayout layout);

// The tests' ids in input order.
std::vector<std::string> collect_test_ids(const std::vector<StrategyTest>& tests);
// Stable ascending sort by bytes; duplicates kept.
void sort_ids(std::vector<std::string>& ids);
// {"ids":[...]}
std::string write_ids_answer(const std::vector<std::string>& ids);

}  // namespace vsci
