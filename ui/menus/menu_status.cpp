#include "ui/menus/menu_status.h"

namespace orv::menus {

std::string status_text_name(bool popup, char fileLetter, int number) {
  char letter = fileLetter;
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A' || letter > 'Z') letter = 'A';
  std::string name = popup ? "%P" : "%M";
  name += letter;
  name += std::to_string(number);
  return name;
}

std::string status_text(bool popup, char fileLetter, int number, const StatusTextLookup& lookup) {
  std::string text;
  if (number <= 0 || !lookup || !lookup(status_text_name(popup, fileLetter, number), text)) return {};
  return text;
}

}  // namespace orv::menus
