#include "winauto/mouse_rules.h"

#include <cmath>
#include <cstdlib>

namespace orv::winauto {
namespace {

void add_click(std::vector<ButtonStep>& steps, MouseButton b, int times) {
  for (int i = 0; i < times; ++i) {
    steps.push_back({b, true});
    steps.push_back({b, false});
  }
}

}  // namespace

std::optional<std::vector<ButtonStep>> click_steps(std::int32_t buttons) {
  std::vector<ButtonStep> steps;
  switch (buttons) {
    case 513: add_click(steps, MouseButton::left, 1); break;
    case 515: add_click(steps, MouseButton::left, 2); break;
    case 516: add_click(steps, MouseButton::right, 1); break;
    case 518: add_click(steps, MouseButton::right, 2); break;
    case 519: add_click(steps, MouseButton::middle, 1); break;
    case 521: add_click(steps, MouseButton::middle, 2); break;
    case 4: steps.push_back({MouseButton::left, true}); break;
    case 8: steps.push_back({MouseButton::right, true}); break;
    case 16: steps.push_back({MouseButton::middle, true}); break;
    case -4: steps.push_back({MouseButton::left, false}); break;
    case -8: steps.push_back({MouseButton::right, false}); break;
    case -16: steps.push_back({MouseButton::middle, false}); break;
    default: return std::nullopt;
  }
  return steps;
}

std::optional<PlayButtons> play_buttons(std::int32_t flags) {
  if (flags < 0 || flags > 2047 || (flags & 3)) return std::nullopt;
  PlayButtons out;
  if (flags & 4) out.held.push_back(MouseButton::left);
  if (flags & 8) out.held.push_back(MouseButton::right);
  if (flags & 16) out.held.push_back(MouseButton::middle);
  static constexpr struct { std::int32_t flag; MouseButton button; int times; } kClicks[] = {
      {32, MouseButton::left, 1},    {64, MouseButton::left, 2},   {128, MouseButton::middle, 1},
      {256, MouseButton::middle, 2}, {512, MouseButton::right, 1}, {1024, MouseButton::right, 2}};
  int clicks = 0;
  for (const auto& c : kClicks) {
    if (!(flags & c.flag)) continue;
    if (++clicks > 1) return std::nullopt;
    add_click(out.atEnd, c.button, c.times);
  }
  return out;
}

std::optional<MousePoint> parse_mouse_point(std::string_view text) {
  int values[2];
  std::size_t i = 0;
  auto skip_blanks = [&] { while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i; };
  for (int k = 0; k < 2; ++k) {
    skip_blanks();
    if (k == 1 && i < text.size() && text[i] == ',') {
      ++i;
      skip_blanks();
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const std::size_t start = i;
    long long v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      v = v * 10 + (text[i++] - '0');
      if (v > 1000000000) return std::nullopt;   // no screen is that large
    }
    if (i == start) return std::nullopt;
    if (k == 0 && i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != ',') return std::nullopt;
    values[k] = static_cast<int>(negative ? -v : v);
  }
  skip_blanks();
  if (i != text.size()) return std::nullopt;
  return MousePoint{values[0], values[1]};
}

int grid_to_pixel(int grid, int low, int high) {
  return low + static_cast<int>(std::lround(static_cast<double>(grid) * (high - low) / 1000.0));
}

int pixel_to_grid(int pixel, int low, int high) {
  if (high <= low) return 0;
  return static_cast<int>(std::lround(static_cast<double>(pixel - low) * 1000.0 / (high - low)));
}

}  // namespace orv::winauto
