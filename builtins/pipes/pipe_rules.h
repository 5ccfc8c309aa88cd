// What the pipe built-ins decide without the operating system: pipe names,
// the handle numbers scripts hold, what a message's bytes mean as text, and
// time-outs. The Windows half only calls these.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::pipes {

// A pipe named by a script: a bare name ("orders") or a full path
// ("\\.\pipe\orders", "\\server\pipe\orders"). The system refuses longer paths.
inline constexpr std::size_t kMaxPipePath = 256;
struct PipeName {
  std::u16string server = std::u16string(1, u'.');   // "." for this machine
  std::u16string name;     // the part after "\pipe\"
  std::u16string path() const { return u"\\\\" + server + u"\\pipe\\" + name; }
  bool local() const { return server == u"."; }
};
std::optional<PipeName> parse_pipe_name(std::u16string_view text);

// Script handles are small numbers in ranges of their own, apart from file,
// buffer, structure and callback handles, so a handle of another kind is
// refused rather than taken for a pipe (DDE conversations use the same rule).
template <std::int32_t Base, int Slots>
struct HandleRange {
  static constexpr std::int32_t kBase = Base;
  static constexpr int kSlots = Slots;
  static constexpr std::int32_t handle(int slot) { return Base + slot; }
  // The slot a handle names, or -1.
  static constexpr int slot(std::int32_t handle) {
    return handle >= Base && handle < Base + Slots ? static_cast<int>(handle - Base) : -1;
  }
};
using PipeHandles = HandleRange<654300, 64>;

// One message on the wire. Text from a UTF-16 call travels as UTF-16LE behind
// a byte-order mark, so the reading side answers it in the width it was
// written; anything else is 8-bit text. Text ends at its first NUL.
inline constexpr std::size_t kMaxMessageBytes = 16u * 1024u * 1024u;
std::string encode_message(std::string_view text);
std::string encode_message(std::u16string_view text);
struct MessageText {
  bool wide = false;
  std::string narrow;
  std::u16string utf16;
};
MessageText decode_message(std::string_view bytes);

// A time-out in milliseconds from a script: negative waits without limit
// (until the user stops the script).
inline constexpr std::uint32_t kForever = 0xFFFFFFFFu;
inline std::uint32_t timeout_ms(std::int32_t t) { return t < 0 ? kForever : static_cast<std::uint32_t>(t); }

// UTF-16LE bytes of a text, and the text of such bytes up to the first NUL
// (a last odd byte is not a character). Shared with the DDE data blocks.
std::string utf16le_bytes(std::u16string_view text);
std::u16string utf16le_text(std::string_view bytes);

// PipeInfo requests.
enum class InfoRequest { side = 0, state = 1, peer_process = 2, name = 3 };
std::optional<InfoRequest> info_request(std::int32_t request);

}  // namespace orv::pipes
