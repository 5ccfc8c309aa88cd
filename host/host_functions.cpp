#include "host/host_functions.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace orv::host {

namespace {
// One line of standard input without its newline; false at the end of input
// with nothing read. C stdio rather than the C++ streams: their set-up (locale
// tables) would cost every process start, and most scripts never read a line.
bool read_stdin_line(std::string& line) {
  line.clear();
  int ch = std::getchar();
  if (ch == EOF) return false;
  for (; ch != EOF && ch != '\n'; ch = std::getchar()) line.push_back(static_cast<char>(ch));
  return true;
}

// Function numbers: positions in the table below.
enum Function : int { kStdOut, kStdErr, kStdIn, kStdInEof, kExitCode };

constexpr std::uint32_t kKindFunction = 2;
constexpr std::uint64_t kTypeInteger = 0, kTypeAnsiString = 1;
// Statuses every system passes to the caller unchanged (POSIX keeps 8 bits).
constexpr int kMaxExitStatus = 255;
constexpr std::uint32_t kFlagInt = 0x0001, kFlagStr = 0x0002, kFlagFloat = 0x0020, kFlagWide = 0x0080,
                        kFlagInt64 = 0x2000;

struct Entry {
  const char* name;  // lower case, as the keyword table holds names
  std::uint64_t argTypes;
  std::uint32_t required;
};
constexpr Entry kEntries[] = {
    {"stdout", kTypeAnsiString, 1},
    {"stderr", kTypeAnsiString, 1},
    {"stdin", 0, 0},
    {"stdineof", 0, 0},
    {"exitcode", kTypeInteger, 1},
};

api::KeywordRecord record(std::uint32_t id, const Entry& e) {
  api::KeywordRecord r{};
  r.id = id;
  r.kind = kKindFunction;
  r.argTypes = e.argTypes;
  r.counts = e.required;
  r.nameLength = static_cast<std::uint16_t>(std::strlen(e.name));
  std::memcpy(r.name, e.name, r.nameLength);
  return r;
}

// The entry point has no user word of its own; one host table is live at a time.
HostFunctions* g_active = nullptr;
}  // namespace

HostFunctions::HostFunctions(const EngineApi& api) : api_(api) {
  std::uint32_t id = 0;
  for (const auto& e : kEntries) records_.push_back(record(id++, e));
  api::KeywordRecord end{};
  end.argTypes = reinterpret_cast<std::uintptr_t>(&host_entry);
  records_.push_back(end);
  g_active = this;
}

HostFunctions::~HostFunctions() {
  if (g_active == this) g_active = nullptr;
}

void HostFunctions::bind(api::Handle context, char* heapBase) {
  context_ = context;
  heapBase_ = heapBase;
  exitStatus_ = 0;
}

void HostFunctions::unbind() {
  context_ = nullptr;
  heapBase_ = nullptr;
}

std::string HostFunctions::text_of(const api::Value& v) const {
  // The heap is the host's own area; strings are named by offsets into it.
  auto heap_text = [&](std::uint32_t offset) -> const char* { return heapBase_ ? heapBase_ + offset : nullptr; };
  if (v.flags & kFlagStr) {
    const char* p = heap_text(v.str);
    return p ? std::string(p) : std::string();
  }
  if (v.flags & kFlagWide) {
    const char* p = heap_text(v.wstr);
    if (!p) return {};
    std::u16string wide;
    for (const char* q = p;; q += 2) {
      char16_t unit;
      std::memcpy(&unit, q, sizeof unit);
      if (unit == 0) break;
      wide.push_back(unit);
    }
    std::string out;
    platform::utf16_to_ansi(wide, out);
    return out;
  }
  if (v.flags & kFlagInt) return std::to_string(v.i);
  if (v.flags & kFlagInt64) return std::to_string(v.wide.i64);
  if (v.flags & kFlagFloat) return std::to_string(v.wide.f);
  return {};
}

int HostFunctions::answer_int(api::AnswerCallback answer, void* infoBlock, int value) {
  api::Value v{};
  v.flags = kFlagInt;
  v.i = value;
  answer(0, 0, infoBlock, &v);
  return 0;
}

int HostFunctions::answer_text(api::AnswerCallback answer, void* infoBlock, std::string text) {
  // String results live in the interpreter's heap; the service copies them in.
  if (!api_.services) return -3;
  const int offset = api_.services(context_, kServiceHeapCopy, text.data(), nullptr, 0, 0);
  if (offset <= 0) return -3;
  api::Value v{};
  v.flags = kFlagStr;
  v.str = static_cast<std::uint32_t>(offset);
  answer(0, 0, infoBlock, &v);
  return 0;
}

int HostFunctions::call(int function, api::AnswerCallback answer, void* infoBlock, api::Operand* args,
                        int argCount) {
  switch (function) {
    case kStdOut:
    case kStdErr: {
      if (argCount < 1 || !args) return -3;
      std::string text = text_of(args[0]) + "\n";
      if (function == kStdErr)
        platform::write_stderr(text);
      else if (capture_)
        *capture_ += text;
      else
        platform::write_stdout(text);
      return answer_int(answer, infoBlock, 1);
    }
    case kStdIn: {
      std::string line;
      if (!read_stdin_line(line)) {
        stdinEof_ = true;
        line.clear();
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return answer_text(answer, infoBlock, std::move(line));
    }
    case kStdInEof:
      return answer_int(answer, infoBlock, stdinEof_ ? 1 : 0);
    case kExitCode: {
      if (argCount < 1 || !args) return -3;
      const int status = args[0].i;
      // A wider status would reach the caller cut to 8 bits: 256 would read as success.
      if (status < 0 || status > kMaxExitStatus) {
        platform::write_stderr("ExitCode: the status must be 0 to 255, not " + std::to_string(status) + "\n");
        return -3;
      }
      const int previous = exitStatus_;
      exitStatus_ = status;
      return answer_int(answer, infoBlock, previous);
    }
    default:
      return -3;
  }
}

int ORV_CALL host_entry(api::Word, api::Word, std::uint32_t, int functionNumber, api::AnswerCallback answer,
                        void* infoBlock, api::Word*, api::Operand* args, int argCount, api::Value*) {
  if (!g_active || !answer) return -3;
  return g_active->call(functionNumber, answer, infoBlock, args, argCount);
}

}  // namespace orv::host
