#include "builtins/dde/dde_rules.h"

namespace orv::dde {

std::string text_of_block(std::string_view bytes) { return std::string(bytes.substr(0, bytes.find('\0'))); }

std::u16string text_of_wide_block(std::string_view bytes) { return pipes::utf16le_text(bytes); }

std::string block_of_text(std::string_view text) {
  std::string out(text.substr(0, text.find('\0')));
  out += '\0';
  return out;
}

std::string block_of_text(std::u16string_view text) {
  return pipes::utf16le_bytes(text.substr(0, text.find(u'\0'))) + std::string(2, '\0');
}

}  // namespace orv::dde
