// Reading a dialog definition: the dialog variables in their fixed order,
// then each control variable item by item against the fields its type takes.
// The first failure stops the reading; nothing is changed.
#include "ui/dialogs/definition.h"

#include <algorithm>
#include <cstdio>

#include "engine/error_numbers.h"

namespace orv::dialogs {

namespace {

// Fields of a control variable after the type word, in order (name: 6.2 only).
enum Field : unsigned {
  kName = 1u << 0, kVariable = 1u << 1, kText = 1u << 2, kValue = 1u << 3, kTab = 1u << 4,
  kStyle = 1u << 5, kFont = 1u << 6, kTextColour = 1u << 7, kBackground = 1u << 8
};
constexpr Field kFieldOrder[] = {kName, kVariable, kText, kValue, kTab, kStyle, kFont, kTextColour, kBackground};

constexpr unsigned kLook = kTab | kStyle | kFont | kTextColour | kBackground;
constexpr unsigned kStaticFields = kText | kLook;
constexpr unsigned kBoundFields = kVariable | kStaticFields;
constexpr unsigned kButtonFields = kVariable | kText | kValue | kLook;

unsigned fields_of(int type) {
  switch (type) {
    case kStaticText: case kGroupBox: return kStaticFields;
    case kRadioButton: case kCheckBox: return kButtonFields;
    case kPushButton: return kText | kValue | kLook;
    case kPictureButton: return kText | kValue | kTab | kStyle | kBackground;
    case kPicture: return kText | kTab | kStyle | kBackground;
    case kCalendar: return kVariable | kText | kTab | kStyle | kFont;
    case kMenuBar: return 0;
    case kMenuItem: return kVariable | kText | kTab | kStyle;
    default: return kBoundFields;   // edit, list, spinner, ActiveX, report view and date-time controls
  }
}

std::uint16_t unsupported_error(Field f) {
  switch (f) {
    case kVariable: return errs::kDialogBadVariableAttribute;
    case kText: return errs::kDialogTextUnsupported;
    case kFont: return errs::kDialogFontUnsupported;
    case kTextColour: return errs::kDialogTextColourUnsupported;
    case kBackground: return errs::kDialogBackgroundUnsupported;
    default: return errs::kDialogValueUnsupported;
  }
}

std::string cut(std::string s, std::size_t max) {
  if (s.size() > max) s.resize(max);
  return s;
}

std::string lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

class Reader {
 public:
  Reader(std::string_view name, DefinitionSource& src, Definition& out, DefinitionError& err)
      : name_(name), src_(src), d_(out), err_(err) {}

  bool run() {
    if (name_.size() > kDialogNameMax) return fail(errs::kDialogNameTooLong, std::string(name_));
    return read_format() && read_dialog() && read_controls();
  }

 private:
  std::string_view name_;
  DefinitionSource& src_;
  Definition& d_;
  DefinitionError& err_;
  int controlCount_ = 0;
  int fileListBoxes_ = 0, menuBars_ = 0, okButtons_ = 0, cancelButtons_ = 0;
  std::uint32_t nextMenuKey_ = kMenuBarKey + 1;

  bool fail(std::uint16_t number, std::string text) {
    err_.number = number;
    err_.text = std::move(text);
    return false;
  }
  std::string var(std::string_view suffix) const { return std::string(name_) + std::string(suffix); }
  std::optional<std::string> get(std::string_view suffix) { return src_.text(var(suffix)); }

  bool read_format() {
    const auto format = get("Format");
    if (!format) return fail(errs::kDialogFormatMissing, var("Format") + " <NOT FOUND>");
    const std::string f = lower(*format);
    if (f == "trndlged,6.2") d_.version = 62;
    else if (f == "trndlged,6.1") d_.version = 61;
    else if (f == "trndlged,4.0" || f == "trndlged,5.0") d_.version = 40;
    else return fail(errs::kDialogFormatUnsupported, var("Format") + "=" + *format);
    return true;
  }

  // An optional integer variable; a value that is not a number is `error`.
  bool integer(std::string_view suffix, std::int32_t& out, std::int32_t absent, bool& present,
               std::uint16_t error, std::string_view label) {
    const auto text = get(suffix);
    present = text.has_value();
    if (!text) {
      out = absent;
      return true;
    }
    const auto v = parse_integer(*text);
    if (!v) return fail(error, std::string(name_) + " " + std::string(label) + "=" + *text);
    out = *v;
    return true;
  }

  bool read_dialog() {
    bool present = false;
    if (!integer("x", d_.x, -1, present, errs::kDialogBadPlacement, "x") || !integer("y", d_.y, -1, present, errs::kDialogBadPlacement, "y")) return false;
    if (!integer("width", d_.width, -1, present, errs::kDialogBadPlacement, "Width")) return false;
    if (d_.width < 0) return fail(errs::kDialogBadPlacement, std::string(name_) + " Width=" + (present ? std::to_string(d_.width) : "<NOT FOUND>"));
    if (!integer("height", d_.height, -1, present, errs::kDialogBadPlacement, "Height")) return false;
    if (d_.height < 0) return fail(errs::kDialogBadPlacement, std::string(name_) + " Height=" + (present ? std::to_string(d_.height) : "<NOT FOUND>"));
    const auto countText = get("NumControls");
    const auto countValue = countText ? parse_integer(*countText) : std::nullopt;
    if (!countValue) return fail(errs::kDialogCountMissing, var("NumControls") + " " + (countText ? *countText : "<NOT FOUND>"));
    controlCount_ = std::clamp(*countValue, 0, kMaxControls);
    d_.controls.reserve(static_cast<std::size_t>(controlCount_));
    d_.caption = cut(get("Caption").value_or(""), kCaptionMax);
    d_.procedure = cut(get("Procedure").value_or(""), kProcedureMax);
    if (const auto font = get("Font"); font && !is_default_word(*font)) {
      d_.font = parse_font(*font);
      if (!d_.font) return fail(errs::kDialogBadFont, var("Font") + "=" + *font);
    }
    if (const auto colour = get("TextColor"); colour && !is_default_word(*colour)) {
      d_.textColour = parse_colour(*colour);
      if (!d_.textColour) return fail(errs::kDialogBadTextColour, var("TextColor") + "=" + *colour);
    }
    if (!read_background()) return false;
    bool minW = false, minH = false;
    if (!integer("MinWidth", d_.minWidth, d_.width, minW, errs::kDialogBadMinimumSize, "MinWidth") ||
        !integer("MinHeight", d_.minHeight, d_.height, minH, errs::kDialogBadMinimumSize, "MinHeight"))
      return false;
    if (d_.minWidth < 0 || d_.minWidth > d_.width)
      return fail(errs::kDialogBadMinimumSize, std::string(name_) + " MinWidth=" + std::to_string(d_.minWidth));
    if (d_.minHeight < 0 || d_.minHeight > d_.height)
      return fail(errs::kDialogBadMinimumSize, std::string(name_) + " MinHeight=" + std::to_string(d_.minHeight));
    d_.resizable = minW || minH;
    return read_dpi();
  }

  bool read_background() {
    const auto value = get("Background");
    if (!value || is_default_word(*value)) return true;
    ItemReader items(*value);
    bool haveColour = false, haveImage = false;
    while (!items.at_end()) {
      const std::string item = items.next(false, false);
      if (item.empty() || is_default_word(item)) continue;
      const bool isColour = item.find('|') != std::string::npos ||
                            ((item[0] == 'H' || item[0] == 'h') &&
                             item.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos && item.size() > 1);
      if (isColour) {
        if (haveColour) return fail(errs::kDialogOneBackgroundImage, var("Background") + "=" + *value);
        haveColour = true;
        d_.background = parse_colour(item);
        if (!d_.background) return fail(errs::kDialogBadBackgroundColour, var("Background") + "=" + item);
      } else {
        if (haveImage) return fail(errs::kDialogOneBackgroundImage, var("Background") + "=" + *value);
        haveImage = true;
        if (!src_.image_loadable(item)) return fail(errs::kDialogBackgroundUnloadable, var("Background") + "=" + item);
        d_.backgroundImage = item;
      }
    }
    return true;
  }

  bool read_dpi() {
    const auto value = get("DPI");
    if (!value) return true;
    static constexpr std::int32_t kLimits[] = {460, 40, 80};
    std::int32_t* targets[] = {&d_.dpi, &d_.baseX, &d_.baseY};
    ItemReader items(*value);
    for (int k = 0; k < 3 && !items.at_end(); ++k) {
      const std::string item = items.next(false, false);
      const auto v = parse_integer(item);
      if (!v || *v < 1 || *v > kLimits[k]) return fail(errs::kDialogBadDpiValues, var("") + " DPI=`" + *value + "`");
      *targets[k] = *v;
    }
    if (!items.at_end()) return fail(errs::kDialogBadDpiValues, var("") + " DPI=`" + *value + "`");
    return true;
  }

  bool read_controls() {
    for (int n = 1; n <= controlCount_; ++n) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, "%3.3d", n);
      const auto value = get(suffix);
      if (!value) return fail(errs::kDialogControlMissing, var(suffix) + " <NOT FOUND>");
      Control ctl;
      ctl.number = n;
      if (!read_control(var(suffix), *value, ctl)) return false;
      d_.controls.push_back(std::move(ctl));
    }
    std::stable_sort(d_.controls.begin(), d_.controls.end(),
                     [](const Control& a, const Control& b) { return a.orderKey < b.orderKey; });
    for (std::size_t k = 0; k < d_.controls.size(); ++k)
      if (d_.controls[k].type == kGroupBox) d_.groupBoxes.push_back(static_cast<int>(k));
    return true;
  }

  bool read_control(const std::string& varName, const std::string& value, Control& ctl) {
    auto bad = [&](std::uint16_t number, std::string_view item) {
      return fail(number, varName + "=" + value + (item.empty() ? "" : " --> " + std::string(item)));
    };
    ItemReader items(value);
    std::int32_t* geometry[] = {&ctl.x, &ctl.y, &ctl.width, &ctl.height};
    for (std::int32_t* g : geometry) {
      if (items.at_end()) return bad(errs::kDialogTooFewItems, "");
      const std::string item = items.next(false, false);
      const auto v = parse_integer(item);
      if (!v) return bad(errs::kDialogBadControlPlacement, item);
      *g = *v;
    }
    if (items.at_end()) return bad(errs::kDialogTooFewItems, "");
    const std::string typeWord = items.next(false, false);
    ctl.type = type_number(typeWord, d_.version);
    if (ctl.type == 0) return bad(errs::kDialogBadControlType, typeWord);
    const unsigned takes = fields_of(ctl.type) | (d_.version == 62 ? static_cast<unsigned>(kName) : 0u);
    unsigned needed = takes;
    ctl.name = std::to_string(ctl.number);
    ctl.orderKey = static_cast<std::uint32_t>(ctl.number);
    for (Field f : kFieldOrder) {
      if (f == kName && d_.version != 62) continue;
      if (items.at_end()) break;
      bool quoted = false;
      const std::string item = items.next(f == kText, f == kText && ctl.type == kItemBox, &quoted);
      const bool isDefault = !quoted && is_default_word(item);
      if (!(takes & f)) {
        if (!isDefault) return bad(unsupported_error(f), item);
        continue;
      }
      needed &= ~static_cast<unsigned>(f);
      if (!read_field(f, item, isDefault, ctl, bad)) return false;
    }
    if (!items.at_end()) return bad(errs::kDialogTooManyItems, "");
    if (needed) return bad(errs::kDialogTooFewItems, "");
    return check_type_rules(ctl, bad);
  }

  template <class Bad>
  bool read_field(Field f, const std::string& item, bool isDefault, Control& ctl, Bad& bad) {
    switch (f) {
      case kName:
        if (item.empty()) return bad(errs::kDialogNameMissing, "");
        if (item.size() > kControlNameMax) return bad(errs::kDialogNameTooLongForControl, item);
        if (!isDefault) ctl.name = item;
        return true;
      case kVariable:
        if (item.empty() || isDefault) return bad(errs::kDialogNameUnsupported, item);
        // A programmatic identifier or a class id in braces is longer than a variable name may be.
        ctl.variable = ctl.type == kComControl ? cut(item, kClassNameMax) : cut(item, kVariableMax);
        if (ctl.type == kMenuItem && !menu_parent_known(ctl.variable)) return bad(errs::kDialogBadMenuParent, item);
        return true;
      case kText:
        if (!isDefault) ctl.text = item;
        return true;
      case kValue: {
        const auto v = isDefault ? std::optional<std::int32_t>(0) : parse_integer(item);
        if (!v) return bad(errs::kDialogBadValueAttribute, item);
        if (*v == 0 && ctl.type != kPushButton && ctl.type != kPictureButton) return bad(errs::kDialogBadButtonValue, item);
        ctl.value = *v;
        return true;
      }
      case kTab: {
        if (isDefault) return true;
        const auto v = parse_integer(item);
        if (!v) return bad(errs::kDialogBadTabOrder, item);
        if (ctl.type == kMenuItem) ctl.value = *v;
        else ctl.orderKey = static_cast<std::uint32_t>(*v);
        return true;
      }
      case kStyle: {
        if (isDefault) return true;
        const auto v = parse_style(item);
        if (!v) return bad(errs::kDialogBadStyle, item);
        ctl.style = *v;
        return true;
      }
      case kFont:
        if (isDefault) return true;
        ctl.font = parse_font(item);
        return ctl.font ? true : bad(errs::kDialogBadFontAttribute, item);
      case kTextColour:
        if (isDefault) return true;
        ctl.textColour = parse_colour(item);
        return ctl.textColour ? true : bad(errs::kDialogBadTextColourAttribute, item);
      case kBackground:
        if (isDefault) return true;
        if (ctl.type == kPicture || ctl.type == kPictureButton) {
          if (!src_.image_loadable(item)) return bad(errs::kDialogImageNotFound, item);
          ctl.image = item;
          return true;
        }
        ctl.background = parse_colour(item);
        return ctl.background ? true : bad(errs::kDialogBadBackgroundAttribute, item);
    }
    return true;
  }

  bool menu_parent_known(const std::string& parent) const {
    const std::string p = lower(parent);
    return std::any_of(d_.controls.begin(), d_.controls.end(), [&](const Control& c) {
      return (c.type == kMenuBar || c.type == kMenuItem) && lower(c.name) == p;
    });
  }

  template <class Bad>
  bool check_type_rules(Control& ctl, Bad& bad) {
    switch (ctl.type) {
      case kFileListBox:
        if (++fileListBoxes_ > 1) return bad(errs::kDialogSecondFileList, "");
        break;
      case kMenuBar:
        if (++menuBars_ > 1) return bad(errs::kDialogSecondMenuBar, "");
        ctl.orderKey = kMenuBarKey;
        break;
      case kMenuItem:
        ctl.orderKey = nextMenuKey_++;
        break;
      case kEditBox: case kMultilineBox:
        ctl.password = lower(ctl.variable.substr(0, 3)) == "pw_";
        break;
      case kPushButton: case kPictureButton:
        if (ctl.value == 1 && ++okButtons_ > 1) return bad(errs::kDialogSecondOkButton, "");
        if (ctl.value == 0 && ++cancelButtons_ > 1) return bad(errs::kDialogSecondCancelButton, "");
        break;
      default:
        break;
    }
    return true;
  }
};

}  // namespace

bool read_definition(std::string_view name, DefinitionSource& source, Definition& out, DefinitionError& error) {
  out = Definition{};
  error = DefinitionError{};
  return Reader(name, source, out, error).run();
}

}  // namespace orv::dialogs
