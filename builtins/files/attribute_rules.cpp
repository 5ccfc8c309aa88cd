#include "builtins/files/attribute_rules.h"

#include "platform/files.h"

namespace orv::files {
namespace {

namespace pf = platform::files;

struct Letter {
  char16_t on;
  std::uint32_t bit;
};
constexpr Letter kLetters[] = {{u'R', pf::kReadOnly}, {u'A', pf::kArchive}, {u'S', pf::kSystem}, {u'H', pf::kHidden}};

}  // namespace

std::u16string attribute_text(std::uint32_t attributes) {
  std::u16string out;
  for (const Letter& l : kLetters) out += (attributes & l.bit) ? l.on : u'-';
  return out;
}

std::uint32_t apply_letters(std::uint32_t attributes, std::u16string_view letters) {
  for (char16_t ch : letters) {
    for (const Letter& l : kLetters) {
      if (ch == l.on) attributes |= l.bit;
      else if (ch == l.on + 32) attributes &= ~l.bit;
    }
  }
  return attributes & ~pf::kDirectory;
}

}  // namespace orv::files
