// How a host reaches the library: the entry points it calls, whether they come
// from orv.dll loaded at run time or from the engine linked in.
#pragma once
#include <cstdint>
#include <string>

#include "api/orv_api.h"

namespace orv::host {

using DllInitFn = int(ORV_CALL*)(api::Word hwnd, api::Handle context, api::Word version, int request,
                                 api::Word a, api::Word b, api::Word c);
using RunFn = int(ORV_CALL*)(api::Word hwnd, api::Handle context, api::Handle script,
                             std::uint32_t runFlags, api::KeywordRecord* hostTable);
// Service requests back into a context (ptrA, ptrB, numA, numB).
using ServicesFn = int(ORV_CALL*)(api::Handle context, int request, void* ptrA, void* ptrB,
                                  std::int32_t numA, std::int32_t numB);

// Service request numbers the host uses.
inline constexpr int kServiceSetParams = 11;
inline constexpr int kServiceHeapCopy = 42;

struct EngineApi {
  DllInitFn init = nullptr;
  RunFn run = nullptr;
  ServicesFn services = nullptr;  // optional: parameters and string results need it
};

// Finds the entry points; on failure returns false and says why in `error`.
bool load_engine(EngineApi& api, std::string& error);

}  // namespace orv::host
