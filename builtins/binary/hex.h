// The binary family's hex text: the shared rule of builtins/text/hex.h.
#pragma once
#include "builtins/text/hex.h"

namespace orv::binary {

using text::hex_encode;
inline bool hex_decode(std::string_view text, std::string& out) {
  return text::hex_to_bytes(text, out) == text::HexStatus::ok;
}

}  // namespace orv::binary
