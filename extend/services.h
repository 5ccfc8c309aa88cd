// The requests of DLLServices, one small function each, found by number.
// The export (engine/entry_points.cpp) runs the frame around them: lock,
// save and restore the script's error state, result 0 on failure.
#pragma once
#include <cstdint>
#include "engine/context.h"

namespace orv::ext {

struct ServiceCall {
  Context& c;
  void* ptrA;
  void* ptrB;
  std::int32_t numA;
  std::int32_t numB;
};

// The request's result; requests without a service answer 0.
int run_service(int request, ServiceCall& s);

}  // namespace orv::ext
