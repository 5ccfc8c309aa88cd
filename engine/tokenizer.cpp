#include "engine/tokenizer.h"

#include <cstring>
#include "engine/error_numbers.h"
#include "engine/keywords.h"
#include "engine/variables.h"
#include "platform/platform.h"

namespace orv {
namespace {

bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }

void set_token(Context& c, const char* from, std::size_t n) {
  if (n > limits::kMaxLine) n = limits::kMaxLine;
  std::memcpy(c.token, from, n);
  c.token[n] = '\0';
}

bool scan_number(Context& c) {
  char* p = c.prog;
  bool dot = false, exponent = false;
  std::size_t n = 0;
  for (;;) {
    char ch = p[n];
    if (is_digit(ch)) { ++n; continue; }
    if (ch == '.' && !exponent) {
      bool before = n > 0 && is_digit(p[n - 1]);
      bool after = is_digit(p[n + 1]);
      if (dot && (before || after)) return fail(c, errs::kFloatTooManyDots);
      if (dot) return fail(c, errs::kFloatTooManyDots);
      if (!before && !after) return fail(c, errs::kUnrecognizedItem);
      dot = true;
      ++n;
      continue;
    }
    if ((ch == 'e' || ch == 'E') && n > 0) {
      bool digitNext = is_digit(p[n + 1]);
      bool signNext = (p[n + 1] == '+' || p[n + 1] == '-') && is_digit(p[n + 2]);
      if (!digitNext && !signNext) return fail(c, errs::kUnrecognizedItem);
      if (exponent) return fail(c, errs::kFloatTooManyExponents);
      exponent = true;
      n += signNext ? 2 : 1;
      continue;
    }
    break;
  }
  set_token(c, p, n);
  c.prog = p + n;
  c.tokKind = (dot || exponent) ? tk::kFloat : tk::kInteger;
  return true;
}

bool scan_word(Context& c) {
  std::size_t len = 0;
  int found = lookup_identifier(c, c.prog, len);
  if (found != kNotAKeyword) {
    set_token(c, c.prog, len);
    c.prog += len;
    c.tokKind = tk::kKeyword;
    c.delim = found;
    return true;
  }
  std::size_t n = 0;
  while (is_name_char(c.prog[n]) || c.prog[n] == '.') ++n;
  if (n > static_cast<std::size_t>(limits::kNameMax)) return fail(c, errs::kNameTooLong);
  set_token(c, c.prog, n);
  std::string lower = lower_name(std::string_view(c.token, n));
  std::memcpy(c.token, lower.data(), n);
  std::memcpy(c.rawName, lower.data(), n + 1);
  c.prog += n;
  c.tokKind = tk::kVariable;
  c.delim = 0;
  if (c.scanNoCreate) return true;
  c.tokenSlot = find_or_create_slot(c, lower);
  return c.tokenSlot != kNotFound;
}

// The slot of a replayed variable token: the remembered one when it still
// holds the name in this frame, else found (or created) afresh.
void replay_variable_slot(Context& c, CachedToken& t) {
  if (hint_holds(c, t.hint)) {
    c.tokenSlot = t.hint.slot;
    return;
  }
  c.tokenSlot = find_or_create_slot(c, t.text);
  if (c.tokenSlot != kNotFound) t.hint = SlotHint{c.tokenSlot, c.slotStamp};
}

// Serves the token at c.prog from the line's cache; false when the cache has
// no token starting there (the caller then scans).
bool replay_token(Context& c, int& result) {
  const char* p = c.prog;
  while (*p == ' ' || *p == '\t') ++p;
  const auto offset = static_cast<std::size_t>(p - c.line);
  auto& tokens = c.replay->tokens;
  std::size_t i = c.replayCursor;
  if (i >= tokens.size() || tokens[i].start != offset) {
    i = 0;
    while (i < tokens.size() && tokens[i].start < offset) ++i;
    if (i >= tokens.size() || tokens[i].start != offset) return false;
  }
  CachedToken& t = tokens[i];
  c.replayCursor = i + 1;
  c.tokenStart = c.line + t.start;
  c.prog = c.line + t.end;
  c.tokKind = t.kind;
  c.delim = t.delim;
  std::memcpy(c.token, t.text.c_str(), t.text.size() + 1);
  result = t.pointerAmp ? 1 : 0;
  if (t.kind == tk::kKeyword) c.lastAmpIsPointer = t.pointerAmp;
  if (t.kind == tk::kVariable) {
    std::memcpy(c.rawName, t.text.c_str(), t.text.size() + 1);
    replay_variable_slot(c, t);
    if (c.tokenSlot == kNotFound) return true;   // the error is set
  }
  return true;
}

bool scan_quoted(Context& c) {
  char quote = *c.prog;
  const char* p = c.prog + 1;
  std::size_t n = 0;
  while (*p) {
    if (*p == quote) {
      if (p[1] == quote) { if (n < limits::kMaxLine) c.token[n++] = quote; p += 2; continue; }
      ++p;
      break;
    }
    if (platform::is_dbcs_lead_byte(static_cast<unsigned char>(*p)) && p[1]) {
      if (n + 1 < limits::kMaxLine) { c.token[n++] = p[0]; c.token[n++] = p[1]; }
      p += 2;
      continue;
    }
    if (n < limits::kMaxLine) c.token[n++] = *p;
    ++p;
  }
  c.token[n] = '\0';
  c.prog = const_cast<char*>(p);
  c.tokKind = tk::kString;
  return true;
}

}  // namespace

bool is_name_start(char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '@' || ch == '_';
}
bool is_name_char(char ch) { return is_name_start(ch) || is_digit(ch); }

int get_token(Context& c) {
  const bool prevKeyword = c.tokKind == tk::kKeyword;
  const std::int32_t prevId = c.delim;
  c.tokKind = tk::kEnd;
  c.token[0] = '\0';
  if (!c.prog) return 0;
  while (*c.prog == ' ' || *c.prog == '\t') ++c.prog;
  c.tokenStart = c.prog;
  char ch = *c.prog;
  if (ch == '\0' || ch == ';') { c.delim = 0; return 0; }
  if (c.replay) {
    int result = 0;
    if (replay_token(c, result)) return result;
  }
  if (is_digit(ch) || ch == '.') { c.delim = 0; scan_number(c); return 0; }
  if (is_name_start(ch)) { scan_word(c); return 0; }
  int result = 0;
  if (ch == '&' && c.prog[1] != '&' && prevKeyword && prevId != id::kRParen &&
      keyword_kind(c, prevId) != kk::kConstant)
    result = 1;
  std::size_t len = 0;
  int found = lookup_operator(c, c.prog, len);
  if (found != kNotAKeyword) {
    set_token(c, c.prog, len);
    c.prog += len;
    c.tokKind = tk::kKeyword;
    c.delim = found;
    c.lastAmpIsPointer = result == 1;
    return result;
  }
  c.delim = 0;
  if (ch == '"' || ch == '\'' || ch == '`') { scan_quoted(c); return 0; }
  if (ch == '$' && c.prog[1] == '"') {
    set_token(c, c.prog, 2);
    c.prog += 2;
    c.tokKind = tk::kMultiline;
    return 0;
  }
  fail(c, errs::kUnrecognizedItem);
  return 0;
}

void putback(Context& c) {
  if (c.tokenStart) c.prog = c.tokenStart;
}

void get_string_token(Context& c) {
  c.tokKind = tk::kEnd;
  c.token[0] = '\0';
  while (*c.prog == ' ' || *c.prog == '\t') ++c.prog;
  c.tokenStart = c.prog;
  if (*c.prog == '\0' || *c.prog == ';') return;
  if (!is_name_char(*c.prog)) { fail(c, errs::kUnrecognizedItem); return; }
  std::size_t n = 0;
  while (is_name_char(c.prog[n])) ++n;
  if (n > limits::kLineBuffer) { fail(c, errs::kStringTooLong); return; }
  set_token(c, c.prog, n);
  c.prog += n;
  c.tokKind = tk::kString;
  c.delim = -1;
}

bool cache_line_tokens(Context& c, char* line, CachedLine& out) {
  const ScanState saved = save_scan(c);
  const bool savedAmp = c.lastAmpIsPointer;
  const std::uint16_t savedSlot = c.tokenSlot;
  CachedLine* savedReplay = c.replay;
  c.replay = nullptr;
  c.scanNoCreate = true;
  c.prog = line;
  c.tokKind = tk::kEnd;
  c.delim = 0;
  out.tokens.clear();
  bool ok = true;
  for (;;) {
    const int amp = get_token(c);
    if (failed(c) || c.tokKind == tk::kMultiline) { ok = false; break; }
    if (c.tokKind == tk::kEnd) break;
    CachedToken t;
    t.start = static_cast<std::uint16_t>(c.tokenStart - line);
    t.end = static_cast<std::uint16_t>(c.prog - line);
    t.kind = c.tokKind;
    t.delim = c.delim;
    t.pointerAmp = amp == 1;
    t.text = c.token;
    out.tokens.push_back(std::move(t));
  }
  c.error = 0;
  c.errorText.clear();
  c.scanNoCreate = false;
  c.replay = savedReplay;
  restore_scan(c, saved);
  c.lastAmpIsPointer = savedAmp;
  c.tokenSlot = savedSlot;
  out.text = line;
  out.generation = c.keywordGeneration;
  out.usable = ok;
  out.scanned = true;
  return ok;
}

bool declare_remaining_names(Context& c) {
  const auto offset = static_cast<std::size_t>(c.prog - c.line);
  for (CachedToken& t : c.replay->tokens) {
    if (t.start < offset || t.kind != tk::kVariable) continue;
    replay_variable_slot(c, t);
    if (failed(c)) {
      // A full table: leave this token to the scan, which reports and recovers.
      c.error = 0;
      c.prog = c.line + t.start;
      return false;
    }
  }
  return true;
}

ScanState save_scan(const Context& c) {
  return {c.prog, c.tokenStart, c.tokKind, c.delim, c.token, c.tokenSlot, c.replayCursor};
}

void restore_scan(Context& c, const ScanState& s) {
  c.prog = s.prog;
  c.tokenStart = s.tokenStart;
  c.tokKind = s.kind;
  c.delim = s.delim;
  std::memcpy(c.token, s.token.c_str(), s.token.size() + 1);
  c.tokenSlot = s.tokenSlot;
  c.replayCursor = s.replayCursor;
}

}  // namespace orv
