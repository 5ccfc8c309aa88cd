// The native stand-in knows 1252 (its ANSI code page), 437 (its OEM code page)
// and UTF-8; every other code page is not available. Its console is the
// terminal, which takes the bytes as they are: the console code page is a
// number kept for the script, starting at the OEM code page.
#include <atomic>

#include "platform/codepage.h"
#include "platform/native/code_page_tables.h"

namespace orv::platform {
namespace {

unsigned actual(unsigned codePage) { return codePage == 0 ? codepages::kAnsi : codePage; }

std::atomic<unsigned> consoleCodePage{codepages::kOem};   // process-wide, as a console is

}  // namespace

bool codepage_to_utf16(std::string_view in, unsigned codePage, std::u16string& out) {
  return codepages::to_utf16(in, actual(codePage), out);
}

bool utf16_to_codepage(std::u16string_view in, unsigned codePage, std::string& out) {
  return codepages::from_utf16(in, actual(codePage), out);
}

bool oem_to_ansi(std::string& s) {
  std::u16string wide;
  return codepages::to_utf16(s, codepages::kOem, wide) && codepages::from_utf16(wide, codepages::kAnsi, s);
}

bool ansi_to_oem(std::string& s) {
  std::u16string wide;
  return codepages::to_utf16(s, codepages::kAnsi, wide) && codepages::from_utf16(wide, codepages::kOem, s);
}

bool code_page_available(unsigned codePage) { return codepages::known(codePage); }
unsigned ansi_code_page() { return codepages::kAnsi; }
unsigned console_code_page() { return consoleCodePage.load(); }

bool set_console_code_page(unsigned codePage) {
  if (!codepages::known(codePage)) return false;
  consoleCodePage.store(codePage);
  return true;
}

}  // namespace orv::platform
