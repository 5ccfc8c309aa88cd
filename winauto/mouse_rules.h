// What the mouse functions take from scripts: button codes, click modifiers,
// positions as text, and the 0-1000 grid of a window. Platform-free; the
// Windows side turns the button steps into mouse events.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace orv::winauto {

enum class MouseButton { left, right, middle };

// One step of a click: a button goes down or up.
struct ButtonStep {
  MouseButton button = MouseButton::left;
  bool down = true;
};

// MouseClick's buttons: @LCLICK / @RCLICK / @MCLICK (513, 516, 519) click,
// @LDBLCLICK / @RDBLCLICK / @MDBLCLICK (515, 518, 521) double-click,
// @LBUTTON / @RBUTTON / @MBUTTON (4, 8, 16) press and hold, and the same
// negated (-@LBUTTON) release. Nothing for any other number.
std::optional<std::vector<ButtonStep>> click_steps(std::int32_t buttons);

// MouseClick's modifiers: 0, @CTRL (1), @SHIFT (2) or both.
inline bool valid_click_modifiers(std::int32_t mods) { return mods >= 0 && mods <= 3; }

// MousePlay's buttons, a sum of: @MPLAYLBUTTON / @MPLAYRBUTTON /
// @MPLAYMBUTTON (4, 8, 16) held during the move (a drag), and at most one
// click at the end: @MPLAYLCLK 32, @MPLAYLDBLCK 64, @MPLAYMCLK 128,
// @MPLAYMDBLCK 256, @MPLAYRCLK 512, @MPLAYRDBLCK 1024.
struct PlayButtons {
  std::vector<MouseButton> held;
  std::vector<ButtonStep> atEnd;
};
std::optional<PlayButtons> play_buttons(std::int32_t flags);

// "x y" (blanks, tabs or one comma between): two integers, each optionally
// signed. Nothing for anything else.
struct MousePoint {
  int x = 0, y = 0;
  bool operator==(const MousePoint&) const = default;
};
std::optional<MousePoint> parse_mouse_point(std::string_view text);

// A coordinate of the 0-1000 grid over [low, high) in pixels, and back
// (rounded to the nearest, so a pixel read back gives the grid value put in).
int grid_to_pixel(int grid, int low, int high);
int pixel_to_grid(int pixel, int low, int high);

// MouseInfo's requests: 0 to 6.
inline bool valid_mouse_request(std::int32_t r) { return r >= 0 && r <= 6; }

// Button-state bits answered by MouseInfo(6): the @LBUTTON, @RBUTTON and
// @MBUTTON values.
inline constexpr std::int32_t kLeftHeld = 4, kRightHeld = 8, kMiddleHeld = 16;

}  // namespace orv::winauto
