#include "engine/script_source.h"

#include "engine/error_numbers.h"
#include "engine/limits.h"

namespace orv {
namespace {

// #include lines expanded for one text: files that include each other many
// times over would otherwise take for ever even when every one is empty.
constexpr int kIncludesPerText = 4096;

bool fault_of(SourceFault& fault, std::uint16_t number, std::string text = {}) {
  fault.number = number;
  fault.text = std::move(text);
  return false;
}

// Menus: a NUL or Ctrl+Z ends the text, so nothing after it is expanded.
void cut_at_end_mark(std::string& text) {
  const std::size_t end = text.find_first_of(std::string_view("\0\x1A", 2));
  if (end != std::string::npos) text.resize(end);
}

// Each line of `text` prefixed with `indent`; a last line without LF gets one.
void append_indented(std::string& out, std::string_view text, std::string_view indent) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    out += indent;
    out.append(text.substr(start, end - start));
    out += '\n';
    start = end + 1;
  }
}

class DiskFiles final : public SourceFiles {
 public:
  std::string locate(const std::string& name, const std::string& dir) override {
    if (platform::is_absolute_path(name)) return platform::file_exists(name) ? name : std::string();
    if (!dir.empty() && platform::file_exists(dir + name)) return dir + name;
    if (platform::file_exists(name)) return name;
    return platform::search_path(name);
  }
  platform::FileStatus read(const std::string& path, std::string& out) override {
    return platform::read_whole_file(path, out);
  }
};

// One expansion's settings and what it has used so far.
struct Expansion {
  const IncludeStyle& style;
  SourceFiles& files;
  SourceFault& fault;
  int includes = 0;
};

bool expand(const std::string& text, const std::string& file, const std::string& dir, int depth, Expansion& run,
            std::string& out);

bool expand_include(std::string_view line, const std::string& dir, int depth, Expansion& run, std::string& out) {
  const IncludeStyle& style = run.style;
  SourceFiles& files = run.files;
  SourceFault& fault = run.fault;
  if (++run.includes > kIncludesPerText) return fault_of(fault, errs::kWorkBufferNoMemory);
  std::string name;
  if (!include_name(line, name)) return fault_of(fault, errs::kIncludeUnreadable, name);
  const std::string path = files.locate(name, dir);
  if (path.empty()) return fault_of(fault, errs::kIncludeUnreadable, name);
  std::string raw;
  switch (files.read(path, raw)) {
    case platform::FileStatus::ok: break;
    case platform::FileStatus::no_memory: return fault_of(fault, errs::kWorkBufferNoMemory, name);
    default: return fault_of(fault, errs::kIncludeUnreadable, name);
  }
  if (!decode_script_bytes(raw, fault)) {
    fault.text = name;
    return false;
  }
  if (style.menuLayout) cut_at_end_mark(raw);
  if (style.scriptLayout) normalise_line_ends(raw);
  std::string sub;
  if (!expand(raw, path, platform::directory_of(path), depth + 1, run, sub)) return false;
  if (style.menuLayout) {
    append_indented(out, sub, line.substr(0, line.find_first_not_of(" \t")));
  } else {
    out += sub;
    if (!out.empty() && out.back() != '\n') out += '\n';
  }
  return true;
}

bool expand(const std::string& text, const std::string& file, const std::string& dir, int depth, Expansion& run,
            std::string& out) {
  const IncludeStyle& style = run.style;
  SourceFault& fault = run.fault;
  if (depth > limits::kIncludeDepth) return fault_of(fault, errs::kIncludeTooDeep);
  if (out.size() + text.size() > limits::kMaxJumpPosition) return fault_of(fault, errs::kWorkBufferNoMemory);
  out.reserve(out.size() + text.size() + 64);
  if (style.scriptLayout) out += marker_line(1, file);
  std::uint32_t lineNo = 1;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string::npos ? text.size() : end + 1;
    const std::string_view line(text.data() + start, (end == std::string::npos ? text.size() : end) - start);
    if (is_include_line(line)) {
      if (!expand_include(line, dir, depth, run, out)) return false;
      if (style.scriptLayout) out += marker_line(lineNo + 1, file);
    } else {
      out.append(text, start, next - start);
      if (end == std::string::npos) out += '\n';
      if (style.scriptLayout && (starts_with_word(line, "#definefunction") || starts_with_word(line, "#definesubroutine")))
        out += marker_line(lineNo + 1, file);
    }
    ++lineNo;
    start = next;
  }
  return true;
}

}  // namespace

bool starts_with_word(std::string_view line, std::string_view word) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (line.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    char ch = line[i + k];
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    if (ch != word[k]) return false;
  }
  return true;
}

SourceFiles& disk_files() {
  static DiskFiles files;
  return files;
}

bool is_encoded_script(std::string_view raw) {
  return !raw.empty() && raw[0] >= 1 && raw[0] <= 3;
}

bool decode_script_bytes(std::string& raw, SourceFault& fault) {
  // The encoded form is not read by this interpreter: refused rather than run as garbage.
  if (is_encoded_script(raw)) return fault_of(fault, errs::kUnknownScriptFormat);
  if (raw.size() < 2) return true;
  const auto b0 = static_cast<unsigned char>(raw[0]), b1 = static_cast<unsigned char>(raw[1]);
  const bool little = b0 == 0xFF && b1 == 0xFE;
  const bool big = b0 == 0xFE && b1 == 0xFF;
  if (!little && !big) return true;
  std::u16string wide;
  wide.reserve(raw.size() / 2);
  for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
    const auto lo = static_cast<unsigned char>(raw[little ? i : i + 1]);
    const auto hi = static_cast<unsigned char>(raw[little ? i + 1 : i]);
    wide.push_back(static_cast<char16_t>(lo | (hi << 8)));
  }
  std::string ansi;
  if (!platform::utf16_to_ansi(wide, ansi)) return fault_of(fault, errs::kScriptUnicodeUnconvertible);
  raw = std::move(ansi);
  return true;
}

void normalise_line_ends(std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') text[i] = (i + 1 < text.size() && text[i + 1] == '\n') ? ' ' : '\n';
  }
}

bool is_include_line(std::string_view line) {
  if (!starts_with_word(line, "#include")) return false;
  const std::size_t i = line.find_first_not_of(" \t");
  const char after = i + 8 < line.size() ? line[i + 8] : '\0';
  return after == ' ' || after == '\t';
}

bool include_name(std::string_view line, std::string& name) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  i += 8;   // "#include"
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  std::string_view rest = i < line.size() ? line.substr(i) : std::string_view();
  if (!rest.empty() && (rest[0] == '"' || rest[0] == '\'' || rest[0] == '`')) {
    const std::size_t close = rest.find(rest[0], 1);
    if (close == std::string_view::npos) { name = std::string(rest.substr(1)); return false; }
    name = std::string(rest.substr(1, close - 1));
  } else {
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r')) rest.remove_suffix(1);
    name = std::string(rest);
  }
  return !name.empty() && name.size() <= static_cast<std::size_t>(limits::kIncludeNameMax);
}

bool expand_includes(const std::string& text, const std::string& file, const std::string& dir,
                     const IncludeStyle& style, SourceFiles& files, std::string& out, SourceFault& fault) {
  Expansion run{style, files, fault};
  if (!style.menuLayout) return expand(text, file, dir, 0, run, out);
  std::string cut = text;
  cut_at_end_mark(cut);
  return expand(cut, file, dir, 0, run, out);
}

std::string marker_line(std::uint32_t lineNo, const std::string& file, char flag) {
  std::string m = ";";
  m += kMarkerTag;
  m += flag;
  m += '@';
  for (int shift = 18; shift >= 0; shift -= 6) m += static_cast<char>(((lineNo >> shift) & 0x3F) + 64);
  m += file;
  m += '\n';
  return m;
}

}  // namespace orv
