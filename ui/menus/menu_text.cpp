#include "ui/menus/menu_text.h"

#include <cstdio>
#include <memory>

#include "platform/platform.h"

namespace orv::menus {

namespace {
inline constexpr long kMenuFileMax = 16L << 20;   // far beyond any menu; keeps a bad file from taking the heap
struct FileCloser { void operator()(std::FILE* f) const { std::fclose(f); } };
}  // namespace

bool read_menu_text(const std::string& path, std::string& text, std::uint16_t& message) {
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) { message = 504; return false; }
  std::string bytes;
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
    bytes.append(chunk, got);
    if (bytes.size() > static_cast<std::size_t>(kMenuFileMax)) { message = 507; return false; }
  }
  if (std::ferror(f.get())) { message = 507; return false; }
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::u16string wide((bytes.size() - 2) / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i)
      wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                      (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
    if (!platform::utf16_to_ansi(wide, text)) { message = 215; return false; }
    return true;
  }
  text = std::move(bytes);
  return true;
}

}  // namespace orv::menus
