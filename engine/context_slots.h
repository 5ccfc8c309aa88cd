// Per-context settings that no IntControl request exchanges, kept in the
// request slot 0 of Context::intSettings (request 0 is no request): the code
// page of conversions between 8-bit and UTF-16 text (ChrSetCodePage; 0 means
// the system's ANSI code page) and the switch of Exclusive.
#pragma once
#include "engine/context.h"

namespace orv {

inline unsigned conversion_code_page_setting(const Context& c) { return static_cast<unsigned>(c.intSettings[0]); }
inline void set_conversion_code_page(Context& c, unsigned codePage) { c.intSettings[0] = static_cast<std::int32_t>(codePage); }

inline bool exclusive_setting(const Context& c) { return c.intSettingsP2[0] != 0; }
inline void set_exclusive(Context& c, bool on) { c.intSettingsP2[0] = on ? 1 : 0; }

}  // namespace orv
