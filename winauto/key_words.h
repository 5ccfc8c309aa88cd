// Keys that scripts wait for or ask about, written as the key language writes
// one key: "a", "~", "{F2}", "+{TAB}", "{*LCONTROL}x". Platform-free; the
// Windows side maps characters to keys and watches the keyboard.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "winauto/key_language.h"

namespace orv::winauto {

// One key with the modifiers that must be held with it; nothing when the word
// is empty, malformed, or sends more (or less) than one key once.
std::optional<KeyUnit> parse_key_word(std::string_view word);

// A list of key words separated by `delimiter`; `bad` is the 1-based place of
// the first word that is no key (0 when all are keys).
struct KeyWordList {
  std::vector<KeyUnit> keys;
  std::size_t bad = 0;
};
KeyWordList parse_key_word_list(std::string_view list, char delimiter = '\t');
// WaitForKeyEx watches at most this many keys.
inline constexpr std::size_t kMaxWaitKeys = 100;

// The Shift/Ctrl/Alt flags of IsKeyDown (1 Ctrl, 2 Shift, 4 Alt): true when
// they name at least one of those keys and nothing else.
inline constexpr std::int32_t kKeyDownCtrl = 1, kKeyDownShift = 2, kKeyDownAlt = 4;
inline bool valid_key_down_flags(std::int32_t flags) { return flags >= 1 && flags <= 7; }

// The modifier flags of a unit folded to plain Shift, Ctrl and Alt (sides and
// the Windows keys kept apart), for comparing with what is held.
std::uint32_t plain_modifiers(std::uint32_t mods);

}  // namespace orv::winauto
