// Dialog definitions: the variables a script sets under a dialog name, read
// and checked into a description the runtime builds windows from. Platform
// free: the variables come through DefinitionSource, so tests and the fuzz
// target need no interpreter.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::dialogs {

inline constexpr std::size_t kDialogNameMax = 19;
inline constexpr int kMaxControls = 500;
inline constexpr std::size_t kCaptionMax = 255;
inline constexpr std::size_t kProcedureMax = 30;   // characters of a callback name that count
inline constexpr std::size_t kVariableMax = 30;    // characters of a bound variable name that count
inline constexpr std::size_t kControlNameMax = 30;
inline constexpr std::size_t kClassNameMax = 255;   // COMCONTROL: programmatic identifier or class id
inline constexpr std::size_t kFontFaceMax = 31;
inline constexpr std::size_t kStyleNameMax = 30;
inline constexpr std::uint32_t kMenuBarKey = 0x80000000u;   // menu entries follow all other controls

// A text without the blanks (spaces, tabs) at its ends.
inline std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

enum Type : int {
  kStaticText = 1, kEditBox, kRadioButton, kCheckBox, kVaryText, kFileListBox, kPushButton, kItemBox,
  kPictureButton, kPicture, kDropListBox, kMultilineBox, kGroupBox, kCalendar, kSpinner, kComControl,
  kMenuBar, kMenuItem, kReportView, kDateTime
};

// Style bits the runtime acts on.
namespace cs {
inline constexpr std::uint32_t kInvisible = 1, kDisabled = 2, kListOnly = 4, kReadOnly = 8, kPassword = 16,
                               kDefButton = 32, kDigits = 64, kCenter = 512, kRight = 1024;
}

struct Colour {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Colour&) const = default;
};

struct Font {
  std::string face;
  std::int32_t size = 0;        // 1024ths of a vertical dialog unit
  std::int32_t weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  std::uint8_t pitchFamily = 0, charSet = 0;
};

struct Control {
  int number = 0;                 // 1-based definition order
  std::string name;               // 6.2; the number as text otherwise
  int type = 0;
  std::int32_t x = 0, y = 0, width = 0, height = 0;   // dialog units
  std::string variable;
  std::string text;
  std::int32_t value = 0;
  std::uint32_t orderKey = 0;     // tab order; menus sort after everything else
  std::uint32_t style = 0;
  std::optional<Font> font;       // none: the dialog's
  std::optional<Colour> textColour, background;
  std::string image;              // PICTURE and PICTUREBUTTON
  bool password = false;
};

struct Definition {
  int version = 62;               // 61 or 62 (the legacy formats read as 61)
  std::int32_t x = -1, y = -1, width = 0, height = 0;
  std::int32_t minWidth = 0, minHeight = 0;
  bool resizable = false;
  std::string caption, procedure;
  std::optional<Font> font;
  std::optional<Colour> textColour, background;
  std::string backgroundImage;
  std::int32_t dpi = 0, baseX = 0, baseY = 0;   // 0: the system's
  std::vector<Control> controls;  // sorted by order key, ties in definition order
  std::vector<int> groupBoxes;    // indexes into controls
};

struct DefinitionError {
  std::uint16_t number = 0;
  std::string text;               // the variable and value that failed
};

// Where the reader finds the script's variables and files.
class DefinitionSource {
 public:
  virtual ~DefinitionSource() = default;
  // The variable's value as text, or none when it is not defined.
  virtual std::optional<std::string> text(std::string_view name) = 0;
  virtual bool image_loadable(std::string_view file) = 0;
};

// Reads dialog `name`; false with `error` set at the first failure.
bool read_definition(std::string_view name, DefinitionSource& source, Definition& out, DefinitionError& error);

// Item splitting of one definition value.
class ItemReader {
 public:
  explicit ItemReader(std::string_view value) : s_(value) {}
  bool at_end() const { return done_; }
  // The next item; `quoted` tells whether any of it stood in quotes.
  std::string next(bool textField, bool itemBoxText, bool* quoted = nullptr);

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
  bool done_ = false;
};

std::optional<Colour> parse_colour(std::string_view text);
std::optional<Font> parse_font(std::string_view text);            // "DEFAULT" is not a font
std::optional<std::uint32_t> parse_style(std::string_view text);  // number or constant names
std::optional<std::int32_t> parse_integer(std::string_view text);
bool is_default_word(std::string_view item);
int type_number(std::string_view word, int version);              // 0 when not a type of that version

// A spinner's range from its variable, "low|high" or "low|high|step", and the
// starting position from its text field (empty or DEFAULT: the low end;
// outside the range: clamped). 0 or the builder's error number.
struct SpinRange {
  std::int32_t low = 0, high = 100, step = 1, position = 0;
};
std::uint16_t parse_spin_range(std::string_view range, std::string_view preset, SpinRange& out);

}  // namespace orv::dialogs
