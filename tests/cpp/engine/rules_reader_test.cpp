#include <gtest/gtest.h>

#include <string>

#include "engine/request.h"
#include "support/request_text.h"

namespace vsci {
namespace {

using testing::at_byte;
using testing::first_byte;
using testing::kPrefix;
using testing::last_byte_after;
using testing::read_error;
using testing::read_ok;
using testing::request_with;
using testing::spec_set;

const std::string kSixteen =
    "expected one of `gt`, `lt`, `ge`, `le`, `eq`, `ne`, `cross_above`, `cross_below`, `between`, `rising`, "
    "`falling`, `all`, `any`, `not`, `in_position`, `bars_since_entry`";
const std::string kMismatch = "data did not match any variant of untagged enum Operand";

Rule entry_of(const std::string& rule) { return read_ok(request_with("", spec_set("entry", rule))).spec.entry; }

// The entry rule's failure; the position is the last byte of the first
// `marker` after "entry":.
void expect_entry_failure(const std::string& rule, const std::string& message, const std::string& marker) {
  const std::string text = request_with("", spec_set("entry", rule));
  EXPECT_EQ(read_error(text), kPrefix + message + at_byte(text, last_byte_after(text, "\"entry\":", marker))) << rule;
}

TEST(RulesReader, EveryVariantReads) {
  const Rule cmp = entry_of(R"({"cross_below":["fast",{"price":"close"}]})");
  EXPECT_EQ(cmp.kind, Rule::Kind::CrossBelow);
  ASSERT_EQ(cmp.operands.size(), 2u);
  EXPECT_EQ(cmp.operands[0].kind, Operand::Kind::Reference);
  EXPECT_EQ(cmp.operands[0].reference, "fast");
  EXPECT_EQ(cmp.operands[1].kind, Operand::Kind::Price);
  EXPECT_EQ(cmp.operands[1].field, PriceField::Close);

  const char* names[] = {"gt", "lt", "ge", "le", "eq", "ne", "cross_above", "cross_below"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(static_cast<int>(entry_of(std::string(R"({")") + names[i] + R"(":[1,2]})").kind), i) << names[i];
  }
  const Rule between = entry_of(R"({"between":[-1.5e2,0,18446744073709551616]})");
  ASSERT_EQ(between.operands.size(), 3u);
  EXPECT_EQ(between.operands[0].constant, -150.0);
  EXPECT_EQ(between.operands[2].constant, 18446744073709551616.0);

  const Rule rising = entry_of(R"({"rising":["x",4294967295]})");
  EXPECT_EQ(rising.kind, Rule::Kind::Rising);
  EXPECT_EQ(rising.count, 4294967295u);
  EXPECT_EQ(entry_of(R"({"falling":[1,0]})").kind, Rule::Kind::Falling);

  const Rule nested = entry_of(R"({"all":[{"not":{"in_position":true}},{"any":[]},{"bars_since_entry":{"le":7}}]})");
  ASSERT_EQ(nested.children.size(), 3u);
  EXPECT_EQ(nested.children[0].kind, Rule::Kind::Not);
  EXPECT_EQ(nested.children[0].children[0].kind, Rule::Kind::InPosition);
  EXPECT_TRUE(nested.children[0].children[0].flag);
  EXPECT_EQ(nested.children[1].kind, Rule::Kind::Any);
  EXPECT_TRUE(nested.children[1].children.empty());
  EXPECT_EQ(nested.children[2].kind, Rule::Kind::BarsSinceEntry);
  EXPECT_EQ(nested.children[2].comparator, Comparator::Le);
  EXPECT_EQ(nested.children[2].count, 7u);
  const char* comparators[] = {"gt", "lt", "ge", "le", "eq"};
  for (int i = 0; i < 5; ++i) {
    const Rule r = entry_of(std::string(R"({"bars_since_entry":{")") + comparators[i] + R"(":3}})");
    EXPECT_EQ(static_cast<int>(r.comparator), i);
  }
}

TEST(RulesReader, OperandForms) {
  const Rule r = entry_of(
      R"({"gt":[{"prev":[{"add":["a.b",{"mul":[2,{"price":{"hlc3":null}}]}]},3]},{"div":[{"sub":[1,"close"]},"x"]}]})");
  const Operand& prev = r.operands[0];
  EXPECT_EQ(prev.kind, Operand::Kind::Prev);
  EXPECT_EQ(prev.lag, 3u);
  const Operand& add = prev.args[0];
  EXPECT_EQ(add.kind, Operand::Kind::Add);
  EXPECT_EQ(add.args[0].reference, "a.b");
  EXPECT_EQ(add.args[1].kind, Operand::Kind::Mul);
  EXPECT_EQ(add.args[1].args[0].constant, 2.0);
  EXPECT_EQ(add.args[1].args[1].field, PriceField::Hlc3);
  const Operand& div = r.operands[1];
  EXPECT_EQ(div.kind, Operand::Kind::Div);
  EXPECT_EQ(div.args[0].kind, Operand::Kind::Sub);
  // A string is always a reference, even one that names a price.
  EXPECT_EQ(div.args[0].args[1].kind, Operand::Kind::Reference);
  EXPECT_EQ(div.args[0].args[1].reference, "close");
  const char* fields[] = {"open", "high", "low", "close", "volume", "hlc3", "ohlc4"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(static_cast<int>(entry_of(std::string(R"({"gt":[{"price":")") + fields[i] + R"("},0]})").operands[0].field),
              i);
  }
}

TEST(RulesReader, OperandMismatchesAreOneMessage) {
  // When the operand is followed by another element, the tuple consumes the
  // comma before the failure is placed; when it is the last, the bracket.
  const char* bad[] = {
      R"({"price":"Close"})",   R"({"price":{"close":1}})",   R"({"price":{}})",
      R"({"price":{"close":null,"open":null}})", R"({"price":5})", R"({"prev":["a",-1]})",
      R"({"prev":["a",2.0]})",  R"({"prev":["a",4294967296]})", R"({"prev":["a"]})",
      R"({"prev":["a",1,2]})",  R"({"add":[1]})",              R"({"add":[1,2,3]})",
      R"({"add":[1,2],"sub":[1,2]})", R"({"add":[1,2],"add":[1,2]})", R"({"pow":[1,2]})",
      R"({})",                  "null",                        "true",
      "[1,2]",                  R"({"add":[1,{"price":"Open"}]})", R"({"div":{"a":1}})",
      // A mismatch early in the value: the rest is still read through.
      R"({"add":[{"price":"Open"},{"sub":[1,{"mul":[2,{"price":{"low":null}}]}]}]})",
      R"({"prev":[{"price":{}},{"add":[1,2]}]})",
  };
  for (const char* op : bad) {
    expect_entry_failure(std::string(R"({"gt":[)") + op + ",1]}", kMismatch, std::string(op) + ",");
    expect_entry_failure(std::string(R"({"gt":[1,)") + op + "]}", kMismatch, std::string(op) + "]");
  }
  // Blanks after the comma are consumed with it.
  expect_entry_failure(R"({"gt":[{"price":"x"},   1]})", kMismatch, ",   ");
  // Malformed text inside an operand is reported as such, wherever it stands.
  expect_entry_failure(R"({"gt":[{"price":"Close","x":[1,]},1]})", "trailing comma", "[1,]");
  expect_entry_failure(R"({"gt":[{"prev":["a",01]},1]})", "invalid number", "01");
  // Values inside a matched operand are still well-formed numbers.
  expect_entry_failure(R"({"gt":[{"add":[1e400,1]},1]})", "number out of range", "1e400");
}

TEST(RulesReader, RuleMessages) {
  expect_entry_failure(R"({"gt":["a"]})", "invalid length 1, expected a tuple of size 2", "]");
  expect_entry_failure(R"({"gt":[]})", "invalid length 0, expected a tuple of size 2", "]");
  expect_entry_failure(R"({"between":[1,2]})", "invalid length 2, expected a tuple of size 3", "]");
  expect_entry_failure(R"({"rising":["x"]})", "invalid length 1, expected a tuple of size 2", "]");
  expect_entry_failure(R"({"gt":[1,2,3]})", "trailing characters", "3");
  expect_entry_failure(R"({"gt":[1,2,]})", "trailing comma", ",]");
  expect_entry_failure(R"({"gt":5})", "invalid type: integer `5`, expected a tuple of size 2", "5");
  expect_entry_failure(R"({"rising":["x",-1]})", "invalid value: integer `-1`, expected u32", "-1");
  expect_entry_failure(R"({"rising":["x",1.5]})", "invalid type: floating point `1.5`, expected u32", "1.5");
  expect_entry_failure(R"({"rising":["x",4294967296]})", "invalid value: integer `4294967296`, expected u32", "296");
  expect_entry_failure(R"({"greater":[1,2]})", "unknown variant `greater`, " + kSixteen, "\"greater\"");
  expect_entry_failure(R"({"Gt":[1,2]})", "unknown variant `Gt`, " + kSixteen, "\"Gt\"");
  expect_entry_failure(R"("nope")", "unknown variant `nope`, " + kSixteen, "\"nope\"");
  expect_entry_failure(R"({})", "expected value", "}");
  expect_entry_failure(R"({"gt":[1,2],"lt":[1,2]})", "expected value", "]");
  expect_entry_failure(R"({"gt":[1,2]  ,"lt":[1,2]})", "expected value", "]  ");
  expect_entry_failure(R"(5)", "expected value", "5");
  expect_entry_failure(R"([{"gt":[1,2]}])", "expected value", "[");
  expect_entry_failure(R"({"in_position":1})", "invalid type: integer `1`, expected a boolean", "1");
  expect_entry_failure(R"({"all":{}})", "invalid type: map, expected a sequence", ":{");
  expect_entry_failure(R"({"bars_since_entry":{"gte":5}})",
                       "unknown variant `gte`, expected one of `gt`, `lt`, `ge`, `le`, `eq`", "\"gte\"");
  expect_entry_failure(R"({"bars_since_entry":{"ge":5.5}})", "invalid type: floating point `5.5`, expected u32", "5.5");
  expect_entry_failure(R"({"not":{"all":[1]}})", "expected value", "1");
  // A variant that carries a value written as a bare name: the holder places
  // the failure. Here the strategy object does not close ("exit" follows), so
  // it stays at the name's end; inside a list, the bracket is consumed first.
  expect_entry_failure(R"("in_position")", "invalid type: unit variant, expected newtype variant", "\"in_position\"");
  expect_entry_failure(R"({"not":"in_position"})", "invalid type: unit variant, expected newtype variant",
                       "\"in_position\"}");
  expect_entry_failure(R"({"all":["in_position"]})", "invalid type: unit variant, expected newtype variant", "]");
  expect_entry_failure(R"({"any":["in_position",{"all":[]}]})",
                       "invalid type: unit variant, expected newtype variant", "\",");
  expect_entry_failure(R"({"bars_since_entry":"ge"})", "invalid type: unit variant, expected newtype variant",
                       "\"}");
}

TEST(RulesReader, NestingDepth) {
  // Levels: request object, spec object, then each "not" object; {"all":[]}
  // adds two. 123 nots reach the 127th level, 124 the refused 128th.
  auto nots = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += R"({"not":)";
    s += R"({"all":[]})";
    return s + std::string(static_cast<std::size_t>(n), '}');
  };
  const Rule r = entry_of(nots(123));
  const Rule* inner = &r;
  int depth = 0;
  while (inner->kind == Rule::Kind::Not) {
    inner = &inner->children[0];
    ++depth;
  }
  EXPECT_EQ(depth, 123);
  const std::string deep = request_with("", spec_set("entry", nots(124)));
  EXPECT_EQ(read_error(deep), kPrefix + "recursion limit exceeded" + at_byte(deep, first_byte(deep, "[]")));
}

}  // namespace
}  // namespace vsci
