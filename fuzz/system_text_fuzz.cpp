// Fuzz target: the drive lists, volume roots and environment names that the
// disk and environment functions read from scripts. The first byte picks how
// the rest is read (8-bit or UTF-16 units).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "builtins/system/system_text.h"

using namespace orv;

namespace {

std::u16string as_units(const std::uint8_t* data, std::size_t size, bool wide) {
  std::u16string out;
  if (!wide) return std::u16string(data, data + size);
  for (std::size_t i = 0; i + 1 < size; i += 2) out += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  return out;
}

bool is_drive_letter(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::u16string text = as_units(data + 1, size - 1, data[0] & 1);
  switch ((data[0] >> 1) % 3) {
    case 0: {
      const system::DriveList list = system::parse_drive_list(text);
      // A bad item spoils the whole list; a good list names each letter once.
      if (list.bad && !list.letters.empty()) std::abort();
      for (std::size_t i = 0; i < list.letters.size(); ++i) {
        if (!is_drive_letter(list.letters[i])) std::abort();
        if (std::count(list.letters.begin(), list.letters.end(), list.letters[i]) != 1) std::abort();
        if (system::parse_drive(system::drive_root(list.letters[i])) != list.letters[i]) std::abort();
      }
      if (const auto one = system::parse_drive(text); one && !is_drive_letter(*one)) std::abort();
      break;
    }
    case 1: {
      // A root reads back as itself and ends in a separator.
      if (const auto root = system::volume_root(text)) {
        if (root->size() < 3 || root->back() != u'\\' || system::volume_root(*root) != root) std::abort();
      }
      break;
    }
    default: {
      std::uint64_t n = 0;
      std::memcpy(&n, data + 1, std::min<std::size_t>(size - 1, sizeof n));
      std::string grouped = system::group_thousands(n);
      grouped.erase(std::remove(grouped.begin(), grouped.end(), ','), grouped.end());
      if (grouped != std::to_string(n)) std::abort();
      if (system::serial_text(static_cast<std::uint32_t>(n)).size() != 9) std::abort();
      // Entries at every NUL; the listing never shows a hidden "=" entry.
      std::vector<std::u16string> entries;
      std::size_t start = 0;
      for (std::size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == 0) {
          entries.push_back(text.substr(start, i - start));
          start = i + 1;
        }
      // The listing holds exactly the entries that are not hidden "=" ones.
      const std::u16string lines = system::environment_lines(entries);
      std::size_t kept = 0, length = 0;
      for (const auto& e : entries)
        if (!e.empty() && e[0] != u'=') {
          ++kept;
          length += e.size();
          if (lines.find(e) == std::u16string::npos) std::abort();
        }
      if (lines.size() != length + (kept ? kept - 1 : 0)) std::abort();
      if (system::environment_name_ok(text) && (text.empty() || text.find_first_of(std::u16string(u"=\0", 2)) != std::u16string::npos))
        std::abort();
      break;
    }
  }
  return 0;
}
