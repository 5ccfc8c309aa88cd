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

}  // namespace orv::files
