// The menu-file reader: line kinds, titles with hot keys, and the state
// machine that says which line may follow which.
#include "ui/menus/menu_file.h"

#include <cctype>

#include "engine/error_numbers.h"

namespace orv::menus {

namespace {

struct KeyName { std::string_view name; std::uint16_t code; };
constexpr KeyName kKeyNames[] = {
    {"BACKSPACE", 0x0008}, {"BS", 0x0008}, {"CLEAR", 0x100C}, {"DELETE", 0x102E}, {"DEL", 0x102E},
    {"DOWN", 0x1028}, {"END", 0x1023}, {"ENTER", 0x000D}, {"ESCAPE", 0x001B}, {"ESC", 0x001B},
    {"HELP", 0x102F}, {"HOME", 0x1024}, {"INSERT", 0x102D}, {"INS", 0x102D}, {"LEFT", 0x1025},
    {"PGDN", 0x1022}, {"PGUP", 0x1021}, {"PRTSC", 0x102C}, {"RIGHT", 0x1027}, {"TAB", 0x1009},
    {"UP", 0x1026}, {"SPACE", 0x0020}, {"SP", 0x0020}, {"NUMPAD*", 0x106A}, {"NUMPAD+", 0x106B},
    {"NUMPAD-", 0x106D}, {"NUMPAD.", 0x106E}, {"NUMPAD/", 0x106F}};

bool key_code(const std::string& name, std::uint16_t& code) {
  for (const KeyName& k : kKeyNames)
    if (name == k.name) { code = k.code; return true; }
  auto number_after = [&](std::string_view prefix, int low, int high, int& n) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 || name.size() > prefix.size() + 2)
      return false;
    n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
      n = n * 10 + (name[i] - '0');
    }
    return n >= low && n <= high;
  };
  int n = 0;
  if (number_after("F", 1, 16, n)) { code = static_cast<std::uint16_t>(0x1070 + n - 1); return true; }
  if (number_after("NUMPAD", 0, 9, n)) { code = static_cast<std::uint16_t>(0x1060 + n); return true; }
  return false;
}

std::string strip_line_end(std::string_view line) {
  std::string s(line.substr(0, kLineMax));
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

void read_title(std::string_view line, MenuEntry& e) {
  const std::size_t backslash = line.find('\\');
  std::string caption(line.substr(0, backslash));
  for (char& ch : caption)
    if (ch == '\t') ch = ' ';
  while (!caption.empty() && caption.back() == ' ') caption.pop_back();
  e.caption = caption;
  if (backslash != std::string_view::npos) parse_hot_key(line.substr(backslash + 1), e.hotKey);
}

// What each state allows, and the message when something else comes.
enum State { kStart, kAfter1, kAfter2, kAfter3, kAfter4, kCode1, kCode2, kCode3, kCode4 };

bool allowed(State s, LineKind k) {
  const int title = k >= LineKind::title1 && k <= LineKind::title4 ? static_cast<int>(k) : 0;   // 1..4
  switch (s) {
    case kStart: return title == 1 || k == LineKind::script;
    case kAfter1: return title == 2 || k == LineKind::script;
    case kAfter2: return title == 3 || k == LineKind::script;
    case kAfter3: return title == 4 || k == LineKind::script;
    case kAfter4: return k == LineKind::script;
    case kCode1: return title == 1 || k == LineKind::script;
    case kCode2: return (title >= 1 && title <= 2) || k == LineKind::script;
    case kCode3: return (title >= 1 && title <= 3) || k == LineKind::script;
    case kCode4: return title >= 1 || k == LineKind::script;
  }
  return false;
}

constexpr std::uint16_t kMessageFor[] = {512, 514, 519, 521, 580, 515, 520, 579, 581};

std::string_view script_text(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  return line;
}

}  // namespace

LineKind classify(std::string_view line) {
  const std::string_view rest = script_text(line);
  if (rest.empty() || rest.front() == '\'' || rest.front() == ';') return LineKind::ignored;
  std::size_t spaces = 0;
  for (std::size_t i = 0; i < line.size() && i < 4; ++i) {
    if (line[i] == '\t') return LineKind::script;
    if (line[i] != ' ') break;
    ++spaces;
  }
  if (spaces >= 4) return LineKind::script;
  return static_cast<LineKind>(static_cast<int>(LineKind::title1) + static_cast<int>(spaces));
}

bool parse_hot_key(std::string_view text, HotKey& out) {
  out = HotKey{};
  std::uint16_t mods = 0;
  std::string shown;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    if (text[i] == '!' && !(mods & 0x3000)) { mods |= 0x3000; shown += "Alt+"; }
    else if (text[i] == '+' && !(mods & 0x8000)) { mods |= 0x8000; shown += "Shift+"; }
    else if (text[i] == '^' && !(mods & 0x4000)) { mods |= 0x4000; shown += "Ctrl+"; }
    else break;
  }
  if (i >= text.size()) return false;
  std::uint16_t code = 0;
  if (text[i] == '{' && text.size() > i + 1) {
    const std::size_t close = text.find('}', i + 2);   // "{}}" names the brace itself
    if (close == std::string_view::npos) return false;
    std::string name;
    for (char ch : text.substr(i + 1, close - i - 1))
      if (ch != ' ') name += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (name.size() == 1) {
      code = static_cast<unsigned char>(name[0]);
    } else if (!key_code(name, code)) {
      return false;
    }
    shown += name;
  } else {
    const char ch = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    code = static_cast<unsigned char>(ch);
    shown += ch;
  }
  if ((mods & 0x4000) && code < 0x1000 && !(code >= 'A' && code <= 'Z')) code |= 0x1000;
  out.word = static_cast<std::uint16_t>(code | mods);
  out.shown = shown;
  return true;
}

MenuFile parse_menu(std::string_view text) {
  MenuFile m;
  State state = kStart;
  int item = 0;
  MenuEntry* open = nullptr;   // the command item whose script lines come now
  int lineNo = 0;
  std::size_t pos = 0;
  auto fault = [&](std::uint16_t number, std::string_view line) {
    m.message = number;
    m.badLine = lineNo;
    m.badText = std::string(line);
    return m;
  };
  std::vector<std::size_t> lastAtLevel(5, 0);   // entry index + 1 of the last title per level
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\n' && text[end] != '\0' && text[end] != '\x1A') ++end;
    const bool stop = end < text.size() && text[end] != '\n';   // NUL and Ctrl+Z end the file
    const std::string line = strip_line_end(text.substr(pos, end - pos));
    pos = stop ? text.size() : end + 1;
    ++lineNo;
    const LineKind kind = classify(line);
    if (kind == LineKind::ignored) continue;
    if (!allowed(state, kind)) return fault(kMessageFor[state], line);
    if (kind == LineKind::script) {
      if (state == kStart) continue;   // script lines before any title are ignored
      if (state >= kAfter1 && state <= kAfter4) {
        state = static_cast<State>(state + 4);
        open->item = ++item;
      }
      open->script.emplace_back(script_text(line));
      continue;
    }
    const int level = static_cast<int>(kind) - static_cast<int>(LineKind::title1) + 1;
    if (level > 1 && state >= kAfter1 && state <= kAfter3) open->popup = true;
    MenuEntry e;
    e.level = level;
    e.line = lineNo;
    read_title(script_text(line), e);
    m.entries.push_back(std::move(e));
    open = &m.entries.back();
    state = static_cast<State>(kAfter1 + level - 1);
  }
  if (state == kStart) return fault(errs::kMenuFirstTitleMissing, "");
  if (state >= kAfter1 && state <= kAfter4) return fault(errs::kMenuEndedEarly, open->caption);
  int popups = 0;
  for (MenuEntry& e : m.entries)
    if (e.popup) e.popupNumber = ++popups;
  return m;
}

bool item_script(const MenuFile& menu, int item, std::string& out) {
  for (const MenuEntry& e : menu.entries) {
    if (e.item != item || e.popup) continue;
    out.clear();
    for (const std::string& line : e.script) out += line + "\r\n";
    return true;
  }
  return false;
}

}  // namespace orv::menus
