// Golden-script runner: every tests/scripts/**/NAME.orv runs in this process
// and must print NAME.out (empty when missing) and end with the error number
// in NAME.err (no error when missing).
#pragma once
#include <string>

#include "host/engine_api.h"

namespace orv::host {

// Returns the process exit status: 0 when every script passed.
int run_suite(const EngineApi& api, const std::string& directory, const std::string& stderrFile);

}  // namespace orv::host
