// The scanner: turns the current line into tokens, one at a time.
#pragma once
#include "engine/context.h"

namespace orv {

// Reads the next token at c.prog. Returns 1 when the token is an "&" that
// stands for the pointer operator, else 0. Errors are left in the context.
int get_token(Context& c);
void putback(Context& c);
// Reads a bare word (letters, digits, "@", "_") as a string token.
void get_string_token(Context& c);

inline bool at_end(const Context& c) { return c.tokKind == tk::kEnd; }
inline bool is_keyword(const Context& c, int id) { return c.tokKind == tk::kKeyword && c.delim == id; }

// Scans a whole line ahead of time (no slots are created, no error stays set);
// false when the line cannot be cached (a scan error or a multiline constant).
bool cache_line_tokens(Context& c, char* line, CachedLine& out);

// Gives the names of the cached line from c.prog on the slots that scanning
// them would give (skipped statements declare the names they contain). False
// when a slot cannot be made: c.prog is then at that name, for the scanner.
bool declare_remaining_names(Context& c);

// Saved scanner position for look-ahead.
struct ScanState {
  char* prog;
  char* tokenStart;
  std::uint8_t kind;
  std::int32_t delim;
  std::string token;
  std::uint16_t tokenSlot;
  std::size_t replayCursor;
};
ScanState save_scan(const Context& c);
void restore_scan(Context& c, const ScanState& s);

bool is_name_start(char ch);
bool is_name_char(char ch);

}  // namespace orv
