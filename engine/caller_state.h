// The caller's state that a nested run (a user-defined function, or a script
// started by Call) saves before it starts and puts back when it ends.
#pragma once
#include <cstring>
#include <string>
#include "engine/context.h"

namespace orv {

struct CallerState {
  Context& context;
  std::size_t lineIndex;   // the caller's line, in Context::savedLines
  std::uint32_t curScript, pos, stmtPos;
  std::ptrdiff_t progOffset;
  std::uint8_t tokKind;
  std::int32_t delim;
  int ifState;
  std::uint8_t breakable;
  bool lineSubstituted, assignAllowed, returned;
  int errorHandlerMode, cancelHandlerMode;
  std::string errorHandlerFn, cancelHandlerFn;
  std::uint16_t executingUdf, assignFrame, assignSlot;
  int persistentUdf;
  CachedLine* replay;
  std::size_t replayCursor;
  std::uint16_t tokenSlot;
  bool keepsLine;

  // A user-defined callable starts without handlers (mode 0 or -1, which
  // read no name) and names one only when it sets a handler: their names
  // are moved out rather than copied. Other nested runs keep the caller's.
  enum class Handlers { kept, cleared };

  // A compiled statement never reads its line back after a call (an error
  // puts the statement's own text there): its calls need not keep it.
  enum class Line { kept, unread };

  // The saved lines are kept by the context and reused, so a call does not
  // allocate a copy of its caller's line.
  explicit CallerState(Context& c, Handlers handlers = Handlers::kept, Line line = Line::kept)
      : context(c), lineIndex(c.savedLineDepth), curScript(c.curScript), pos(c.pos), stmtPos(c.stmtPos),
        progOffset(c.prog ? c.prog - c.line : 0), tokKind(c.tokKind), delim(c.delim), ifState(c.ifState),
        breakable(c.breakable), lineSubstituted(c.lineSubstituted), assignAllowed(c.assignAllowed),
        returned(c.returned), errorHandlerMode(c.errorHandlerMode), cancelHandlerMode(c.cancelHandlerMode),
        executingUdf(c.executingUdf),
        assignFrame(c.assignFrame), assignSlot(c.assignSlot), persistentUdf(c.persistentUdf), replay(c.replay),
        replayCursor(c.replayCursor), tokenSlot(c.tokenSlot), keepsLine(line == Line::kept) {
    take(c.errorHandlerFn, errorHandlerFn, handlers);
    take(c.cancelHandlerFn, cancelHandlerFn, handlers);
    if (!keepsLine) return;
    if (c.savedLines.size() <= lineIndex) c.savedLines.resize(lineIndex + 1);
    c.savedLines[lineIndex].assign(c.line);
    ++c.savedLineDepth;
  }
  ~CallerState() {
    if (keepsLine) --context.savedLineDepth;
  }
  // Names are mostly empty: no string work for those.
  static void take(std::string& from, std::string& to, Handlers handlers) {
    if (from.empty()) return;
    if (handlers == Handlers::cleared) from.swap(to);
    else to = from;
  }
  static void put_back(std::string& saved, std::string& to) {
    if (!saved.empty() || !to.empty()) to = std::move(saved);
  }
  CallerState(const CallerState&) = delete;
  CallerState& operator=(const CallerState&) = delete;

  // Once: the handlers' names are moved back.
  void restore(Context& c) {
    c.curScript = curScript;
    c.pos = pos;
    c.stmtPos = stmtPos;
    if (keepsLine) {
      const std::string& line = c.savedLines[lineIndex];
      std::memcpy(c.line, line.c_str(), line.size() + 1);
    }
    c.prog = c.line + progOffset;
    c.tokKind = tokKind;
    c.delim = delim;
    c.ifState = ifState;
    c.breakable = breakable;
    c.lineSubstituted = lineSubstituted;
    c.assignAllowed = assignAllowed;
    c.returned = returned;
    c.errorHandlerMode = errorHandlerMode;
    c.cancelHandlerMode = cancelHandlerMode;
    put_back(errorHandlerFn, c.errorHandlerFn);
    put_back(cancelHandlerFn, c.cancelHandlerFn);
    c.executingUdf = executingUdf;
    c.assignFrame = assignFrame;
    c.assignSlot = assignSlot;
    c.persistentUdf = persistentUdf;
    c.replay = replay;
    c.replayCursor = replayCursor;
    c.tokenSlot = tokenSlot;
  }
};

}  // namespace orv
