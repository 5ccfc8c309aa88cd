// Keyword lookup over the built-in table and the other id ranges.
#pragma once
#include <cstdint>
#include "engine/context.h"
#include "engine/keyword_table.h"

namespace orv {

// Id ranges of keyword tokens.
inline constexpr int kParentStart = 1000, kParentEnd = 1998;
inline constexpr int kUdfStart = 4000, kUdfEnd = 4998;
inline constexpr int kAddonStart = 10000, kAddonEnd = 10750;
inline constexpr int kNotAKeyword = 9999;

// Keyword kinds.
namespace kk {
inline constexpr std::uint32_t kOperator = 0, kUnaryOperator = 1, kFunction = 2, kConstant = 3,
                               kCommand = 4, kComparison = 5, kSpecial = 6, kStructure = 8, kUserCommand = 9;
inline constexpr std::uint32_t kDisabledBit = 0x2000;
}  // namespace kk

// Ids of the vocabulary the engine itself acts on.
namespace id {
inline constexpr int kNot = 0, kNe = 1, kAmp = 2, kAndAnd = 3, kAmpEq = 4, kLParen = 5, kRParen = 6,
                     kStar = 7, kPow = 8, kStarEq = 9, kPlus = 10, kPlusEq = 11, kComma = 12, kMinus = 13,
                     kMinusEq = 14, kSlash = 15, kSlashEq = 16, kColon = 17, kColonColon = 18,
                     kColonEq = 19, kLt = 20, kShl = 21, kShlEq = 22, kLe = 23, kLtGt = 24, kAssign = 25,
                     kEq = 26, kGt = 27, kGe = 28, kShr = 29, kShrEq = 30;
inline constexpr int kGetViaPointer = 32, kMakePointer = 33, kOleObject = 34, kSetViaPointer = 35;
inline constexpr int kLBracket = 245, kRBracket = 246, kCaret = 247, kCaretEq = 248;
inline constexpr int kBeep = 288, kBreak = 346, kBy = 348, kCase = 350, kContinue = 368, kDrop = 428,
                     kElse = 430, kElseIf = 431, kEnd = 432, kEndFor = 433, kEndIf = 434,
                     kEndSelect = 435, kEndSwitch = 437, kEndWhile = 438, kExecute = 445, kExit = 447,
                     kFor = 501, kForEach = 502, kGosub = 507, kGoto = 508, kIf = 513, kIsDefined = 527,
                     kMod = 562, kModEq = 563, kNext = 572, kObjectTypeGet = 590, kPtrGlobal = 605,
                     kPtrGlobalDefine = 606, kPtrGlobalTest = 607, kPtrPersistent = 608, kReturn = 645,
                     kSelect = 658, kSwitch = 708, kThen = 717, kTo = 730, kVarType = 735, kWhile = 741,
                     kYield = 787, kBar = 789, kBarEq = 790, kBarBar = 791, kTilde = 792;
}  // namespace id

// The record of a host, user-defined or extender id; nullptr if none.
const api::KeywordRecord* keyword_record_beyond(const Context& c, int id);
// The record of any keyword id (built-in, host, user-defined, extender); nullptr
// if none. (Every call looks its function up: built-ins are found inline.)
inline const api::KeywordRecord* keyword_record(const Context& c, int id) {
  if (id >= 0 && id < kKeywordCount) return &kKeywords[id];
  return keyword_record_beyond(c, id);
}
inline std::uint32_t keyword_kind(const Context& c, int id) {
  const api::KeywordRecord* r = keyword_record(c, id);
  return r ? r->kind : 0xFFFFFFFFu;
}
bool is_function_id(const Context& c, int id);

// Looks up an identifier at `text` (already known to start with a letter, "@"
// or "_"). Returns the id, or kNotAKeyword. `length` receives the characters
// the keyword covers in the text.
int lookup_identifier(Context& c, const char* text, std::size_t& length);
// Longest operator matching the text; kNotAKeyword when none.
int lookup_operator(Context& c, const char* text, std::size_t& length);

// Float and string @constants.
bool constant_value(std::uint32_t word, Value& out, Context& c);

}  // namespace orv
