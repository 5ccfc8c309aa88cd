// What the engine asks of the extender layer (extend/): the services that
// extenders call back through the DLLServices export, and the lookup of an
// extender's function name while tokenizing.
#pragma once
#include <cstddef>
#include <cstdint>

namespace orv {
struct Context;
}

namespace orv::ext {

struct ServiceCall {
  Context& c;
  void* ptrA;
  void* ptrB;
  std::int32_t numA;
  std::int32_t numB;
};

// The request's result; requests without a service answer 0. The export
// (engine/entry_points.cpp) runs the frame around it: lock, save and restore
// the script's error state, result 0 on failure.
int run_service(int request, ServiceCall& s);

// The table index of an extender function of the context, or -1 (a context
// without extenders has nothing to search).
int find_extender_function(Context& c, const char* name, std::size_t length);

}  // namespace orv::ext
