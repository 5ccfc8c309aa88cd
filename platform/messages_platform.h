// Where the Windows build finds message texts. Implemented in
// platform/win32/messages_win32.cpp; the native build uses the built-in table.
#pragma once
#include <cstdint>
#include <string>

namespace orv::platform {

// Text of string-table resource `number` of the module that holds this code
// (the DLL, not the host); "" when there is none.
std::string load_resource_string(std::uint32_t number);

// The language file's text for `number`, when a language file is in use and
// has one (numbers of 100 and above only). Returns false otherwise.
bool load_language_string(std::uint32_t number, std::string& out);

// The language file's text under `key` of its section "MAIN" (menu status
// texts are kept there by name). False when there is no language file or no such key.
bool load_language_text(const std::string& key, std::string& out);

}  // namespace orv::platform
