#include "engine/switch_table.h"

#include <algorithm>
#include <cstring>

#include "engine/limits.h"
#include "engine/statement_walk.h"
#include "engine/variables.h"

namespace orv {

bool switch_case_value(Context& c, CompiledStatement& st, std::int32_t& out, std::uint16_t& nesting) {
  if (st.expr < 0) return false;
  const CompiledExpr& e = st.code.exprs[static_cast<std::size_t>(st.expr)];
  if (e.intCount == 0) return false;
  for (std::uint32_t k = 0; k < e.intCount; ++k)
    if (st.code.intCode[e.intStart + k].reads_variable()) return false;
  nesting = std::max(nesting, e.nesting);
  return eval_compiled_int(c, st.code, e, out);
}

bool CaseJumps::map(const std::vector<Case>& cases, std::int32_t otherwise) {
  if (cases.empty()) return false;
  std::int32_t low = cases[0].value, high = low;
  for (const Case& k : cases) {
    low = std::min(low, k.value);
    high = std::max(high, k.value);
  }
  if (std::int64_t{high} - low >= kMaxSpan) return false;
  lowest = low;
  none = otherwise;
  at.assign(static_cast<std::size_t>(std::int64_t{high} - low + 1), otherwise);
  for (std::size_t k = cases.size(); k-- > 0;)   // backwards: the first of equal values wins
    at[static_cast<std::size_t>(std::int64_t{cases[k].value} - low)] = cases[k].target;
  return true;
}

namespace {

// A table is tried on the first runs of a Switch: its block's lines are
// compiled when they are read a second time.
constexpr std::uint8_t kTableTries = 4;

void add_names(SwitchTable& t, const CompiledStatement& st) {
  for (const NameRef& n : st.names) {
    bool known = false;
    for (const NameRef& m : t.names) known = known || m.name == n.name;
    if (!known) t.names.push_back(NameRef{n.name});
  }
}

// Kinds of the structures open inside the block.
enum class Open : std::uint8_t { kIf, kIfElse, kWhile, kSwitch };

// Walks the block from the line after the Switch to its EndSwitch. False
// when any line keeps it from being jumped over.
bool map_block(Context& c, const Script& s, const CompiledStatement& sw, SwitchTable& t,
               std::vector<CompiledStatement*>& breaks) {
  std::vector<Open> open;
  StatementWalk walk(c, s, sw.nextPos);
  std::uint32_t index = 0;   // of the statement in the block
  while (CompiledStatement* found = walk.next()) {
    CompiledStatement& st = *found;
    const std::uint32_t pos = walk.read_at();
    const bool top = open.empty();
    switch (st.kind) {
      case CompiledStatement::kAssign: case CompiledStatement::kIfLine: case CompiledStatement::kCall:
      case CompiledStatement::kAssignElement:   // a skipped line of these kinds only declares its names
        add_names(t, st);
        break;
      case CompiledStatement::kIfBlock:
        add_names(t, st);
        open.push_back(Open::kIf);
        break;
      case CompiledStatement::kWhile: open.push_back(Open::kWhile); break;
      case CompiledStatement::kSwitch: open.push_back(Open::kSwitch); break;
      case CompiledStatement::kElse:
        if (top || open.back() != Open::kIf) return false;
        open.back() = Open::kIfElse;
        t.lastElse = index + 1;
        break;
      case CompiledStatement::kEndIf:
        if (top || (open.back() != Open::kIf && open.back() != Open::kIfElse)) return false;
        open.pop_back();
        break;
      case CompiledStatement::kEndWhile:
        if (top || open.back() != Open::kWhile) return false;
        open.pop_back();
        break;
      case CompiledStatement::kCase:
        if (top) {
          SwitchTable::Arm arm;
          if (!switch_case_value(c, st, arm.value, t.caseNesting)) return false;
          arm.stmtPos = st.stmtPos;
          arm.nextPos = st.nextPos;
          arm.index = index;
          t.arms.push_back(arm);
        } else if (open.back() != Open::kSwitch) {
          return false;
        }
        break;
      case CompiledStatement::kEndSwitch:
        if (top) {
          t.endPos = pos;
          t.endNext = st.nextPos;
          t.endIndex = index;
          return true;
        }
        if (open.back() != Open::kSwitch) return false;
        open.pop_back();
        break;
      case CompiledStatement::kBreak:
        if (top) {
          st.blockIndex = index;
          breaks.push_back(&st);
        }
        break;
      case CompiledStatement::kContinue: break;
      default: return false;   // For loops and anything else keep to the lines
    }
    t.nesting = std::max(t.nesting, static_cast<int>(open.size()));
    ++index;
  }
  return false;
}

void map_arms(SwitchTable& t) {
  std::vector<CaseJumps::Case> cases;
  for (std::size_t k = 0; k < t.arms.size(); ++k) cases.push_back({t.arms[k].value, static_cast<std::int32_t>(k)});
  t.jumps.map(cases, -1);
}

}  // namespace

SwitchTable* make_switch_table(Context& c, CompiledStatement& st) {
  const Script& s = c.script();
  if (st.tableTries >= kTableTries || !s.statements) return nullptr;
  ++st.tableTries;
  auto t = std::make_shared<SwitchTable>();
  t->textVersion = st.textVersion;
  t->generation = st.generation;
  t->switchPos = st.stmtPos;
  std::vector<CompiledStatement*> breaks;
  if (!map_block(c, s, st, *t, breaks)) {
    c.error = 0;   // a Case value that failed leaves nothing behind
    c.errorText.clear();
    return nullptr;
  }
  map_arms(*t);
  for (CompiledStatement* b : breaks) b->table = t;
  st.table = std::move(t);
  return st.table.get();
}

}  // namespace orv
