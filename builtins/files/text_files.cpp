// FileOpen, FileRead, FileWrite and FileClose: line-oriented text files kept
// in the context's file table. Written lines wait in the slot's buffer (see
// file_table.h); a failed write takes back what it wrote, so a file never
// ends in half a line.
#include <algorithm>

#include "engine/outside_code.h"
#include "builtins/files/file_args.h"
#include "builtins/files/file_table.h"
#include "builtins/files/files_groups.h"
#include "builtins/files/text_encoding.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/platform.h"

namespace orv::files {
namespace {

namespace pf = platform::files;

class HandleSource : public ByteSource {
 public:
  explicit HandleSource(pf::FileHandle h) : h_(h) {}
  bool read(void* buffer, std::size_t n, std::size_t& got) override {
    std::uint32_t err = 0;
    return pf::read(h_, buffer, n, got, err);
  }

 private:
  pf::FileHandle h_;
};

// Read buffers beyond this many characters are refused rather than tried.
constexpr std::uint32_t kMaxReadBuffer = 16u << 20;

// How often and how long FileOpen waits for a file another program holds.
struct RetryPlan {
  std::int64_t tries;   // further tries; -1 without limit
  unsigned waitMs;
};

RetryPlan retry_plan(std::int32_t t) {
  if (t == -1) return {-1, 1000};
  if (t <= 0) return {0, 0};
  if (t < 20) return {20, static_cast<unsigned>(t) * 1000u / 20u};
  return {t, 1000};
}

// Waits, letting messages through; false when the user asked to stop.
bool interruptible_wait(Context& c, unsigned ms) {
  const std::uint32_t start = platform::tick_count();
  while (platform::tick_count() - start < ms) {
    if (!c.noCancel && pump_window_messages(c, true)) return false;
    platform::sleep_ms(std::min<unsigned>(50, ms));
  }
  return true;
}

Encoding probe_mark(const std::u16string& path, bool& hasText) {
  std::uint32_t err = 0;
  hasText = false;
  const pf::FileHandle h = pf::open(path, pf::Open::read, err);
  if (!h) return Encoding::ansi;
  unsigned char two[2] = {};
  std::size_t got = 0;
  pf::read(h, two, 2, got, err);
  pf::close(h);
  hasText = got == 2 && (two[0] != 0 || two[1] != 0);
  return encoding_of_mark(two, got);
}

std::uint32_t buffer_chars(std::int32_t setting, std::uint64_t fileSize) {
  if (setting == 0) return 0;
  if (setting > 0) return static_cast<std::uint32_t>(setting);
  return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(fileSize, 4096, 32768));
}

void file_open(Call& call) {
  Context& c = call.c;
  FileTable& table = file_table(c);
  FileSlot* slot = table.free_slot();
  if (!slot) { fail(c, errs::kTooManyOpenFiles); return; }
  const std::u16string mode = upper_ascii(wide_arg(call, 2));
  const bool reading = mode == u"READ", appending = mode == u"APPEND";
  if (!reading && !appending && mode != u"WRITE") { fail(c, errs::kFileOpenBadMode); return; }
  std::u16string path;
  if (!full_path(c, wide_arg(call, 1), path)) return;
  const bool unicode = call.count >= 3 && call.args[3].i != 0;
  RetryPlan plan = retry_plan(call.count >= 4 ? call.args[4].i : 0);

  bool hasText = false;
  const Encoding appendMark = appending ? probe_mark(path, hasText) : Encoding::ansi;
  const auto how = reading ? pf::Open::read : appending ? pf::Open::open_always : pf::Open::create_always;
  pf::FileHandle h = 0;
  for (;;) {
    std::uint32_t err = 0;
    h = pf::open(path, how, err);
    if (h) break;
    if (err != pf::kSharingViolation || plan.tries == 0) { os_fail(c, errs::kFileOpenFailed, "CreateFile", err); return; }
    if (plan.tries > 0) --plan.tries;
    if (!interruptible_wait(c, plan.waitMs)) return;
  }
  table.occupy(*slot, h, reading ? state::kRead : state::kWrite);
  h = slot->handle;
  table.mark_sharing(*slot);
  if (reading) {
    unsigned char two[2] = {};
    std::size_t got = 0;
    std::uint32_t err = 0;
    pf::read(h, two, 2, got, err);
    slot->encoding = encoding_of_mark(two, got);
    if (slot->encoding == Encoding::ansi) pf::seek_to(h, 0);
    slot->wideResult = unicode;
    const std::uint32_t chars = buffer_chars(c.intSettings[65], pf::size_of(h));
    slot->reader = std::make_unique<LineReader>(slot->encoding, chars);
    if (chars > kMaxReadBuffer || !slot->reader->allocate()) {
      slot->refs = 0;   // no value holds the handle yet
      table.close(*slot);
      fail(c, errs::kNoMemory);
      return;
    }
  } else if (appending && hasText) {
    // An existing file keeps its encoding, and its mark is already there.
    slot->encoding = appendMark;
    if (appendMark != Encoding::ansi) slot->state |= state::kWritten;
  } else {
    slot->encoding = unicode ? Encoding::utf16le : Encoding::ansi;
  }
  if (appending) pf::seek_end(h, slot->offset);
  clear_value(call.result);
  call.result.flags = vf::kInt | vf::kFile;
  call.result.i = static_cast<std::int32_t>(h);
}

FileSlot* slot_arg(Call& call, std::uint16_t notOpen) {
  FileSlot* slot = file_table(call.c).find(call.args[1].i);
  if (!slot) fail(call.c, notOpen);
  return slot;
}

// A line in the width the file was opened for: UTF-16 when asked for, else 8-bit.
bool line_result(Context& c, Operand& result, bool wideResult, Encoding e, std::string_view ansi,
                 std::u16string_view wide) {
  if (e == Encoding::ansi) {
    if (!wideResult) return make_string(c, result, ansi);
    std::u16string w;
    platform::ansi_to_utf16(ansi, w);
    return make_wstring(c, result, w);
  }
  if (wideResult) return make_wstring(c, result, wide);
  std::string a;
  platform::utf16_to_ansi(wide, a);
  return make_string(c, result, a);
}

// FileRead, with the handle in hand (the compiled path calls it straight).
void read_text_line(Context& c, std::int32_t handle, Operand& result) {
  FileSlot* slot = file_table(c).find(handle);
  if (!slot) { fail(c, errs::kFileReadNotOpen); return; }
  if (!(slot->state & state::kRead)) { fail(c, errs::kFileNotOpenForRead); return; }
  if (slot->state & state::kEofGiven) { fail(c, errs::kFileReadPastEnd); return; }
  auto end_of_file = [&] {
    slot->state |= state::kEndSeen | state::kEofGiven;
    line_result(c, result, slot->wideResult, Encoding::ansi, "*EOF*", u"");
  };
  if (slot->state & state::kEndSeen) { end_of_file(); return; }
  std::string_view ansi;
  std::u16string_view wide;
  HandleSource source(slot->handle);
  switch (slot->reader->next(source, slot->line, slot->wideLine, ansi, wide)) {
    case LineReader::Result::line: break;
    case LineReader::Result::end:
      if (ansi.empty() && wide.empty()) { end_of_file(); return; }
      slot->state |= state::kEndSeen;
      break;
    case LineReader::Result::too_long: fail(c, errs::kFileReadLineTooLong); return;
    case LineReader::Result::read_error: fail(c, errs::kFileReadPastEnd); return;
  }
  line_result(c, result, slot->wideResult, slot->encoding, ansi, wide);
}

void file_read(Call& call) { read_text_line(call.c, call.args[1].i, call.result); }

// The terminator in 8-bit text: its characters are all ASCII.
void append_ascii(std::string& out, std::u16string_view text) {
  for (char16_t u : text) out += static_cast<char>(u);
}

void file_write(Call& call) {
  Context& c = call.c;
  FileSlot* slot = slot_arg(call, errs::kFileWriteNotOpen);
  if (!slot) return;
  if (!(slot->state & state::kWrite)) { fail(c, errs::kFileNotOpenForWrite); return; }
  // The text may be a variable's own, lent to the call: it is read, never
  // given a form it lacks.
  const Value& text = call.args[2];
  const std::u16string_view end = terminator(c.intSettings[53]);
  std::string& out = slot->pending;
  const std::size_t before = out.size();
  // A line is pending whole or not at all: running out of memory halfway
  // (the call then fails) takes back what was added.
  struct WholeLine {
    std::string& out;
    std::size_t before;
    bool done = false;
    ~WholeLine() {
      if (!done) out.resize(before);
    }
  } whole{out, before};
  if (slot->encoding == Encoding::ansi) {
    std::string made;
    std::string_view line;
    if (!text_form(c, text, made, line)) return;
    out += line;
    append_ascii(out, end);
  } else {
    std::u16string made;
    std::u16string_view line;
    if (!wide_form(c, text, made, line)) return;
    if (!(slot->state & state::kWritten)) append_mark(out, slot->encoding);
    append_units(out, line, slot->encoding);
    append_units(out, end, slot->encoding);
  }
  whole.done = true;
  const std::uint32_t now = platform::tick_count();
  if (before == 0) slot->pendingSince = now;
  slot->state |= state::kWritten;
  FileTable& table = file_table(c);
  if (!slot->shared && !slot->heldError && out.size() < kWriteBufferBytes && now - slot->pendingSince < kWriteDelayMs) {
    table.note_pending();
    return;
  }
  std::uint32_t err = 0;
  if (!table.flush(*slot, err)) {
    // Reported now, so the lines are given up: the file keeps its whole lines.
    slot->pending.clear();
    slot->heldError = 0;
    if (slot->offset == 0) slot->state &= ~state::kWritten;   // the mark went with them
    os_fail(c, errs::kFileWriteFailed, "WriteFile", err);
  }
}

void file_close(Call& call) {
  FileSlot* slot = slot_arg(call, errs::kFileCloseNotOpen);
  if (!slot) return;
  std::uint32_t err = 0;
  if (!file_table(call.c).close(*slot, err)) os_fail(call.c, errs::kFileWriteFailed, "WriteFile", err);
}

}  // namespace

void register_text_files(HandlerTable& t) {
  t.add(kw::fn_fileopen, file_open);
  // Reading and writing through the script's own handles (inward in the
  // keyword table): a file open twice writes through, so its lines need no flush.
  t.add(kw::fn_fileread, file_read);
  t.byIdWhole[static_cast<std::size_t>(kw::fn_fileread)] = read_text_line;
  t.add(kw::fn_filewrite, file_write);
  t.add(kw::fn_fileclose, file_close);
}

}  // namespace orv::files
