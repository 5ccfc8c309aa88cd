// Nothing thrown inside the library may leave it: a built-in, a statement or
// an exported entry point that meets an exception (in practice a container
// that could not allocate) turns it into an error number instead.
#pragma once
#include <cstdint>
#include <new>
#include <stdexcept>

#include "engine/context.h"
#include "engine/error_numbers.h"

namespace orv {

inline constexpr std::uint16_t kOutOfMemory = errs::kOutOfMemory;
inline constexpr std::uint16_t kInternalError = errs::kInternalError;

// The error number an exception stands for.
inline std::uint16_t error_for_current_exception() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (const std::length_error&) {
    return kOutOfMemory;   // a size beyond what a container can ever hold
  } catch (...) {
    return kInternalError;
  }
}

// Runs body(); an exception becomes its error number in the context and the
// result false. Use where a context is at hand (dispatch, statements).
template <class Body>
bool run_guarded(Context& c, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return fail(c, error_for_current_exception());   // fail(number) cannot throw
  }
}

// The last guard of an exported entry point: an exception gives `onFailure`.
template <class R, class Body>
R export_guard(R onFailure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onFailure;
  }
}

}  // namespace orv
