#include "winauto/desk_rules.h"

#include <algorithm>

namespace orv::winauto {
namespace {

char16_t fold_ascii(char16_t ch) { return ch >= u'A' && ch <= u'Z' ? static_cast<char16_t>(ch + 32) : ch; }

bool same_folded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold_ascii(a[i]) != fold_ascii(b[i])) return false;
  return true;
}

std::u16string_view file_part(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool program_matches(std::u16string_view wanted, std::u16string_view imagePath) {
  if (wanted.empty() || imagePath.empty()) return false;
  if (wanted.find_first_of(u"\\/") != std::u16string_view::npos) return same_folded(wanted, imagePath);
  const std::u16string_view file = file_part(imagePath);
  if (same_folded(wanted, file)) return true;
  if (wanted.find(u'.') != std::u16string_view::npos) return false;
  return file.size() == wanted.size() + 4 && same_folded(file.substr(wanted.size()), u".exe") &&
         same_folded(file.substr(0, wanted.size()), wanted);
}

std::optional<HelpCommand> help_command(std::string_view word) {
  static constexpr struct { std::string_view name; HelpCommand command; } kWords[] = {
      {"contents", HelpCommand::contents}, {"key", HelpCommand::key},
      {"partialkey", HelpCommand::partialkey}, {"context", HelpCommand::context},
      {"helponhelp", HelpCommand::helponhelp}, {"command", HelpCommand::command}, {"quit", HelpCommand::quit}};
  for (const auto& w : kWords) {
    if (w.name.size() != word.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < word.size() && same; ++i) {
      char ch = word[i];
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
      same = ch == w.name[i];
    }
    if (same) return w.command;
  }
  return std::nullopt;
}

std::optional<SessionMode> session_mode(std::int32_t mode) {
  SessionMode m;
  if (mode >= 100) {
    m.describeOnly = true;
    mode -= 100;
  }
  if (mode >= 8) {
    m.force = true;
    mode -= 8;
  }
  if (mode < 0 || mode > 3) return std::nullopt;
  m.action = mode;
  return m;
}

std::string describe_session(const SessionMode& m) {
  static constexpr std::string_view kActions[] = {"log off", "shut down", "restart", "power off"};
  std::string text(kActions[m.action]);
  if (m.force) text += ", ending programs without asking";
  return text;
}

std::optional<ArrangeStyle> arrange_style(std::int32_t style) {
  if (style < 1 || style > 4) return std::nullopt;
  return static_cast<ArrangeStyle>(style);
}

std::vector<ArrangeRect> arrange_rects(ArrangeStyle style, std::size_t count, ArrangeRect area, int step) {
  std::vector<ArrangeRect> out;
  if (count == 0) return out;
  const int width = std::max(area.right - area.left, 1), height = std::max(area.bottom - area.top, 1);
  auto cell = [&](std::size_t col, std::size_t row, std::size_t cols, std::size_t rows) {
    const auto x = [&](std::size_t k) { return area.left + static_cast<int>(static_cast<long long>(width) * k / cols); };
    const auto y = [&](std::size_t k) { return area.top + static_cast<int>(static_cast<long long>(height) * k / rows); };
    ArrangeRect r{x(col), y(row), x(col + 1), y(row + 1)};
    r.right = std::max(r.right, r.left + 1);
    r.bottom = std::max(r.bottom, r.top + 1);
    return r;
  };
  switch (style) {
    case ArrangeStyle::cascade: {
      const int w = std::max(width * 2 / 3, 1), h = std::max(height * 2 / 3, 1);
      step = std::max(step, 1);
      int k = 0;
      for (std::size_t i = 0; i < count; ++i, ++k) {
        if (area.left + k * step + w > area.right || area.top + k * step + h > area.bottom) k = 0;
        out.push_back({area.left + k * step, area.top + k * step, area.left + k * step + w, area.top + k * step + h});
      }
      break;
    }
    case ArrangeStyle::tile: {
      std::size_t cols = 1;
      while (cols * cols < count) ++cols;
      const std::size_t rows = (count + cols - 1) / cols;
      for (std::size_t i = 0; i < count; ++i) out.push_back(cell(i % cols, i / cols, cols, rows));
      break;
    }
    case ArrangeStyle::rows:
      for (std::size_t i = 0; i < count; ++i) out.push_back(cell(0, i, 1, count));
      break;
    case ArrangeStyle::columns:
      for (std::size_t i = 0; i < count; ++i) out.push_back(cell(i, 0, count, 1));
      break;
  }
  return out;
}

}  // namespace orv::winauto
