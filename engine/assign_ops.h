// The assignment operators: "=" and the compound forms with the operator each applies.
#pragma once
#include "engine/keywords.h"

namespace orv {

// The operator a compound assignment applies ("+=" gives "+"); -1 for any other id.
inline int compound_operator(int assignOp) {
  switch (assignOp) {
    case id::kAmpEq: return id::kAmp;
    case id::kStarEq: return id::kStar;
    case id::kPlusEq: return id::kPlus;
    case id::kMinusEq: return id::kMinus;
    case id::kSlashEq: return id::kSlash;
    case id::kColonEq: return id::kColon;
    case id::kShlEq: return id::kShl;
    case id::kShrEq: return id::kShr;
    case id::kCaretEq: return id::kCaret;
    case id::kModEq: return id::kMod;
    case id::kBarEq: return id::kBar;
    default: return -1;
  }
}

inline bool is_assignment_id(int op) { return op == id::kAssign || compound_operator(op) >= 0; }

}  // namespace orv
