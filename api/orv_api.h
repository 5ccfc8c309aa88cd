// Public binary interface of the ORV library: what a host program sees.
// Every export is __stdcall with an undecorated name on 32-bit Windows.
#pragma once
#include <cstdint>

#if defined(_WIN32)
#define ORV_CALL __stdcall
#define ORV_EXPORT extern "C" __declspec(dllexport)
#else
#define ORV_CALL
#define ORV_EXPORT extern "C"
#endif

namespace orv::api {

using Word = std::uintptr_t;   // 32 bits on the product build
using Handle = void*;          // a movable memory block (HGLOBAL on Windows)

inline constexpr std::uint32_t kContextBlockSize = 66920;
inline constexpr std::uint32_t kVersionWord = 0x1300;   // second byte must be 0x13

enum Request : int {
  kHandshake = 0, kInstanceInit = 1, kRunInit = 2, kHeapInit = 3, kTerminate = 99
};

// Run flags of ProcessDaBatBuffer. Bits below 0x100 belong to the hooks.
enum RunFlags : std::uint32_t {
  kRunStepHook = 0x0001,
  kRunIdleHook = 0x0002,
  kRunFileHook = 0x0004,
  kRunReportToHost = 0x0100,   // unhandled errors go to standard error, not a dialog
  kRunIncludeOption = 0x0200,  // expand #include lines while preparing
};

// Value record (44 bytes) and operand record (52 bytes).
#pragma pack(push, 4)
struct Value {
  std::uint8_t variant[16];
  union { double f; std::int64_t i64; } wide;
  std::int32_t i;
  std::uint32_t flags;
  std::uint32_t str;
  std::uint32_t wstr;
  std::uint32_t spare;
};
struct Operand : Value {
  std::uint32_t spare2;
  std::uint16_t slot;
  std::uint16_t frame;
};

// Keyword record (56 bytes): built-in table, host table and extender table.
struct KeywordRecord {
  std::uint32_t id;
  std::uint32_t kind;
  std::uint64_t argTypes;
  std::uint32_t counts;       // low byte required, next byte optional; @constant value word
  std::uint16_t nameLength;
  char name[34];
};
#pragma pack(pop)
static_assert(sizeof(Value) == 44);
static_assert(sizeof(Operand) == 52);
static_assert(sizeof(KeywordRecord) == 56);

// Host functions (ids 1000+) use the generation-4 extender convention. The host
// passes its entry point in the argTypes field of the table's terminating record
// (the one whose nameLength is 0).
using AnswerCallback = int(ORV_CALL*)(int returnCode, Word reserved, void* infoBlock, Value* result);
using HostEntry = int(ORV_CALL*)(Word ownerWindow, Word hostInstance, std::uint32_t signature,
                                 int functionNumber, AnswerCallback answer, void* infoBlock,
                                 Word* privateWord, Operand* args, int argCount, Value* result);
inline constexpr std::uint32_t kEntrySignature = 0x30030105;

// Public head of the context block. The rest of the block is private.
struct ContextBlockHead {
  std::uint32_t magic;           // kContextMagic once request 1 has run
  std::uint32_t lastError;       // error number that ended the last run (0 = none)
  std::uint32_t lastLine;        // line number in its file of the last statement
  std::uint32_t reserved;
  void* impl;                    // the library's private state
};
inline constexpr std::uint32_t kContextMagic = 0x3156524F;  // "ORV1"

// Host heap bookkeeping record passed with request 3.
struct HeapBookkeeping {
  std::uint32_t committed;
  void* base;
};

}  // namespace orv::api

// Exports (undecorated __stdcall names on the product build).
ORV_EXPORT int ORV_CALL DoDaDllInit(orv::api::Word hwnd, orv::api::Handle context, orv::api::Word version,
                                    int request, orv::api::Word a, orv::api::Word b, orv::api::Word c);
ORV_EXPORT int ORV_CALL ProcessDaBatBuffer(orv::api::Word hwnd, orv::api::Handle context,
                                           orv::api::Handle script, std::uint32_t runFlags,
                                           orv::api::KeywordRecord* hostTable);
ORV_EXPORT int ORV_CALL DLLServices(orv::api::Handle context, int request, void* ptrA, void* ptrB,
                                    std::int32_t numA, std::int32_t numB);
// Services for extenders: `context` is the locked context block.
ORV_EXPORT int ORV_CALL ProcessSubExpression(void* context, orv::api::Operand* result, int assignAllowed,
                                             int pointerTarget, orv::api::Handle script);
ORV_EXPORT int ORV_CALL get_token(void* context);
ORV_EXPORT void ORV_CALL get_string_token(void* context);
ORV_EXPORT void ORV_CALL putback(void* context);
ORV_EXPORT std::uint32_t ORV_CALL find_var(void* context, const char* name, int report);
ORV_EXPORT std::uint32_t ORV_CALL VMalloc(void* context, std::uint32_t bytes);
ORV_EXPORT void ORV_CALL VFree(void* context, std::uint32_t offset);
ORV_EXPORT int ORV_CALL LoadMyString(void* module, unsigned number, char* buffer, int size);
// A new array of up to five dimensions (trailing sizes 0) by the rules of
// ArrDimension, all elements uninitialised. `result` receives the array value,
// which the caller owns until it answers it; the result is the address of the
// array's header (48 bytes: sizes, dimension count, flags, element address,
// element count...), or null with the context's error set.
ORV_EXPORT void* ORV_CALL CreateMyArray(void* context, orv::api::Value* result, std::uint32_t size1,
                                        std::uint32_t size2, std::uint32_t size3, std::uint32_t size4,
                                        std::uint32_t size5);
ORV_EXPORT int ORV_CALL ParseYMDHMS(const char* text, std::int32_t* fields, int mode, int twoDigitYears);
ORV_EXPORT int ORV_CALL UncompressBuffer(void* buffer, int size, int capacity);
