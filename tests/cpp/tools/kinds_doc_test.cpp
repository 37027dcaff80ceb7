// The kind reference: the committed docs/kinds.md is what the registry gives
// today, it names every kind and alias, and the warm-up formulas it states
// hold at parameters the writer never probed.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "factory/build_indicator.h"
#include "kinds_doc.h"

namespace vsci {
namespace {

std::string committed_reference() {
  std::ifstream in(std::string(VSCI_SOURCE_DIR) + "/docs/kinds.md", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(KindsReference, CommittedFileIsWhatTheRegistryGivesToday) {
  const auto written = kinds_markdown();
  ASSERT_TRUE(written.ok()) << written.error();
  const std::vector<std::string> want = lines_of(written.value());
  const std::vector<std::string> have = lines_of(committed_reference());
  for (std::size_t i = 0; i < std::max(want.size(), have.size()); ++i) {
    const std::string w = i < want.size() ? want[i] : "<end of file>";
    const std::string h = i < have.size() ? have[i] : "<end of file>";
    ASSERT_EQ(h, w) << "docs/kinds.md is stale from line " << i + 1
                    << "; rewrite it with ./build/dev/kinds_doc > docs/kinds.md";
  }
}

TEST(KindsReference, ListsEveryKindAndAliasOnce) {
  const std::string text = committed_reference();
  auto occurrences = [&](const std::string& needle) {
    std::size_t n = 0;
    for (auto pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) ++n;
    return n;
  };
  for (const KindEntry* e : registry()) {
    EXPECT_EQ(occurrences("\n| `" + std::string(e->name) + "` |"), 1u) << e->name;
  }
  for (const KindAlias& a : kind_aliases()) {
    EXPECT_EQ(occurrences("\n| `" + std::string(a.alias) + "` | `" + std::string(a.target) + "` |"), 1u) << a.alias;
  }
}

TEST(KindsReference, EveryParameterIsNamedOnceInItsRow) {
  const std::string text = committed_reference();
  for (const KindEntry* e : registry()) {
    const auto row = text.find("\n| `" + std::string(e->name) + "` |");
    ASSERT_NE(row, std::string::npos) << e->name;
    const std::string line = text.substr(row + 1, text.find('\n', row + 1) - row - 1);
    std::set<std::string_view> seen;
    for (std::string_view n : e->parameter_names()) {
      EXPECT_TRUE(seen.insert(n).second) << e->name << " repeats the parameter name " << n;
      EXPECT_NE(line.find("`" + std::string(n) + "` "), std::string::npos) << e->name << ": " << n;
    }
  }
}

// The formula must hold away from the probes it was learnt from: larger and
// wider-spread count parameters.
TEST(KindsReference, WarmupFormulasHoldAtUnprobedParameters) {
  const auto docs = describe_kinds();
  ASSERT_TRUE(docs.ok()) << docs.error();
  std::size_t checked = 0;
  for (const KindDoc& k : docs.value()) {
    if (!k.warmup) continue;
    const auto example = k.entry->example.view();
    for (int spread : {3, 11}) {
      std::vector<double> p(example.begin(), example.end());
      int step = 0;
      for (std::size_t i = 0; i < p.size(); ++i) {
        if (k.entry->params[i] == 'p' || k.entry->params[i] == 'u') p[i] = p[i] * 2 + spread * ++step;
      }
      auto built = build_indicator(k.entry->name, p);
      if (!built.ok()) continue;
      EXPECT_EQ(static_cast<std::int64_t>(built.value()->warmup()), k.warmup->at(p)) << k.entry->name;
      ++checked;
    }
  }
  EXPECT_GT(checked, 300u);
}

}  // namespace
}  // namespace vsci
