// A menu file's text as the parser wants it: read whole, decoded like a
// script (encoded form refused, UTF-16 with a byte-order mark converted to
// ANSI) and its #include lines expanded.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/script_source.h"

namespace orv::menus {

struct MenuTextFault {
  std::uint16_t message = 0;   // 504 open, 505 memory, 507 read, 215/219 decoding, 216/217/218 #include
  std::string detail;          // the file concerned
};

// Decodes and expands text already read from `path`. False with the fault set.
// `included`, when given, receives the path of every file an #include read.
bool prepare_menu_text(std::string raw, const std::string& path, SourceFiles& files, std::string& text,
                       MenuTextFault& fault, std::vector<std::string>* included = nullptr);

// Reads `path` from disk and prepares it.
bool read_menu_text(const std::string& path, std::string& text, MenuTextFault& fault,
                    std::vector<std::string>* included = nullptr);

}  // namespace orv::menus
