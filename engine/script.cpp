#include "engine/script.h"

#include <cstring>
#include <string_view>

#include "engine/limits.h"
#include "engine/convert.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "engine/messages.h"
#include "engine/tokenizer.h"
#include "platform/platform.h"

namespace orv {
namespace {

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

std::string marker_line(std::uint32_t lineNo, const std::string& file, char flag = 'A') {
  std::string m = ";";
  m += kMarkerTag;
  m += flag;
  m += '@';
  for (int shift = 18; shift >= 0; shift -= 6) m += static_cast<char>(((lineNo >> shift) & 0x3F) + 64);
  m += file;
  m += '\n';
  return m;
}

bool decode_utf16(Context& c, std::string& raw) {
  if (raw.size() < 2) return true;
  auto b0 = static_cast<unsigned char>(raw[0]), b1 = static_cast<unsigned char>(raw[1]);
  bool little = b0 == 0xFF && b1 == 0xFE;
  bool big = b0 == 0xFE && b1 == 0xFF;
  if (!little && !big) return true;
  std::u16string wide;
  wide.reserve(raw.size() / 2);
  for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
    auto lo = static_cast<unsigned char>(raw[little ? i : i + 1]);
    auto hi = static_cast<unsigned char>(raw[little ? i + 1 : i]);
    wide.push_back(static_cast<char16_t>(lo | (hi << 8)));
  }
  std::string ansi;
  if (!platform::utf16_to_ansi(wide, ansi)) return fail(c, 215);
  raw = std::move(ansi);
  return true;
}

void normalise_line_ends(std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') text[i] = (i + 1 < text.size() && text[i + 1] == '\n') ? ' ' : '\n';
  }
}

bool already_prepared(const std::string& text) {
  std::size_t i = (!text.empty() && text[0] == ' ') ? 1 : 0;
  if (text.size() < i + 3 || text[i] != ';') return false;
  return text[i + 1] == kMarkerTag || (text[i + 1] == 0x0C && text[i + 2] != '@');
}

// The file name of an #include line, or false when it is malformed.
bool include_name(std::string_view line, std::string& name) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  i += 8;   // "#include"
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  std::string_view rest = line.substr(i);
  if (!rest.empty() && (rest[0] == '"' || rest[0] == '\'' || rest[0] == '`')) {
    std::size_t close = rest.find(rest[0], 1);
    if (close == std::string_view::npos) { name = std::string(rest.substr(1)); return false; }
    name = std::string(rest.substr(1, close - 1));
  } else {
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
    name = std::string(rest);
  }
  return !name.empty() && name.size() <= static_cast<std::size_t>(limits::kIncludeNameMax);
}

bool is_include_line(std::string_view line) {
  if (!starts_with_word(line, "#include")) return false;
  std::size_t i = line.find_first_not_of(" \t");
  char after = i + 8 < line.size() ? line[i + 8] : '\0';
  return after == ' ' || after == '\t';
}

bool load_text(Context& c, const std::string& path, std::string& out, std::uint16_t missingError) {
  switch (platform::read_whole_file(path, out)) {
    case platform::FileStatus::ok: return true;
    case platform::FileStatus::no_memory: return fail(c, missingError == 217 ? 216 : 203);
    default: return fail(c, missingError, path);
  }
}

bool expand(Context& c, const std::string& text, const std::string& file, const std::string& dir, int depth,
            std::string& out);

bool expand_include(Context& c, std::string_view line, const std::string& dir, int depth, std::string& out) {
  std::string name;
  if (!include_name(line, name)) return fail(c, 217, name);
  std::string path = locate_script_file(name, dir);
  if (path.empty()) return fail(c, 217, name);
  std::string raw;
  if (!load_text(c, path, raw, 217)) { if (c.error == 217) c.errorText = name; return false; }
  if (!raw.empty() && raw[0] >= 1 && raw[0] <= 3) return fail(c, 219);
  if (!decode_utf16(c, raw)) return false;
  normalise_line_ends(raw);
  std::string sub;
  if (!expand(c, raw, path, platform::directory_of(path), depth + 1, sub)) return false;
  out += sub;
  if (!out.empty() && out.back() != '\n') out += '\n';
  return true;
}

bool expand(Context& c, const std::string& text, const std::string& file, const std::string& dir, int depth,
            std::string& out) {
  if (depth > limits::kIncludeDepth) return fail(c, 218);
  out.reserve(out.size() + text.size() + 64);
  out += marker_line(1, file);
  std::uint32_t lineNo = 1;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string::npos ? text.size() : end + 1;
    std::string_view line(text.data() + start, (end == std::string::npos ? text.size() : end) - start);
    if (is_include_line(line)) {
      if (!expand_include(c, line, dir, depth, out)) return false;
      out += marker_line(lineNo + 1, file);
    } else {
      out.append(text, start, next - start);
      if (end == std::string::npos) out += '\n';
      if (starts_with_word(line, "#definefunction") || starts_with_word(line, "#definesubroutine"))
        out += marker_line(lineNo + 1, file);
    }
    ++lineNo;
    start = next;
  }
  return true;
}

}  // namespace

std::string locate_script_file(const std::string& name, const std::string& dir) {
  if (platform::is_absolute_path(name)) return platform::file_exists(name) ? name : std::string();
  if (!dir.empty() && platform::file_exists(dir + name)) return dir + name;
  if (platform::file_exists(name)) return name;
  return platform::search_path(name);
}

bool prepare_script(Context& c, std::string raw, const std::string& file, const std::string& dir, Script& out) {
  if (!raw.empty() && raw[0] >= 1 && raw[0] <= 3) return fail(c, 219);
  if (!decode_utf16(c, raw)) return false;
  // A NUL inside the text ends it, as the buffer is a C string.
  if (auto nul = raw.find('\0'); nul != std::string::npos) raw.resize(nul);
  normalise_line_ends(raw);
  out.file = file;
  out.dir = dir;
  if (c.includeOption && !raw.empty() && !already_prepared(raw)) {
    std::string expanded;
    if (!expand(c, raw, file, dir, 0, expanded)) return false;
    if (auto nul = expanded.find('\0'); nul != std::string::npos) expanded.resize(nul);
    out.text = std::move(expanded);
  } else {
    out.text = std::move(raw);
  }
  if (out.text.size() > limits::kMaxJumpPosition) return fail(c, 216);
  return true;
}

bool read_line(Context& c, const Script& s, std::uint32_t& pos, std::uint32_t& stmtPos) {
  c.replay = nullptr;
  const char* text = s.text.c_str();
  const auto size = static_cast<std::uint32_t>(s.text.size());
  if (pos >= size) return false;
  std::uint32_t p = pos;
  while (p < size && (text[p] == ' ' || text[p] == '\t')) ++p;
  stmtPos = p;
  const void* lf = std::memchr(text + p, '\n', size - p);
  std::uint32_t end = lf ? static_cast<std::uint32_t>(static_cast<const char*>(lf) - text) : size;
  if (const void* eof = std::memchr(text + p, 0x1A, end - p)) end = static_cast<std::uint32_t>(static_cast<const char*>(eof) - text);
  std::uint32_t n = end - p;
  const auto max = static_cast<std::uint32_t>(limits::kMaxLine);
  // A blank right before the line end may stand at the limit (CR LF became blank LF).
  const bool tooLong = n > max && !(n == max + 1 && text[end - 1] == ' ');
  if (n > max) n = max;
  std::memcpy(c.line, text + p, n);
  c.line[n] = '\0';
  pos = end < size ? end + 1 : end;
  if (tooLong) c.pendingLineError = 3722;
  return true;
}

Origin origin_of(const Script& s, std::uint32_t pos) {
  Origin o;
  o.file = s.file;
  const std::string& t = s.text;
  if (pos > t.size()) pos = static_cast<std::uint32_t>(t.size());
  std::uint32_t lines = 0;
  std::size_t lineStart = t.rfind('\n', pos == 0 ? 0 : pos - 1);
  lineStart = (lineStart == std::string::npos || pos == 0) ? 0 : lineStart + 1;
  for (;;) {
    if (t.size() > lineStart + 8 && t[lineStart] == ';' && t[lineStart + 1] == kMarkerTag) {
      std::uint32_t n = 0;
      for (int k = 0; k < 4; ++k) n = (n << 6) | ((static_cast<unsigned char>(t[lineStart + 4 + k]) - 64) & 0x3F);
      std::size_t eol = t.find('\n', lineStart);
      o.file = t.substr(lineStart + 8, eol - lineStart - 8);
      o.line = n + (lines > 0 ? lines - 1 : 0);
      return o;
    }
    if (lineStart == 0) break;
    ++lines;
    std::size_t prev = lineStart >= 2 ? t.rfind('\n', lineStart - 2) : std::string::npos;
    lineStart = prev == std::string::npos ? 0 : prev + 1;
  }
  o.line = lines + 1;
  return o;
}

bool read_multiline_constant(Context& c, Operand& out) {
  std::string value;
  std::string rest;   // text of the line after the closing delimiter
  const char* p = c.prog;
  bool firstLine = true;
  for (;;) {
    if (!firstLine) {
      std::uint32_t stmt = 0;
      if (!read_line(c, c.script(), c.pos, stmt)) return fail(c, 3059);
      c.pendingLineError = 0;
      if (c.line[0] == ';' && c.line[1] == kMarkerTag) return fail(c, 3605, "'" + std::string(1, ';') + "'\n" + message_text(9517));
      if (!substitute(c, c.line, true)) return false;
      p = c.line;
    }
    bool closed = false;
    std::size_t taken = 0;
    while (*p) {
      unsigned char ch = static_cast<unsigned char>(*p);
      if (platform::is_dbcs_lead_byte(ch) && p[1]) { value += p[0]; value += p[1]; p += 2; taken += 2; continue; }
      if (ch == '$' && p[1] == '"') { closed = true; p += 2; break; }
      if (ch == ':' || ch == '#') {
        if (p[1] == static_cast<char>(ch)) { value += static_cast<char>(ch); p += 2; taken += 2; continue; }
        return fail(c, 3605, "'" + std::string(1, static_cast<char>(ch)) + "'\n" + message_text(9517).substr(0, 255));
      }
      if (firstLine || taken < static_cast<std::size_t>(limits::kMaxLine - 1)) value += static_cast<char>(ch);
      ++p;
      ++taken;
    }
    if (closed) { rest = p; break; }
    value += '\n';
    firstLine = false;
  }
  std::memcpy(c.line, rest.c_str(), rest.size() + 1);
  c.replay = nullptr;
  c.prog = c.line;
  c.lineSubstituted = true;
  return make_string(c, out, value);
}

bool substitute(Context& c, char* line, bool continuation) {
  if (!std::strchr(line, '%')) return true;
  std::string out;
  out.reserve(std::strlen(line) + 64);
  for (const char* p = line; *p;) {
    if (*p != '%') { out += *p++; continue; }
    if (p[1] == '%') { out += '%'; p += 2; continue; }
    const char* name = p + 1;
    std::size_t n = 0, width = 0;
    while (is_name_char(name[n]) || (platform::is_dbcs_lead_byte(static_cast<unsigned char>(name[n])) && name[n + 1])) {
      bool dbcs = !is_name_char(name[n]);
      n += dbcs ? 2 : 1;
      width += dbcs ? 2 : 1;
    }
    if (width > static_cast<std::size_t>(limits::kNameMax)) return fail(c, 3047);
    if (name[n] != '%') return fail(c, 3048);
    std::string key(name, n);
    for (char& ch : key) if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    std::uint16_t slot = find_slot(c, key);
    if (slot != kNotFound && is_assigned(c.slots[slot].v)) {
      std::string text;
      if (!value_text(c, c.slots[slot].v, text)) return false;
      out += text;
    } else if (key == "@crlf") out += "\r\n";
    else if (key == "@tab") out += '\t';
    else if (key == "@cr") out += '\r';
    else if (key == "@lf") out += '\n';
    p = name + n + 1;
    if (out.size() >= static_cast<std::size_t>(limits::kMaxSubstituted)) return fail(c, 3101);
  }
  if (out.size() >= static_cast<std::size_t>(limits::kMaxSubstituted)) return fail(c, 3101);
  if (!continuation && c.includeAsCall && starts_with_word(out, "#include")) {
    std::string name;
    include_name(out, name);
    std::string path = locate_script_file(name, c.script().dir);
    out = "Call(\"" + (path.empty() ? name : path) + "\",``)";
  }
  std::memcpy(line, out.c_str(), out.size() + 1);
  c.lineSubstituted = true;
  return true;
}

}  // namespace orv
