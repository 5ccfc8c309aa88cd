// What the engine asks of the automation layer (com/): copies and releases of
// object values, member access, collections, type names. The product build
// answers with real objects; the native build has no COM and refuses member access.
#pragma once
#include <cstdint>
#include <string>

#include "engine/builtin_calls.h"
#include "engine/context.h"

namespace orv {

// Releases the automation payload of a value (its variant or its object
// reference); the caller clears the record afterwards.
void com_release_payload(Context& c, Value& v);
// Gives a freshly copied record its own share of the payload. False (with
// the error set, the payload not shared) on failure.
bool com_copy_payload(Context& c, const Value& src, Value& dst);

// A COM value an extender answered with: our own form of it. An object value
// of ours that it passes back gains a reference; any other variant is taken
// as the automation layer takes a result (an object reference in it becomes
// an object value). False with the error set.
bool com_answer_value(Context& c, const Value& answered, Value& out);

// `obj.member...`: the handler of the member-access token. It reads the
// member chain, its arguments and an assignment after it by itself.
void com_member_access(Call& call);

// ForEach over a collection object: assigns the next element to `element`
// (empty on entry) and says whether there was one. `position` is the loop's
// own counter, 0 when the loop starts.
bool com_next_element(Context& c, const Value& collection, std::uint32_t& position, Value& element, bool& got);

// A ForEach loop ended early (Break): its enumeration is let go now.
void com_loop_ended(Context& c, const std::uint32_t& position);

// ObjectTypeGet's answer: the variant type of a COM value, "" for others.
std::string com_type_name(const Value& v);

// A variant type's name for the trace and ObjectTypeGet: "VT_ARRAY|VT_I4",
// "I4", "VT_EMPTY"...; "<unknown>" for a base type without a name.
namespace com {
std::string vartype_text(std::uint16_t type, bool withPrefix);
}

}  // namespace orv
