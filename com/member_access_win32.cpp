// `obj.member(args).member = value`: the member-access handler reads the
// dotted chain, each member's arguments and a final assignment itself, then
// makes one late-bound call per member.
#include <string>
#include <string_view>

#include "com/com_hooks.h"
#include "com/constants_win32.h"
#include "com/invoke_win32.h"
#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/keywords.h"
#include "engine/convert.h"
#include "engine/messages.h"
#include "engine/object_members.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"
#include "engine/variables.h"

namespace orv::com {
namespace {

constexpr std::size_t kMaxMemberArgs = 64;
// The members of one chain ("a.b.c"), mostly one or two.
using MemberList = SmallList<std::string, 4>;
// Chains of default members (an object whose default is an object) end here.
constexpr int kMaxDefaultMemberDepth = 8;

void split_members(std::string_view dotted, MemberList& out) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = dotted.find('.', start);
    const std::size_t end = dot == std::string_view::npos ? dotted.size() : dot;
    out.push_back(std::string(dotted.substr(start, end - start)));
    if (dot == std::string_view::npos) return;
    start = dot + 1;
  }
}

// A plain variable argument ("x" followed by "," or ")") may be passed by
// reference. Both marks are one-character tokens: the text after the name tells.
std::string variable_argument(const Context& c) {
  if (c.tokKind != tk::kVariable || !c.prog) return {};
  const char* p = c.prog;
  while (*p == ' ' || *p == '\t') ++p;
  return *p == ',' || *p == ')' ? std::string(c.token) : std::string();
}

// Reads "(a, b, ...)" with c.prog at "("; leaves c.prog after ")".
bool read_arguments(Context& c, ArgumentList& args) {
  get_token(c);   // "("
  get_token(c);
  if (failed(c)) return false;
  if (is_keyword(c, id::kRParen)) return true;
  for (;;) {
    if (args.size() == kMaxMemberArgs) return fail(c, errs::kWrongArgumentCount, message_text(errs::kHintMissingParen));
    Operand& slot = args.add(variable_argument(c));
    if (!process_sub_expression(c, slot, false, false)) return false;
    if (is_keyword(c, id::kRParen)) return true;
    if (!is_keyword(c, id::kComma)) return fail(c, errs::kWrongArgumentCount, message_text(errs::kHintMissingParen));
    get_token(c);
    if (failed(c)) return false;
  }
}

// True (with "=" consumed) when an assignment to the member follows.
bool assignment_follows(Context& c) {
  if (!c.assignAllowed) return false;
  const char* p = c.prog;
  while (p && (*p == ' ' || *p == '\t')) ++p;
  if (!p || *p == '\0' || *p == ';') return false;   // the line ends: nothing to read
  const ScanState at = save_scan(c);
  get_token(c);
  if (!failed(c) && is_keyword(c, id::kAssign)) return true;
  c.error = 0;
  restore_scan(c, at);
  return false;
}

struct HeldValue {
  Context& c;
  Value v{};
  ~HeldValue() { release_value(c, v); }
};

// The dotted members written at c.prog (".a.b"), consumed; false when no
// member follows there.
bool members_at_prog(Context& c, MemberList& members) {
  if (c.prog[0] != '.' || !is_name_start(c.prog[1])) return false;
  std::size_t n = 1;
  while (is_name_char(c.prog[n]) || c.prog[n] == '.') ++n;
  split_members(std::string_view(c.prog + 1, n - 1), members);
  c.prog += n;
  return true;
}

// One late-bound call per member of `members` on the object in `current`;
// the last member may take "(arguments)", a ")" may be followed by more
// members, and an assignment after the last one is a property put. c.prog
// ends after the chain (the caller reads the next token).
void run_chain(Context& c, HeldValue& current, MemberList& members, Operand& result) {
  if (!state_of(c).ready(c)) return;
  for (std::size_t i = 0;; ++i) {
    ComObject* object = object_of(current.v);
    if (!object || !object->disp) { fail(c, errs::kNotAnObject); return; }
    ArgumentList args(c);
    if (i + 1 == members.size()) {
      const char* p = c.prog;
      while (*p == ' ' || *p == '\t') ++p;
      if (*p == '(') {
        c.prog = const_cast<char*>(p);
        if (!read_arguments(c, args)) return;
      }
      members_at_prog(c, members);   // ").more" continues the chain on the result
    }
    const std::string& name = members[i];
    if (!check_member_name(c, *object, name)) return;
    const bool last = i + 1 == members.size();
    if (last && assignment_follows(c)) {
      if (is_constants_object(object->disp)) {
        std::wstring wide;
        if (member_name_text(c, name, wide)) fail(c, errs::kComConstantsReadOnly, narrow(wide));
        return;
      }
      get_token(c);
      Temp value(c);
      if (!process_sub_expression(c, value.op(), false, false)) return;
      if (!at_end(c)) { fail(c, errs::kExtraAfterEnd, message_text(errs::kHintExtraAfterEnd)); return; }
      Value ignored{};
      if (!invoke_member(c, *object, name, CallKind::put, args, &value.op(), ignored)) return;
      release_value(c, result);
      make_int(result, 0);
      return;
    }
    Value answer{};
    if (!invoke_member(c, *object, name, CallKind::getOrCall, args, nullptr, answer)) return;
    if (last) {
      release_value(c, result);
      static_cast<Value&>(result) = answer;
      return;
    }
    release_value(c, current.v);
    current.v = answer;
  }
}

}  // namespace
}  // namespace orv::com

namespace orv {

void com_member_access(Call& call) {
  using namespace com;
  Context& c = call.c;
  const std::string dotted = c.token;
  const std::size_t firstDot = dotted.find('.');
  if (firstDot == std::string::npos) { fail(c, errs::kIllegalSyntax); return; }
  MemberList members;
  split_members(std::string_view(dotted).substr(firstDot + 1), members);
  const std::uint16_t slot = find_var(c, lower_name(dotted.substr(0, firstDot)), true);
  if (slot == kNotFound) return;
  HeldValue current{c};
  if (!copy_value(c, c.slots[slot].v, current.v)) return;
  run_chain(c, current, members, call.result);
}

bool object_member_chain(Context& c, const Value& start, const std::string& dotted, Operand& result) {
  using namespace com;
  MemberList members;
  if (!dotted.empty()) split_members(dotted, members);
  else if (!members_at_prog(c, members)) return fail(c, errs::kIllegalSyntax);
  HeldValue current{c};
  if (!copy_value(c, start, current.v)) return false;
  run_chain(c, current, members, result);
  if (failed(c)) return false;
  get_token(c);
  return !failed(c);
}

bool object_default_text(Context& c, const Value& object, std::string& out) {
  using namespace com;
  HeldValue current{c};
  if (!copy_value(c, object, current.v)) return false;
  for (int depth = 0; object_of(current.v); ++depth) {
    ComObject* o = object_of(current.v);
    if (!o->disp || depth == kMaxDefaultMemberDepth || !state_of(c).ready(c)) return fail(c, errs::kNotAnObject);
    ArgumentList none(c);
    Value answer{};
    if (!invoke_id(c, *o, DISPID_VALUE, "InvokeMember", none, nullptr, answer)) {
      if (c.error == errs::kComMemberNotFound || c.error == errs::kComUnknownName) {   // the object has no default member
        c.error = 0;
        c.errorText.clear();
        return fail(c, errs::kNotAnObject, message_text(errs::kComNoDefaultValue));
      }
      return false;
    }
    release_value(c, current.v);
    current.v = answer;
  }
  return value_text(c, current.v, out);
}

}  // namespace orv
