// What the DDE built-ins decide without the operating system: conversation
// handle numbers, time-outs, and the text in a DDE data block.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "builtins/pipes/pipe_rules.h"

namespace orv::dde {

using ConversationHandles = pipes::HandleRange<654400, 32>;

// How long a transaction waits for the application until DDETimeOut changes it.
inline constexpr std::int32_t kDefaultTimeoutMs = 3000;
// DDE text items are NUL-terminated by convention; a block may also carry
// bytes after the NUL (or none at all).
std::string text_of_block(std::string_view bytes);
std::u16string text_of_wide_block(std::string_view bytes);
// A data block for text: the text and its terminating NUL.
std::string block_of_text(std::string_view text);
std::string block_of_text(std::u16string_view text);

}  // namespace orv::dde
