// A long read heeds the command's stop: the tree parse, the pull reader's
// walk and the structure scan of a text of many MB end with Interrupted once
// a stop was asked for, and on the command's own thread the read itself polls
// by the clock; without a stop they read as ever.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "json/reader.h"
#include "json/scanner.h"
#include "json/writer.h"
#include "util/interrupt.h"

namespace vsci::json {
namespace {

bool ask_to_stop() { return true; }

// 5 to 8 MB each: a long array of small records, an object of many members, and
// the same array with an escaped quote in its first string (which sends the
// structure scan the byte-wise way).
std::vector<std::string> long_texts() {
  std::string array = "[";
  std::string object = "{";
  for (int i = 0; i < 300000; ++i) {
    const std::string n = std::to_string(i);
    array += (i ? "," : "") + std::string(R"({"k":)") + n + R"(,"v":[1.5,"x"]})";
    object += (i ? ",\"" : "\"") + n + R"(":[)" + n + "]";
  }
  array += "]";
  object += "}";
  std::string escaped = array;
  escaped.replace(escaped.find("\"x\""), 3, R"("\"")");
  return {array, object, escaped};
}

// Each way of reading a whole text: what it gives without a stop.
std::string tree_text(const std::string& text) { return write(parse(text).value()); }
bool skipped(const std::string& text) {
  Reader r(text);
  return r.skip_value().ok() && r.finish().ok();
}
std::size_t scanned(const std::string& text) { return skip_structure(text, 0, kMaxDepth); }

TEST(JsonStop, LongReadsEndWithInterruptedOnceAStopWasAskedFor) {
  for (const std::string& text : long_texts()) {
    ASSERT_GT(text.size(), std::size_t{4} << 20);  // a stop is looked for every few MB
    const std::string tree = tree_text(text);
    EXPECT_TRUE(skipped(text));
    EXPECT_EQ(scanned(text), text.size());
    {
      InterruptScope scope(ask_to_stop);
      ASSERT_TRUE(scope.poll_now());  // the stop is asked for before the read starts
      EXPECT_THROW(tree_text(text), Interrupted);
      EXPECT_THROW(skipped(text), Interrupted);
      EXPECT_THROW(scanned(text), Interrupted);
    }
    // Once the command is over, the same text reads as before.
    EXPECT_EQ(tree_text(text), tree);
  }
}

TEST(JsonStop, ASerialReadOnTheCommandsThreadPollsByItself) {
  const std::vector<std::string> texts = long_texts();
  for (const auto& read : {+[](const std::string& t) { (void)tree_text(t); }, +[](const std::string& t) { (void)skipped(t); },
                           +[](const std::string& t) { (void)scanned(t); }}) {
    const InterruptScope scope(ask_to_stop);
    // Nothing has polled yet; once a poll falls due, the read's own checks poll.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_THROW(read(texts[0]), Interrupted);
  }
}

}  // namespace
}  // namespace vsci::json
