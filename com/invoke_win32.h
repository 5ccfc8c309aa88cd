// Late-bound calls: one member of one object, with the script's arguments.
#pragma once
#include <string>
#include <vector>

#include "com/com_win32.h"

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
  Context& c_;
  std::vector<Operand> values_;
  std::vector<std::string> names_;
};

enum class CallKind { getOrCall, put };

// Invokes member `name`; `putValue` is the assigned value of a property put.
bool invoke_member(Context& c, ComObject& o, const std::wstring& name, CallKind kind, ArgumentList& args,
                   const Value* putValue, Value& result);
// The same by dispatch identifier (DISPID_NEWENUM and friends).
bool invoke_id(Context& c, ComObject& o, DISPID id, const char* what, ArgumentList& args, const Value* putValue,
               Value& result, VARIANT* raw = nullptr);

}  // namespace orv::com
