// Arguments and results of the box built-ins: every box works in UTF-16 and
// answers in the width of the call.
#pragma once
#include <string>
#include <string_view>

#include "builtins/dispatch.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"
#include "ui/box_backend.h"
#include "winauto/call_support.h"

namespace orv::ui {

inline std::u16string box_text(const Call& call, int k) { return winauto::text_arg(call, k); }
inline void box_result(Call& call, std::u16string_view text) { winauto::text_result(call, text); }

// Cancel, the close box and Escape all end the script's wait the same way:
// the user-cancel code, never a result. A box that could not be shown is 3104.
inline bool box_answered(Context& c, BoxAnswer answer) {
  if (answer == kBoxFailed) {
    if (!failed(c)) fail(c, errs::kWindowCreateFailed);
    return false;
  }
  if (answer == kBoxCancel) {
    fail(c, errs::kCancelled);
    return false;
  }
  return true;
}

}  // namespace orv::ui
