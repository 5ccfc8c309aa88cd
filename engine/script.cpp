#include "engine/script.h"

#include <cstring>
#include <string_view>

#include "engine/error_numbers.h"
#include "engine/limits.h"
#include "engine/convert.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "engine/messages.h"
#include "engine/script_source.h"
#include "engine/tokenizer.h"
#include "platform/platform.h"

namespace orv {
namespace {

bool already_prepared(const std::string& text) {
  std::size_t i = (!text.empty() && text[0] == ' ') ? 1 : 0;
  if (text.size() < i + 3 || text[i] != ';') return false;
  return text[i + 1] == kMarkerTag || (text[i + 1] == 0x0C && text[i + 2] != '@');
}

bool fail_with(Context& c, const SourceFault& fault) {
  return fault.text.empty() ? fail(c, fault.number) : fail(c, fault.number, fault.text);
}

}  // namespace

std::string locate_script_file(const std::string& name, const std::string& dir) {
  return disk_files().locate(name, dir);
}

bool prepare_script(Context& c, std::string raw, const std::string& file, const std::string& dir, Script& out) {
  SourceFault fault;
  if (!decode_script_bytes(raw, fault)) return fail_with(c, fault);
  // A NUL inside the text ends it, as the buffer is a C string.
  if (auto nul = raw.find('\0'); nul != std::string::npos) raw.resize(nul);
  normalise_line_ends(raw);
  out.file = file;
  out.dir = dir;
  if (c.includeOption && !raw.empty() && !already_prepared(raw)) {
    std::string expanded;
    if (!expand_includes(raw, file, dir, IncludeStyle{}, disk_files(), expanded, fault)) return fail_with(c, fault);
    if (auto nul = expanded.find('\0'); nul != std::string::npos) expanded.resize(nul);
    out.text = std::move(expanded);
  } else {
    out.text = std::move(raw);
  }
  if (out.text.size() > limits::kMaxJumpPosition) return fail(c, errs::kWorkBufferNoMemory);
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
  if (tooLong) c.pendingLineError = errs::kLineTooLong;
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
      if (!read_line(c, c.script(), c.pos, stmt)) return fail(c, errs::kMultilineUnclosed);
      c.pendingLineError = 0;
      if (c.line[0] == ';' && c.line[1] == kMarkerTag) return fail(c, errs::kMultilineBadChar, "'" + std::string(1, ';') + "'\n" + message_text(errs::kHintMultilineColons));
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
        return fail(c, errs::kMultilineBadChar, "'" + std::string(1, static_cast<char>(ch)) + "'\n" + message_text(errs::kHintMultilineColons).substr(0, 255));
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
    if (width > static_cast<std::size_t>(limits::kNameMax)) return fail(c, errs::kVariableNameTooLong);
    if (name[n] != '%') return fail(c, errs::kSubstitutionUnclosed);
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
    if (out.size() >= static_cast<std::size_t>(limits::kMaxSubstituted)) return fail(c, errs::kSubstitutionTooLong);
  }
  if (out.size() >= static_cast<std::size_t>(limits::kMaxSubstituted)) return fail(c, errs::kSubstitutionTooLong);
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
