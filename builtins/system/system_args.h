// What the folder, disk and environment built-ins share: their error numbers
// and the two result forms they answer with.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "builtins/dispatch.h"

namespace orv::system {

// Text the system hands over: UTF-16 when the call is wide or when the text
// holds characters the ANSI code page lacks, else ANSI.
bool set_system_text(Call& call, std::u16string_view text);
// A path or item as an error's additional text.
std::string shown(std::u16string_view text);
// A size or count: a 32-bit integer while it fits, else a 64-bit one.
void set_count(Call& call, std::uint64_t n);

void register_directories(HandlerTable& t);
void register_disks(HandlerTable& t);
void register_environment(HandlerTable& t);

}  // namespace orv::system
