// The words scripts use to describe what crosses into a DLL: parameter and
// return types of DllCall, the type lists of callbacks, and the member
// descriptors of DLL structures. Plain text rules, no platform calls.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv::dll {

// Parameter type codes of DllCall (also the codes of callback parameters).
enum ParamType : int {
  p_word = 0, p_long = 1, p_lpstr = 2, p_lpbinary = 3, p_lpnull = 4, p_double = 5,
  p_lpwstr = 6, p_callback = 7, p_lpstruct = 8, p_long_ptr = 9, p_long64 = 10
};
// Return type codes of DllCall.
enum ReturnType : int {
  r_word = 0, r_long = 1, r_lpstr = 2, r_lpbinary = 3, r_void = 4, r_double = 5, r_lpwstr = 6,
  r_long_ptr = 7, r_long64 = 10
};

inline constexpr int kMaxDllArgs = 20;
inline constexpr int kMaxCallbackParams = 16;

// -1 when the word names no type of its kind. Words match without regard to case.
int param_type(std::string_view word);
// "lpbinary" is recognised so that the caller can refuse it with its own error.
int return_type(std::string_view word);

// Stack words a parameter takes (doubles and 64-bit integers take two).
inline int stack_words(int type) { return type == p_double || type == p_long64 ? 2 : 1; }

// A callback's signature: "word long double" and a return word.
struct CallbackSignature {
  int returnType = r_long;
  std::vector<int> params;
  int stackBytes = 0;
};
// 0 on success, else the error number (1840 return word, 1841 parameter
// word or more than 16 parameters).
std::uint16_t parse_callback_signature(std::string_view returnWord, std::string_view paramList, CallbackSignature& out);

// Structure member groups (the code decides size and how a member reads back).
enum MemberType : int {
  m_byte = 0, m_char = 1, m_wchar = 2, m_short = 3, m_int = 4, m_int64 = 5, m_float = 6,
  m_double = 7, m_lpstr = 8, m_lpwstr = 9, m_pointer = 10, m_handle = 11
};
int member_size(int type);

struct Member {
  int type = 0;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;    // whole member (element size × count)
  std::uint32_t count = 1;
  bool isArray = false;
  std::string name;          // as written
};
struct StructLayout {
  std::vector<Member> members;
  std::uint32_t size = 0;
};

// The largest structure a descriptor may describe: a binary buffer's limit.
inline constexpr std::uint32_t kMaxStructSize = 0x7FFFFFFF;

// Parses "type:name[count] ..." with natural alignment. 0 on success, else
// the error number (1995, 1634) with `detail` holding the extended text.
std::uint16_t parse_struct_descriptor(std::string_view text, StructLayout& out, std::string& detail);

// The member of a layout by name (case-insensitive), or nullptr.
const Member* find_member(const StructLayout& layout, std::string_view name);

}  // namespace orv::dll
