// A test extender: functions of every argument and result type, an error it
// raises, services it calls back through the information block, and the
// shutdown request. Built with the Windows build; loaded by golden scripts.
#include <windows.h>
#include <oaidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "api/orv_api.h"

namespace {

using orv::api::Operand;
using orv::api::Value;
using orv::api::Word;
using Services = int(__stdcall*)(void* context, int request, void* ptrA, void* ptrB, std::int32_t numA,
                                 std::int32_t numB);

// The published information block.
struct Info {
  void* context;
  Word caller;
  std::uint32_t version;
  std::uint32_t size;
  Services services;
  Word hostInstance, hostWord, mainWindow;
  int(__stdcall* processSubExpression)(void* context, Operand* result, int assignAllowed, int pointerTarget,
                                       void* script);
  int(__stdcall* getToken)(void* context);
  void(__stdcall* getStringToken)(void* context);
  void(__stdcall* putback)(void* context);
  std::uint32_t(__stdcall* findVar)(void* context, const char* name, int report);
  std::uint32_t(__stdcall* vmalloc)(void* context, std::uint32_t bytes);
  void(__stdcall* vfree)(void* context, std::uint32_t offset);
  int(__stdcall* loadMyString)(void* module, unsigned number, char* buffer, int size);
  void*(__stdcall* createMyArray)(void* context, Value* result, std::uint32_t, std::uint32_t, std::uint32_t,
                                  std::uint32_t, std::uint32_t);
  int(__stdcall* parseYmdHms)(const char* text, std::int32_t* fields, int mode, int twoDigitYears);
};
static_assert(sizeof(Info) == 72);

// The head of an array block that CreateMyArray gives.
struct ArrayHead {
  std::uint32_t sizes[5];
  std::uint8_t dims, flags;
  std::uint16_t reserved;
  Value* elements;
  std::uint32_t count;
};

#pragma pack(push, 4)
struct FunctionRecord {
  std::uint32_t number, kind, paramTypes, reserved, counts;
  std::uint16_t flags;
  char name[34];
};
#pragma pack(pop)

struct Function {
  const char* name;
  std::uint32_t paramTypes;   // four bits per parameter: 0 integer, 1 string, 2 float, 5 UTF-16
  std::uint32_t counts;
};
constexpr Function kFunctions[] = {
    {"ExtAdd", 0x00, 2},        // integer + integer
    {"ExtJoin", 0x11, 2},       // two strings joined with "+", made in the interpreter's heap
    {"ExtHalf", 0x2, 1},        // float / 2
    {"ExtWideLen", 0x5, 1},     // UTF-16 length of a wide string
    {"ExtFail", 0x1, 1},        // fails with the text given (a leading "nnnn:" is the extended code)
    {"ExtSetVar", 0x11, 2},     // assigns a variable through the services
    {"ExtVersion", 0x0, 0x100}, // 0 or 1 argument: the block version
    {"ExtFault", 0x0, 1},       // faults on purpose (see fault_on_purpose)
    {"ExtService", 0x10, 4},    // DLLServices(request, text as ptrA, numA, numB), its result
    {"ExtEvalRest", 0x0, 1},    // the expression after the call (1: read ahead and put back first)
    {"ExtWordRest", 0x0, 0},    // the bare word after the call, as a string
    {"ExtVarFound", 0x1, 1},    // 1 when the variable has a value
    {"ExtMessage", 0x0, 1},     // a message text by number
    {"ExtSquares", 0x0, 1},     // an array of n elements holding 0, 1, 4, 9...
    {"ExtYmd", 0x1, 1},         // a YmdHms text as "y m d h m s", or "invalid"
    {"ExtEcho", 0xF, 1},        // its argument, as it came (any type)
    {"ExtVariant", 0x0, 1},     // a COM value holding the integer
    {"ExtFailWide", 0x5, 1},    // as ExtFail, with the text answered in UTF-16
};
constexpr int kFunctionCount = sizeof kFunctions / sizeof kFunctions[0];

void set_int(Value& v, std::int32_t i) {
  std::memset(&v, 0, sizeof v);
  v.flags = 1;
  v.i = i;
}

// Strings handed back are copied by the interpreter; ours go back to its heap.
void free_text(const Info* info, std::uint32_t offset) { info->vfree(info->context, offset); }

// A text in the interpreter's heap, made with VMalloc.
std::uint32_t heap_text(const Info* info, const char* text) {
  const std::uint32_t offset = info->vmalloc(info->context, static_cast<std::uint32_t>(std::strlen(text) + 1));
  if (!offset) return 0;
  // Request 41: the address of a heap offset.
  auto* p = reinterpret_cast<char*>(info->services(info->context, 41, nullptr, nullptr, 0, static_cast<std::int32_t>(offset)));
  std::strcpy(p, text);
  return offset;
}

int answer_text(orv::api::AnswerCallback answer, Info* info, const char* text) {
  Value result{};
  result.flags = 2;
  result.str = heap_text(info, text);
  if (!result.str) return -3;
  const int rc = answer(0, 0, info, &result);
  free_text(info, result.str);
  return rc == 0 ? 0 : -3;
}

// Evaluates what follows the call on the script's line with the
// interpreter's own scanner; the value is the answer. `word`: the first
// token is a bare word (a string, not a variable). `peek`: the token is
// read, put back and read again first.
int evaluate_rest(orv::api::AnswerCallback answer, Info* info, bool word, bool peek) {
  if (word) {
    info->getStringToken(info->context);
  } else {
    info->getToken(info->context);
    if (peek) {
      info->putback(info->context);
      info->getToken(info->context);
    }
  }
  Operand value{};
  // A bad expression leaves its error in the context: the call fails with it.
  if (!info->processSubExpression(info->context, &value, 0, 0, nullptr)) return 0;
  const int rc = answer(0, 0, info, &value);
  if ((value.flags & 2) && value.str) free_text(info, value.str);
  return rc == 0 ? 0 : -3;
}

// 1: writes through a null pointer. 2: divides an integer by zero. 3: leaves
// the FPU with a full stack and a 24-bit, round-toward-zero control word, then
// writes through a null pointer (the interpreter must put the FPU back).
// 4: recurses without end until the stack overflows.
// Anything else returns its argument.
int fault_on_purpose(int kind);

// Each level keeps a page-sized frame alive so that the compiler cannot turn
// the recursion into a loop; the depth ends only in the overflow.
int recurse_forever(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  if (depth < 0) return 0;   // never: the stack runs out first
  return recurse_forever(depth + 1) + frame[0];
}

int fault_on_purpose(int kind) {
  volatile int zero = 0;
  volatile int* nowhere = nullptr;
  switch (kind) {
    case 1: *nowhere = 1; break;
    case 2: return 10 / zero;
    case 3: {
      const std::uint16_t odd = 0x0C3F;
      asm volatile("fldcw %0\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1" : : "m"(odd));
      *nowhere = 3;
      break;
    }
    case 4: return recurse_forever(0);
    default: break;
  }
  return kind;
}

const char* text_of(const Info* info, const Operand& v) {
  // Request 41: the address of a heap offset.
  return reinterpret_cast<const char*>(info->services(info->context, 41, nullptr, nullptr, 0, static_cast<std::int32_t>(v.str)));
}

int call_function(int number, orv::api::AnswerCallback answer, Info* info, Operand* args, int count) {
  Value result{};
  switch (number) {
    case 0: set_int(result, args[0].i + args[1].i); break;
    case 1: {
      char joined[512];
      std::snprintf(joined, sizeof joined, "%s+%s", text_of(info, args[0]), text_of(info, args[1]));
      return answer_text(answer, info, joined);
    }
    case 2:
      std::memset(&result, 0, sizeof result);
      result.flags = 0x20;
      result.wide.f = args[0].wide.f / 2;
      break;
    case 3: {
      const auto* w = reinterpret_cast<const wchar_t*>(info->services(info->context, 41, nullptr, nullptr, 0,
                                                                       static_cast<std::int32_t>(args[0].wstr)));
      set_int(result, static_cast<std::int32_t>(std::wcslen(w)));
      break;
    }
    case 4: {
      Value text{};
      text.flags = 2;
      text.str = static_cast<std::uint32_t>(info->services(info->context, 42, const_cast<char*>(text_of(info, args[0])), nullptr, 0, 0));
      answer(-2, 0, info, &text);
      free_text(info, text.str);
      return -2;
    }
    case 5: {
      std::string name = text_of(info, args[0]);
      std::string value = text_of(info, args[1]);
      set_int(result, info->services(info->context, 1, name.data(), value.data(), 0, 0));
      break;
    }
    case 6: set_int(result, count == 0 ? static_cast<std::int32_t>(info->version) : static_cast<std::int32_t>(info->size)); break;
    case 7: set_int(result, fault_on_purpose(args[0].i)); break;
    case 8: {
      std::string text = text_of(info, args[1]);
      set_int(result, info->services(info->context, args[0].i, text.data(), nullptr, args[2].i, args[3].i));
      break;
    }
    case 9: return evaluate_rest(answer, info, false, args[0].i != 0);
    case 10: return evaluate_rest(answer, info, true, false);
    case 11: {
      // A missing variable leaves its error in the context too: the call fails with it.
      const std::uint32_t found = info->findVar(info->context, text_of(info, args[0]), 0);
      set_int(result, (found & 0xFFFF) != 0xFFFF ? 1 : static_cast<std::int32_t>(found >> 16));
      break;
    }
    case 12: {
      char text[300];
      if (info->loadMyString(nullptr, static_cast<unsigned>(args[0].i), text, sizeof text) <= 0) return -3;
      return answer_text(answer, info, text);
    }
    case 13: {
      // A failed creation leaves its error in the context: the call fails with it.
      auto* head = static_cast<ArrayHead*>(info->createMyArray(info->context, &result,
                                                               static_cast<std::uint32_t>(args[0].i), 0, 0, 0, 0));
      if (!head) return 0;
      for (std::uint32_t k = 0; k < head->count; ++k) {
        head->elements[k].flags = 1;
        head->elements[k].i = static_cast<std::int32_t>(k * k);
      }
      break;
    }
    case 14: {
      std::int32_t f[6] = {};
      char text[96] = "invalid";
      if (info->parseYmdHms(text_of(info, args[0]), f, 1, 0))
        std::snprintf(text, sizeof text, "%ld %ld %ld %ld %ld %ld", long{f[0]}, long{f[1]}, long{f[2]}, long{f[3]},
                      long{f[4]}, long{f[5]});
      return answer_text(answer, info, text);
    }
    case 15: return answer(0, 0, info, &args[0]) == 0 ? 0 : -3;
    case 16: {
      VARIANT v;
      std::memset(&v, 0, sizeof v);
      v.vt = VT_I4;
      v.lVal = args[0].i;
      std::memset(&result, 0, sizeof result);
      std::memcpy(result.variant, &v, sizeof v);
      result.flags = 0x200;
      break;
    }
    case 17: answer(-2, 0, info, &args[0]); return -2;
    default: return -3;
  }
  return answer(0, 0, info, &result) == 0 ? 0 : -3;
}

}  // namespace

// The same faults for DllCall.
extern "C" int __stdcall OrvTestFault(int kind) { return fault_on_purpose(kind); }

// The stack's guard page: 1 when a committed guard page lies below the
// caller's frame. With `drop` 1 the guard is taken off first (as the system
// does when an overflow consumes it) and the answer says whether one was found.
extern "C" int __stdcall OrvTestStackGuard(int drop) {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  volatile char here = 0;
  MEMORY_BASIC_INFORMATION info{};
  if (!VirtualQuery(const_cast<char*>(&here), &info, sizeof info)) return -1;
  auto* p = static_cast<char*>(info.AllocationBase);
  const auto* top = const_cast<char*>(&here) - system.dwPageSize;
  while (p < top && VirtualQuery(p, &info, sizeof info)) {
    if (info.State == MEM_COMMIT && (info.Protect & PAGE_GUARD)) {
      DWORD old = 0;
      if (drop && !VirtualProtect(info.BaseAddress, info.RegionSize, PAGE_READWRITE, &old)) return -1;
      return 1;
    }
    p = static_cast<char*>(info.BaseAddress) + info.RegionSize;
  }
  return 0;
}

// How many x87 registers hold a value (callers must leave none behind).
extern "C" int __stdcall OrvTestFpuDepth() {
  std::uint16_t env[14] = {};
  asm volatile("fnstenv %0\n\tfldenv %0" : "+m"(env));
  int used = 0;
  for (int k = 0; k < 8; ++k)
    if (((env[4] >> (2 * k)) & 3) != 3) ++used;
  return used;
}

// Calls the callback with `kind`, then faults the way its answer says.
extern "C" int __stdcall OrvTestCallback(int(__stdcall* callback)(int), int kind) {
  return fault_on_purpose(callback(kind));
}

// A function's name in its record: the Unicode build (ORV_TEST_UNICODE, the
// generation that exchanges UTF-16 names) writes it in UTF-16 with a "U" in
// front, so that both builds can be loaded at once.
void set_name(FunctionRecord& r, const char* name) {
#ifdef ORV_TEST_UNICODE
  wchar_t wide[17] = L"U";
  for (std::size_t k = 0; name[k] && k + 2 < sizeof wide / sizeof wide[0]; ++k) wide[k + 1] = static_cast<wchar_t>(name[k]);
  std::memcpy(r.name, wide, sizeof wide < sizeof r.name ? sizeof wide : sizeof r.name);
#else
  lstrcpynA(r.name, name, 32);
#endif
}

// A number from the environment, `fallback` when the variable is not set:
// tests change the extender's answers without building another one.
int env_number(const char* name, int fallback) {
  char text[16];
  const DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
  return n > 0 && n < sizeof text ? std::atoi(text) : fallback;
}

extern "C" int __stdcall ORVExtenderQuery(int request, char* buffer, int size) {
  if (request == 1) {
    if (buffer && size > 0) lstrcpynA(buffer, "ORV test extender", size);
    return 7;       // our version
  }
#ifdef ORV_TEST_UNICODE
  if (request == 2) return 5;   // through the Unicode query: generation 100005
#else
  if (request == 2) return env_number("ORV_TEST_EXTENDER_GENERATION", 4);   // 4: value records
#endif
  return 0;
}

extern "C" int __stdcall ORVExtender2(Word, Word, std::uint32_t signature, int request,
                                      orv::api::AnswerCallback answer, void* info, Word* privateWord,
                                      Operand* args, int count, Value* result) {
  if (signature != orv::api::kEntrySignature) return -3;
  switch (request) {
    case -1:
      // A variable set in the environment makes the start-up fail with a text.
      if (GetEnvironmentVariableA("ORV_TEST_EXTENDER_REFUSE", nullptr, 0) > 0) {
#ifdef ORV_TEST_UNICODE
        lstrcpynW(reinterpret_cast<wchar_t*>(args), L"the Unicode test extender was asked to refuse", 256);
#else
        lstrcpynA(reinterpret_cast<char*>(args), "the test extender was asked to refuse", 256);
#endif
        return -1;
      }
      *privateWord = 0x5EED;
      return 0;
    case -2: {
      // ORV_TEST_EXTENDER_FUNCTIONS raises the number of functions described
      // with ExtExtra0, ExtExtra1... that do nothing (they fill the shared table).
      auto* r = reinterpret_cast<FunctionRecord*>(result);
      if (count >= kFunctionCount && count < env_number("ORV_TEST_EXTENDER_FUNCTIONS", 0)) {
        std::memset(r, 0, sizeof *r);
        r->number = 1000 + static_cast<std::uint32_t>(count);
        r->kind = 2;
        char name[32];
        std::snprintf(name, sizeof name, "ExtExtra%d", count - kFunctionCount);
        set_name(*r, name);
        return 1;
      }
      if (count < 0 || count >= kFunctionCount) return 0;
      std::memset(r, 0, sizeof *r);
      r->number = static_cast<std::uint32_t>(count) + 1;
      r->kind = 2;
      r->paramTypes = kFunctions[count].paramTypes;
      r->counts = kFunctions[count].counts;
      set_name(*r, kFunctions[count].name);
      return 1;
    }
    case -3: {
      // Shutdown: a line in the file the environment names lets a test see it happen.
      char path[MAX_PATH];
      if (GetEnvironmentVariableA("ORV_TEST_EXTENDER_LOG", path, MAX_PATH) > 0) {
        HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
          DWORD done = 0;
          WriteFile(f, "shutdown\r\n", 10, &done, nullptr);
          CloseHandle(f);
        }
      }
      return 0;
    }
    default:
      if (*privateWord != 0x5EED) return -3;
      return call_function(request - 1, answer, static_cast<Info*>(info), args, count);
  }
}
