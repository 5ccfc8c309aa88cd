// Every fixed limit of the interpreter, named once.
#pragma once
#include <cstdint>

namespace orv::limits {
inline constexpr int kLineBuffer = 2050;        // line and token buffers, with room for NUL
inline constexpr int kMaxLine = 2049;           // characters taken from one script line
inline constexpr int kMaxSubstituted = 2050;    // a substituted line must stay below this
inline constexpr int kNameMax = 30;             // variable, label and keyword names
inline constexpr int kPersistentNameMax = 25;   // names that get the "?xx__" prefix
inline constexpr int kFrames = 101;             // frame 0 (main script) + 100 function frames
inline constexpr int kStructDepth = 100;        // usable structure-stack entries
inline constexpr int kIncludeDepth = 16;        // nested #include files
inline constexpr int kIncludeNameMax = 260;     // characters of an #include file name
inline constexpr int kLabelMax = 256;           // characters compared in a label search
inline constexpr int kArgSlots = 17;            // argument slot 0 unused, 1-16 arguments
inline constexpr int kMaxArgs = 16;
inline constexpr int kErrorTextMax = 1024;      // additional error text kept in the context
inline constexpr int kMultilineStep = 8192;     // growth step of a multiline string constant
inline constexpr std::uint32_t kMaxJumpPosition = 0xFFFFFF;  // GoTo markers hold 24 bits
inline constexpr std::uint16_t kNoSlot = 65535;
inline constexpr std::uint16_t kNoFrame = 65535;
inline constexpr std::uint16_t kNoUdf = 65535;    // no user-defined function is running
inline constexpr std::uint32_t kDefaultVariableCapacity = 2000;
inline constexpr int kExpressionDepth = 256;     // nested parentheses and unary operators; bounds the stack
}  // namespace orv::limits
