#include "engine/request.h"

namespace vsci {

// Placeholder until the streaming JSON reader lands; replaced by the typed
// request reader.
Expected<RunRequest, BacktestError> read_run_request(std::string_view) {
  return unexpected(BacktestError::invalid_spec("request reading is not available in this build"));
}

}  // namespace vsci
