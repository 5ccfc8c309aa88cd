// Platform-free rules for file names: splitting a source list, finding the
// name part of a path, telling patterns from names, and mapping a source
// name onto a target mask such as "*.bak".
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::files {

// Items of a source list: split at TAB and "|", empty items dropped.
// nullopt when an item is 32766 characters or longer.
std::optional<std::vector<std::u16string>> split_source_list(std::u16string_view list);

// Offset where the last path component starts (after the last "\", "/" or the
// drive colon).
std::size_t name_start(std::u16string_view path);

inline bool has_wildcards(std::u16string_view s) { return s.find_first_of(u"*?") != std::u16string_view::npos; }

// True for device names a copy sends data to: COM1-9, LPT1-9, USB000-999.
bool is_port_name(std::u16string_view name);

// The target name for `source` under `mask`: "?" takes the source character
// at its place, "*" the rest of the source part, anything else stays; the
// name and the extension (after the last dot) are mapped separately.
// nullopt when no legal name results.
std::optional<std::u16string> map_name(std::u16string_view source, std::u16string_view mask);

// A name as scripts pass it: blanks around it and one pair of enclosing
// double quotes dropped (names taken from command lines carry them).
std::u16string_view unquote_name(std::u16string_view name);

// A name cut into its folder (drive and folders up to the last separator, as
// written), root and extension (after the last dot). Trailing dots and blanks
// of the last part are ignored, as the file system ignores them; a last part
// of dots only ("." or "..") and a bare "\\server\share" are all folder.
struct NameParts {
  std::u16string_view folder, root, ext;
};
NameParts split_name(std::u16string_view name);

// A folder for display: "/" written as "\", and a final "\" added unless it
// ends in one or in a drive colon ("C:" is the current folder of drive C).
std::u16string folder_text(std::u16string_view folder);

// True when a name is relative to the current folder (no drive, no leading
// separator).
bool is_relative_name(std::u16string_view name);

// A copy target completed as the copy functions read it: ending in "\", "/"
// or ":", it takes every name ("*.*") in that folder.
std::u16string complete_target(std::u16string target);

// The name a copy, move or rename gives `source` (a path) under `target`:
// the target's folder as written, and its name part mapped by map_name when
// it holds "*" or "?". nullopt when no legal name results.
std::optional<std::u16string> apply_target(std::u16string_view source, std::u16string_view target);

// The name the command shell's rename gives `source` (a single name) under
// `mask`, which is matched against the whole name: "?" takes one character
// but never a dot, "*" takes everything up to the last occurrence of the mask
// character after it (or to the end), "." skips past the next dot of the
// source, and any other character replaces one source character (a dot of
// the source is kept for the mask's own "."). Trailing dots and blanks are
// dropped. nullopt when no legal name results.
std::optional<std::u16string> shell_rename(std::u16string_view source, std::u16string_view mask);

}  // namespace orv::files
