// A menu file's text as the parser wants it: read whole, UTF-16 with a
// byte-order mark converted to ANSI.
#pragma once
#include <cstdint>
#include <string>

namespace orv::menus {

// False with `message` set (504 open, 507 read, 215 conversion).
bool read_menu_text(const std::string& path, std::string& text, std::uint16_t& message);

}  // namespace orv::menus
