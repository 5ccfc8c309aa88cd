// The interpreter context: all state of one running script. The host owns a
// fixed-size block whose public head points at this object.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/arrays.h"
#include "engine/binary_buffers.h"
#include "engine/heap.h"
#include "engine/limits.h"
#include "engine/file_hooks.h"
#include "engine/pump_throttle.h"
#include "engine/trace/trace_state.h"
#include "engine/value.h"
#include "platform/platform.h"

namespace orv {

struct VarSlot {
  Value v;
  char name[32];   // lower-case, NUL-terminated; byte 31 is the flag byte
};
static_assert(sizeof(VarSlot) == 76);
inline constexpr std::uint8_t kDeclaredGlobalBit = 0x01;

struct FrameEntry {
  std::uint16_t level = 0;
  platform::MemHandle mem = nullptr;
  std::uint32_t seq = 0;
  std::uint32_t tick = 0;
  std::uint16_t capacity = 0;
  std::uint16_t hwm = 0;
  std::uint16_t marker = 0;
  std::uint64_t stamp = 0;   // the frame's slot layout (see Context::slotStamp)
};

// Structure-stack entry kinds.
namespace sk {
inline constexpr std::uint16_t kFor = 501, kForEach = 502, kSwitch = 708, kWhile = 741;
inline constexpr std::uint16_t kIfThen = 10001, kIfElse = 10002;
inline constexpr std::uint16_t kGosubFalse = 29000, kGosubTrue = 29001, kGosubNone = 29003;
inline constexpr std::uint16_t kUdf = 29500, kCall = 349;
}  // namespace sk

// Skip states of a structure entry.
namespace skip {
inline constexpr std::uint8_t kRun = 0, kFalse = 1, kAll = 2, kContinue = 4, kBreak = 8;
}

struct StructEntry {
  std::uint16_t kind = 0;
  std::uint32_t jump = 0;
  std::uint32_t stmtPos = 0;
  std::uint32_t script = 0;
  std::uint16_t udf = limits::kNoUdf;
  std::uint16_t udfState = 0;
  std::uint8_t skip = 0;
  std::uint8_t breakable = 0;
  std::uint16_t word = 0;
  std::uint16_t collSlot = 0;
};

// Token kinds.
namespace tk {
inline constexpr std::uint8_t kEnd = 0, kKeyword = 1, kVariable = 2, kInteger = 3, kString = 4,
                              kFloat = 5, kMultiline = 6;
}

// Whether a function's body runs as a frameless program of whole numbers
// (engine/whole_functions.h), decided for one body text and keyword generation.
struct WholeProgram;
struct WholeDecision {
  enum State : std::uint8_t { kUndecided, kDeciding, kWhole, kNotWhole };
  std::shared_ptr<const WholeProgram> program;   // kWhole only
  std::uint32_t generation = 0, textVersion = 0;
  State state = kUndecided;
  std::uint8_t tries = 0;                        // decisions put off (lines not compiled yet)
};

// A user-defined function, subroutine or command.
struct Udf {
  std::string name;
  std::vector<std::string> params;
  std::uint32_t kind = 2;          // 2 function or subroutine, 9 command
  bool sharesVariables = false;
  std::string sourceFile;
  std::string dir;
  std::shared_ptr<struct Script> body;   // set when the closing line is reached
  // Where a call with every argument puts the parameters in a fresh frame,
  // learnt from the first such call: later calls bind them without a search.
  struct Binding {
    bool learnt = false;
    std::uint16_t slots[16] = {};       // slot of each parameter
    std::uint16_t hwm = 0;              // the table's high-water mark afterwards
    std::uint64_t stamp = 0;            // and its slot layout
    std::vector<VarSlot> named;         // each parameter's slot with its name and no value yet
  } binding;
  WholeDecision whole;
};

// A variable's slot remembered across runs of a cached line: good while
// `stamp` is the table's Context::slotStamp.
struct SlotHint {
  std::uint16_t slot = limits::kNoSlot;
  std::uint64_t stamp = 0;
};

// A line's tokens as the scanner produced them, kept so that a line that runs
// again (a loop body, a function) is not scanned again.
struct CachedToken {
  std::uint16_t start = 0, end = 0;   // offsets in the line
  std::uint8_t kind = 0;
  bool pointerAmp = false;            // an "&" that is the pointer operator
  std::int32_t delim = 0;
  std::string text;
  SlotHint hint;                      // the variable's slot when last served
};
struct CachedLine {
  std::string text;                   // the line the tokens belong to
  std::uint32_t generation = 0;       // names may change meaning when definitions change
  bool scanned = false;               // scanned ahead (only lines that run again are)
  bool usable = false;                // the scan succeeded
  std::vector<CachedToken> tokens;
  std::shared_ptr<struct CompiledLine> compiled;   // expressions compiled from the tokens, made on demand
};

// One prepared script text (the main script, a Call target or a function body).
struct Script {
  std::string text;   // LF-separated lines, NUL-terminated by std::string
  std::string dir;    // folder of the file, with trailing separator, or ""
  std::string file;   // file name for reports
  std::unordered_map<std::uint32_t, CachedLine> lineCache;   // by statement position
  std::size_t compiledNodes = 0;      // bounds the memory of compiled expressions
  std::uint32_t textVersion = 0;      // changes whenever the text is rewritten in place (GoTo targets)
  std::uint32_t firstStatement = 0;   // where statements start (past a leading origin line),
  std::uint32_t firstStatementOf = ~0u;   // for this textVersion
  std::shared_ptr<struct StatementCache> statements;   // compiled whole statements, by read position
};

struct Context {
  Context();
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  // ---- String heap and array table ----
  StringHeap heap;
  ArrayTable arrays;
  BinaryTable binaries;

  // ---- Variable table ----
  VarSlot* slots = nullptr;
  std::uint16_t capacity = 0;
  std::uint16_t hwm = 0;
  platform::MemHandle slotMem = nullptr;
  std::array<FrameEntry, limits::kFrames> frames{};
  // The cleared block of a closed frame, kept for the next call at its level.
  // It stays locked: locking and measuring a block are system calls on
  // Windows, too slow to make on every call.
  struct SpareFrame {
    platform::MemHandle mem = nullptr;
    VarSlot* slots = nullptr;   // the block, locked
    std::size_t bytes = 0;      // room in it
    // Gives the block back (unlocked first); the entry is then empty.
    void give_back() {
      if (mem) {
        platform::mem_unlock(mem);
        platform::mem_free(mem);
      }
      *this = {};
    }
  };
  std::array<SpareFrame, limits::kFrames> spareFrames{};
  std::uint16_t framesOpen = 0;    // function frames open now (they close in the reverse order)
  std::uint16_t level = 0;
  std::uint32_t frameCounter = 0;
  std::uint32_t curSeq = 0;
  std::uint32_t curTick = 0;
  // Names the slots of the current table: a new value whenever a slot is made
  // or dropped or another frame becomes current. A slot number remembered
  // with the stamp is good while the stamp is current. Tables that grew
  // alike from a function's fresh frame (the same names made in the same
  // slots) share their stamps, so a function's lines find their variables
  // again in its next call; every other change takes a value never used.
  std::uint64_t slotStamp = 1;
  std::uint64_t stampCounter = 1;
  struct LayoutStep {
    std::uint64_t from = 0;
    std::uint16_t slot = 0;
    std::string name;
    std::uint64_t stamp = 0;
  };
  std::unordered_map<std::uint64_t, LayoutStep> layoutSteps;   // by a hash of (from, slot, name)

  // ---- Scanner ----
  char* prog = nullptr;
  std::uint8_t tokKind = tk::kEnd;
  std::int32_t delim = 0;
  char token[limits::kLineBuffer] = {};
  char rawName[limits::kLineBuffer] = {};
  char* tokenStart = nullptr;      // where the current token began (for putback)
  std::uint16_t tokenSlot = limits::kNoSlot;   // slot of the current variable token in the current frame
  CachedLine* replay = nullptr;    // cached tokens of the text in `line`, or none
  std::size_t replayCursor = 0;
  bool scanNoCreate = false;       // scanning ahead: names create no slots
  std::uint32_t keywordGeneration = 1;   // changes when user-defined or host names change
  bool lastAmpIsPointer = false;
  bool compileLines = true;        // run cached lines through compiled expressions (off: text only)
  int persistentUdf = 0;

  // ---- Script ----
  std::vector<std::shared_ptr<Script>> scripts;   // active scripts: [0] main, then Call targets and bodies
  std::uint32_t curScript = 0;
  char line[limits::kLineBuffer] = {};
  const api::KeywordRecord* hostTable = nullptr;
  int hostCount = 0;
  api::HostEntry hostEntry = nullptr;
  std::vector<api::KeywordRecord> udfRecords;   // user-defined functions (ids 4000+)
  std::vector<struct Udf> udfs;                 // their definitions, same order
  std::uint16_t executingUdf = limits::kNoUdf;
  struct BoundTarget { std::uint16_t frame, slot; };
  std::vector<BoundTarget> boundTargets;        // callers' assignment targets, kept from Drop
  std::vector<std::string> savedLines;          // callers' lines during nested runs (CallerState)
  std::size_t savedLineDepth = 0;
  std::vector<api::KeywordRecord> extRecords;   // extender functions (ids 10000+)
  std::uint32_t runFlags = 0;
  void* blockPointer = nullptr;     // the locked context block during a call

  // ---- Errors ----
  std::uint16_t error = 0;
  std::string errorText;
  std::uint16_t lastStmtError = 0;
  std::uint32_t reportedError = 0;  // what LastError() returns
  std::uint32_t realCode = 0;       // the code behind a relayed or user-defined error
  std::uint32_t errorMode = 1;      // 0 @OFF, 1 @CANCEL, 2 @NOTIFY
  int errorHandlerMode = 0;         // 0 none, 1 GoTo label, 2 GoSub label, 3 function
  int cancelHandlerMode = 0;        // the same for Cancel; -1 inside a user-defined callable
  std::string errorHandlerFn;
  std::string cancelHandlerFn;
  std::string userErrorText;
  bool continueAfterReport = false;
  std::uint32_t lastError = 0;
  std::uint32_t lastLine = 0;
  std::uint32_t errorPos = 0;       // statement position of the failing statement
  std::uint32_t errorScript = 0;

  // ---- Numbers ----
  std::int32_t decimals = -1;
  std::uint16_t pendingMathError = 0;   // the first math error of the built-in call running now
  bool allow64 = true;

  // ---- Structures ----
  std::array<StructEntry, limits::kStructDepth + 1> stack{};
  int depth = 0;
  std::array<std::uint32_t, limits::kStructDepth + 1> foreachPos{};   // next element per ForEach level

  // ---- Run state ----
  int ifState = -1;
  std::uint8_t breakable = 0;
  bool cancelRequested = false;
  int wholeBlocked = 0;             // calls being redone the general way after a frameless run missed
  PumpThrottle pumpThrottle;       // when the run loop next looks at the message queue
  int callLevel = 0;
  std::uint16_t pendingLineError = 0;
  bool assignAllowed = false;
  int exprDepth = 0;                // nesting of the expression being evaluated
  std::uint16_t assignFrame = limits::kNoFrame;
  std::uint16_t assignSlot = limits::kNoSlot;
  std::uint32_t stmtPos = 0;        // position of the statement being run
  std::uint32_t pos = 0;            // where the run loop reads the next line
  bool lineSubstituted = false;
  bool returned = false;            // a Return reached the innermost Call frame
  Operand returnValue{};
  int traceEvent = 0;
  int conditionResult = 0;
  trace::TraceState trace;          // the debug trace (DebugTrace)
  bool debugStepping = false;       // Debug(1): the debug window stops before each statement
  // Called once a statement has run, on either path, before its error is
  // handled: tests compare the trace events and structures the paths leave.
  void (*statementDone)(Context&) = nullptr;
  // Statements a run may start before it ends as if by Exit (0 = no limit);
  // set by the fuzz targets, whose inputs may loop forever.
  std::uint64_t statementBudget = 0;

  // ---- Settings ----
  bool includeOption = false;
  bool includeAsCall = false;
  bool debugOutput = false;
  bool noYield = false;
  bool noCancel = false;
  int executeReportMode = 0;
  bool commandEnable = false;
  std::array<std::int32_t, 11> diag{};
  std::array<std::int32_t, 102> intSettings{};   // settings exchanged by IntControl, by request
  std::array<std::int32_t, 102> intSettingsP2{}; // the second value some of those requests keep
  unsigned conversionCodePage = 0;  // of 8-bit <-> UTF-16 conversions (ChrSetCodePage); 0: the system's ANSI one
  bool exclusive = false;           // Exclusive's switch, kept only to be answered
  int sounds = 0;
  int prettyDialogs = 1;

  // ---- Window automation and launching ----
  std::uintptr_t ownWindow = 0;          // the host window of the run (0: none)
  std::int32_t postMessageDelay = 100;   // ms after a command posted to a window (IntControl 70, p2 = 1)
  std::int32_t lastExitCode = 99999;     // of the last program waited for (IntControl 64)
  std::int32_t dialogX = -1, dialogY = -1;   // where the last dialog ended with a result (dialog units)
  std::u16string nextOkName, nextCancelName;   // ButtonNames: for the next box only ("" keeps a name)
  // ---- Open text files (created on first use) ----
  files::FileTablePtr files;
  // ---- Automation objects (owned by com/; released before anything above) ----
  std::shared_ptr<void> comState;
  // ---- DLL handles, structures and callbacks (owned by extend/; released first) ----
  std::shared_ptr<void> dllState;
  // ---- Named pipes and DDE conversations (owned by builtins/pipes; released first) ----
  std::shared_ptr<void> pipeState;
  std::shared_ptr<void> ddeState;

  Script& script() { return *scripts[curScript]; }
};

// Error helpers: a failing routine stores the number and returns a failure result.
inline bool failed(const Context& c) { return c.error != 0; }
// (Declared with the array table; here, where the table can be read.)
inline MapStore* map_of(const Context& c, const Value& v) {
  return (v.flags & vf::kArray) ? c.arrays.map(v.str) : nullptr;
}
bool fail(Context& c, std::uint16_t number);
bool fail(Context& c, std::uint16_t number, std::string text);

}  // namespace orv
