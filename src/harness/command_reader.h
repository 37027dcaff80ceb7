// Reading the envelopes of "run_test", "bless" and "run_suite" straight from
// the command text, without a tree of the whole command: datasets become
// candles as they are read, and a test's `expected` document stays text
// (an ExpectedDocument of text) until the test runs. Only the common shape is
// taken: "cmd" first, no other top-level member given twice, and everything
// readable. Whatever the tree reading could report or treat differently makes
// the reader decline, and the caller then parses the command into a tree, so
// every answer stays the tree's answer. Thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "harness/envelopes.h"
#include "harness/strategy_format.h"

namespace vsci {

struct TextEnvelope {
  std::string cmd;  // "run_test", "bless" or "run_suite"
  CommandEnvelope envelope;
  // A candle the tree would refuse, its error as the tree gives it, when that
  // is the command's answer: the whole text reads, so the tree would parse it,
  // and the datasets are read before the tests, in name order, each up to its
  // first failing candle. Only the expected documents remain to be checked
  // (a text that does not parse wins over any refusal).
  std::optional<json::Error> refused;
};

// The envelope, its expected documents pointing into `text`; nothing when the
// command must be read from a tree. Every byte of the text is checked except
// inside the `expected` documents, which are only skipped by their structure
// here and read (and so checked) when they are compared.
// `layout_of` is the caller's answer for the command named first: the layout
// of its envelope when it lets the text reader read it (always a layout with
// datasets), nothing otherwise.
using TextLayoutOf = std::optional<EnvelopeLayout> (*)(std::string_view cmd);
std::optional<TextEnvelope> read_envelope_from_text(std::string_view text, TextLayoutOf layout_of);

}  // namespace vsci
