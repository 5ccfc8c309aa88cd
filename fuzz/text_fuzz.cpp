// Fuzz target: hex text, the native code pages, parameter words and the
// skipping text search. Whatever the input, decoding never reads past it, and
// what decodes encodes back to the same data; the single-byte code pages
// round-trip every byte; the search finds what a plain scan finds.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "builtins/strings/unit_search.h"
#include "builtins/text/hex.h"
#include "builtins/text/items.h"
#include "engine/parameter_words.h"
#include "platform/native/code_page_tables.h"

using namespace orv;
namespace cp = orv::platform::codepages;

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

void hex(std::string_view in) {
  std::string bytes, again;
  if (text::hex_to_bytes(in, bytes) == text::HexStatus::ok) {
    check(text::hex_to_bytes(text::bytes_to_hex(bytes), again) == text::HexStatus::ok && again == bytes);
  }
  check(text::hex_to_bytes(text::bytes_to_hex(in), again) == text::HexStatus::ok && again == in);
  std::u16string units, unitsAgain;
  if (text::hex_to_units(in, units) == text::HexStatus::ok)
    check(text::hex_to_units(text::units_to_hex(units), unitsAgain) == text::HexStatus::ok && unitsAgain == units);
}

void code_pages(std::string_view in) {
  for (unsigned page : {cp::kAnsi, cp::kOem, cp::kUtf8}) {
    std::u16string wide;
    std::string back;
    const bool ok = cp::to_utf16(in, page, wide);
    check(ok || page == cp::kUtf8);
    if (ok) check(cp::from_utf16(wide, page, back) && back == in);
  }
  // The input's bytes read as UTF-16 units, through UTF-8 and back.
  std::u16string units(in.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(in[2 * i]) | static_cast<unsigned char>(in[2 * i + 1]) << 8);
  std::string bytes;
  std::u16string again;
  if (cp::from_utf16(units, cp::kUtf8, bytes)) check(cp::to_utf16(bytes, cp::kUtf8, again) && again == units);
}

void words(std::string_view in) {
  std::size_t total = 0;
  const auto list = parameter_words(in);
  for (const auto& w : list) total += w.size();
  check(total <= in.size() && list.size() <= in.size());
}

// The first byte sizes the needle, the next bytes are the needle and the
// rest is the text; bytes also pair up as UTF-16 units (low bytes collide).
void search(std::string_view in) {
  if (in.empty()) return;
  const std::size_t m = std::min<std::size_t>(static_cast<unsigned char>(in[0]) % 64, in.size() - 1);
  const std::string_view sub = in.substr(1, m), hay = in.substr(1 + m);
  for (std::size_t from : {std::size_t{0}, hay.size() / 3, hay.size()})
    check(strings::find_units(hay, sub, from) == hay.find(sub, from));
  std::u16string wideSub, wideHay;
  for (char ch : sub) wideSub += static_cast<char16_t>(static_cast<unsigned char>(ch) * 0x101 & 0x3FF);
  for (char ch : hay) wideHay += static_cast<char16_t>(static_cast<unsigned char>(ch) * 0x101 & 0x3FF);
  const std::u16string_view ws(wideSub), wh(wideHay);
  for (std::size_t from : {std::size_t{0}, wh.size() / 2})
    check(strings::find_units(wh, ws, from) == wh.find(ws, from));
}

}  // namespace

// The item list after the first byte, delimited by that byte: the quick
// scan stops at the delimiters the character walk stops at, and counts them.
void item_delimiters(std::string_view in) {
  if (in.empty()) return;
  const std::string_view delim = in.substr(0, 1), list = in.substr(1);
  std::vector<std::size_t> quick, walked;
  const std::size_t stop = static_cast<unsigned char>(in[0]) % 5 + 1;
  text::each_delimiter(list, delim, [&](std::size_t at) { quick.push_back(at); return quick.size() < stop; });
  text::each_delimiter_by_char(list, delim, [&](std::size_t at) { walked.push_back(at); return walked.size() < stop; });
  check(quick == walked);
  // Counting eight bytes at a time finds the same delimiters.
  std::vector<std::size_t> all;
  text::each_delimiter_by_char(list, delim, [&](std::size_t at) { all.push_back(at); return true; });
  check(text::count_delimiters(list, delim) == all.size());
  for (std::size_t k = 1; k <= all.size() + 1; ++k)
    check(text::nth_delimiter(list, delim, k) == (k <= all.size() ? all[k - 1] : std::string_view::npos));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  hex(in);
  code_pages(in);
  words(in);
  search(in);
  item_delimiters(in);
  return 0;
}
