// The thin layer between the engine and the operating system. The engine never
// includes windows.h; it calls these functions, which have a Win32 back end and
// a native (POSIX) back end used for sanitizer builds, fuzzing and profiling.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::platform {

// ---- Movable memory blocks (GlobalAlloc-style handles) ----
using MemHandle = void*;
MemHandle mem_alloc(std::size_t bytes);          // zero-filled; nullptr on failure
void* mem_lock(MemHandle h);                     // nullptr on failure
void mem_unlock(MemHandle h);
void mem_free(MemHandle h);
std::size_t mem_size(MemHandle h);

// ---- Reserved address space for the string heap ----
void* vm_reserve(std::size_t bytes);             // reserve only; nullptr on failure
void vm_release(void* base);
// Commits [base, base+bytes). Returns 0 or a system error number
// (8 = not enough memory, 487 = invalid address).
std::uint32_t vm_commit(void* base, std::size_t bytes);
std::size_t page_size();

// ---- Failure injection for tests ----
// Commits that would take the committed size of any heap above the limit fail
// with error 8. 0 = no limit.
void set_commit_limit(std::size_t bytes);
std::size_t commit_limit();
// Memory blocks larger than this fail to allocate (0 = no limit), so tests and
// fuzzers reach the out-of-memory paths without exhausting the machine.
void set_block_limit(std::size_t bytes);

// ---- Time ----
std::uint32_t tick_count();                      // milliseconds since system start

// ---- Files ----
enum class FileStatus { ok, not_found, read_error, no_memory };
FileStatus read_whole_file(const std::string& path, std::string& out);
bool file_exists(const std::string& path);
std::string current_directory();
std::string directory_of(const std::string& path); // with trailing separator, or ""
bool is_absolute_path(std::string_view path);
std::string search_path(const std::string& name); // "" when not found
char path_separator();
// A path as the user of this machine would write it, for messages: under a
// Windows layer on a Unix system, drive paths become the Unix paths they stand
// for. Unchanged when there is no such layer or no such path.
std::string display_path(const std::string& path);

// ---- Text ----
// Conversions between the ANSI code page and UTF-16. Return false on failure.
bool ansi_to_utf16(std::string_view in, std::u16string& out);
bool utf16_to_ansi(std::u16string_view in, std::string& out);
// Locale-aware comparison (<0, 0, >0).
int compare_ansi(std::string_view a, std::string_view b, bool ignoreCase);
int compare_utf16(std::u16string_view a, std::u16string_view b, bool ignoreCase);
bool is_dbcs_lead_byte(unsigned char c);
// The system's logical comparison (digit runs by value), loaded on first use.
// False when it is not available; `result` is then left alone.
bool compare_logical(std::u16string_view a, std::u16string_view b, int& result);

// ---- User interface and process ----
enum MessageBoxKind : unsigned { mb_ok = 0, mb_okcancel = 1, mb_icon_exclamation = 0x30, mb_foreground = 0x10000 };
int message_box(const std::string& text, const std::string& caption, unsigned kind); // 1 = OK, 2 = Cancel
void debug_output(const std::string& text);
void system_beep();
void write_stderr(std::string_view text);
void write_stdout(std::string_view text);
// Lets pending window messages through (Yield); returns true when the user
// pressed Ctrl+Break.
bool pump_messages(bool giveUpTimeSlice);
void sleep_ms(unsigned ms);
void set_environment(const std::string& name, const std::string& value);
std::string read_setting(const std::string& section, const std::string& name, const std::string& fallback);
bool is_nt_platform();
// Writes key=value into [section] of the settings file (a private profile file).
void write_settings_file(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& value);
// Where the settings file of that name lives ("" when the system keeps none).
std::string settings_file_path(const std::string& file);

// The operating system's name and version, for the debug trace's header.
struct OsVersion {
  std::string platform;
  unsigned long major = 0, minor = 0, build = 0;
};
OsVersion os_version();
std::string get_environment(const std::string& name);   // "" when unset

}  // namespace orv::platform
