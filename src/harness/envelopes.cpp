// Every command that carries tests carries its datasets beside them; one reader
// for both keeps the failure texts of all commands alike.
#include "harness/envelopes.h"

#include <algorithm>

#include "engine/candle_codec.h"
#include "json/typed.h"
#include "json/writer.h"

namespace vsci {

namespace {

using json::Error;
using json::Value;

constexpr json::Field kTestEnvelopeFields[] = {{"test", true}, {"data", false}};
constexpr json::Record kTestEnvelopeRecord{"TestEnvelope", kTestEnvelopeFields};
constexpr json::Field kSuiteEnvelopeFields[] = {{"tests", true}, {"data", false}};
constexpr json::Record kSuiteEnvelopeRecord{"SuiteEnvelope", kSuiteEnvelopeFields};
constexpr json::Field kListEnvelopeFields[] = {{"tests", true}};
constexpr json::Record kListEnvelopeRecord{"ListEnvelope", kListEnvelopeFields};

// The record of a layout, null for one without tests: field 0 holds the
// tests, field 1 (when there is one) the datasets. The record names are those
// the error texts give.
const json::Record* envelope_record(EnvelopeLayout layout) {
  switch (layout) {
    case EnvelopeLayout::None:
      return nullptr;
    case EnvelopeLayout::Tests:
      return &kListEnvelopeRecord;
    case EnvelopeLayout::TestAndData:
      return &kTestEnvelopeRecord;
    case EnvelopeLayout::TestsAndData:
      return &kSuiteEnvelopeRecord;
  }
  return nullptr;
}

}  // namespace

const std::vector<Candle>* find_dataset(const Datasets& data, std::string_view name) {
  auto it = std::lower_bound(data.begin(), data.end(), name,
                             [](const auto& entry, std::string_view n) { return entry.first < n; });
  if (it == data.end() || it->first != name) return nullptr;
  return &it->second;
}

Expected<Datasets, Error> read_data_map(const Value& v) {
  auto map = json::get_object(v);
  if (!map) return unexpected(std::move(map.error()));
  Datasets data;
  data.reserve((*map)->size());
  for (const Value::Member& m : **map) {
    auto list = json::get_array(m.value);
    if (!list) return unexpected(std::move(list.error()));
    std::vector<Candle> candles;
    candles.reserve((*list)->size());
    for (const Value& item : **list) {
      auto c = read_candle_value(item);
      if (!c) return unexpected(std::move(c.error()));
      candles.push_back(*c);
    }
    data.emplace_back(m.key, std::move(candles));
  }
  return data;
}

std::string_view tests_member(EnvelopeLayout layout) {
  const json::Record* rec = envelope_record(layout);
  return rec == nullptr ? std::string_view() : rec->fields[0].name;
}

Expected<CommandEnvelope, Error> read_envelope(const Value& command, EnvelopeLayout layout) {
  CommandEnvelope env;
  const json::Record* rec = envelope_record(layout);
  if (rec == nullptr) return env;
  auto r = json::read_record(command, *rec, [&](std::size_t i, const Value& x) -> Expected<void, Error> {
    if (i == 1) {
      auto d = read_data_map(x);
      if (!d) return unexpected(std::move(d.error()));
      env.data = std::move(*d);
      return {};
    }
    if (layout == EnvelopeLayout::TestAndData) {
      auto t = read_strategy_test(x);
      if (!t) return unexpected(std::move(t.error()));
      env.tests.assign(1, std::move(*t));
      return {};
    }
    auto t = read_strategy_tests(x);
    if (!t) return unexpected(std::move(t.error()));
    env.tests = std::move(*t);
    return {};
  });
  if (!r) return unexpected(std::move(r.error()));
  return env;
}

std::vector<std::string> collect_test_ids(const std::vector<StrategyTest>& tests) {
  std::vector<std::string> ids;
  ids.reserve(tests.size());
  for (const StrategyTest& t : tests) ids.push_back(t.id);
  return ids;
}

void sort_ids(std::vector<std::string>& ids) { std::stable_sort(ids.begin(), ids.end()); }

std::string write_ids_answer(const std::vector<std::string>& ids) {
  json::Writer w;
  w.begin_object();
  w.key("ids");
  w.begin_array();
  for (const std::string& id : ids) w.string(id);
  w.end_array();
  w.end_object();
  return w.take();
}

}  // namespace vsci
