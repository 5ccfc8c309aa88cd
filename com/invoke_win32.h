// Late-bound calls: one member of one object, with the script's arguments.
#pragma once
#include <string>
#include <string_view>

#include "com/com_win32.h"
#include "com/small_list.h"

namespace orv::com {

// Arguments as the script wrote them; a plain variable may be passed by
// reference and receive the server's new value.
class ArgumentList {
 public:
  explicit ArgumentList(Context& c) : c_(c) {}
  ~ArgumentList();
  ArgumentList(const ArgumentList&) = delete;
  ArgumentList& operator=(const ArgumentList&) = delete;
  Operand& add(std::string variableName);
  std::size_t size() const { return values_.size(); }
  Operand& value(std::size_t k) { return values_[k]; }
  const std::string& variable(std::size_t k) const { return names_[k]; }

 private:
  static constexpr std::size_t kInline = 8;
  Context& c_;
  SmallList<Operand, kInline> values_;
  SmallList<std::string, kInline> names_;
};

enum class CallKind { getOrCall, put };

// A member name as the script wrote it, as UTF-16: 3061 when empty, 3820
// when it does not convert.
bool member_name_text(Context& c, std::string_view name, std::wstring& out);
// The same check without the text (free for the member the object last served).
bool check_member_name(Context& c, const ComObject& o, std::string_view name);

// Invokes member `name` (as the script wrote it); `putValue` is the assigned
// value of a property put.
bool invoke_member(Context& c, ComObject& o, std::string_view name, CallKind kind, ArgumentList& args,
                   const Value* putValue, Value& result);
// The same by dispatch identifier (DISPID_NEWENUM and friends).
bool invoke_id(Context& c, ComObject& o, DISPID id, const char* what, ArgumentList& args, const Value* putValue,
               Value& result, VARIANT* raw = nullptr);

}  // namespace orv::com
