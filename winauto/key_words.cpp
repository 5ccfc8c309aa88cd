#include "winauto/key_words.h"

namespace orv::winauto {

std::optional<KeyUnit> parse_key_word(std::string_view word) {
  if (word.empty()) return std::nullopt;
  const KeyParse parsed = parse_keys(word, true);
  if (parsed.malformed || parsed.units.size() != 1 || parsed.units[0].repeat != 1) return std::nullopt;
  return parsed.units[0];
}

KeyWordList parse_key_word_list(std::string_view list, char delimiter) {
  KeyWordList out;
  std::size_t start = 0;
  for (std::size_t place = 1;; ++place) {
    const std::size_t end = list.find(delimiter, start);
    const std::string_view word = list.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    const auto key = parse_key_word(word);
    if (!key) {
      out.bad = place;
      out.keys.clear();
      return out;
    }
    out.keys.push_back(*key);
    if (end == std::string_view::npos) return out;
    start = end + 1;
  }
}

std::uint32_t plain_modifiers(std::uint32_t mods) {
  std::uint32_t out = mods & (mod::kLWin | mod::kRWin | mod::kApps);
  if (mods & (mod::kShift | mod::kLShift | mod::kRShift)) out |= mod::kShift;
  if (mods & (mod::kCtrl | mod::kLCtrl | mod::kRCtrl)) out |= mod::kCtrl;
  if (mods & (mod::kAlt | mod::kLAlt | mod::kRAlt)) out |= mod::kAlt;
  return out;
}

}  // namespace orv::winauto
