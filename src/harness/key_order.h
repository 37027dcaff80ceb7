// The engine's result text as a document tree would write it (objects in key
// order, the last of a repeated key kept), without building the tree: bless
// stores outputs in this form, and run_test meets expected documents in it.
// Pure; thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "json/error.h"
#include "util/expected.h"

namespace vsci {

// The text rewritten in one pass, each object's members reordered where the
// engine's declared order differs. Scalars are copied as they stand where that
// is the text the tree would write, which holds for what the engine writes
// (every number in the writer's shortest forms); a failure to read is the
// reader's error.
Expected<std::string, json::Error> engine_text_in_key_order(std::string_view text);

}  // namespace vsci
