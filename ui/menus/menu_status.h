// Status-line texts of menu entries. An item's or pop-up's text is kept
// under a name of its own ("%M" or "%P", the menu file's letter, the number),
// so texts can be written, and translated, apart from the menu file.
#pragma once
#include <functional>
#include <string>

namespace orv::menus {

// "%MA12" for command item 12 of menu file A; "%PB3" for pop-up 3 of file B.
// A letter outside A..Z (any case) is taken as A.
std::string status_text_name(bool popup, char fileLetter, int number);

// Where texts are looked up by name; false when there is none.
using StatusTextLookup = std::function<bool(const std::string& name, std::string& text)>;

// The text of an entry, or "" when its name has none (or it has no number):
// the status line is then cleared rather than left showing another entry's text.
std::string status_text(bool popup, char fileLetter, int number, const StatusTextLookup& lookup);

}  // namespace orv::menus
