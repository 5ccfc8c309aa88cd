// The native build has no automation services: member access and the object
// functions report that they are not available here.
#include "com/com_hooks.h"
#include "engine/keyword_ids.h"
#include "engine/object_members.h"

namespace orv {
namespace {

constexpr std::uint16_t kNotAvailable = 3472;

void not_available(Call& call) { fail(call.c, kNotAvailable); }

}  // namespace

void com_release_payload(Context&, Value&) {}
bool com_copy_payload(Context&, const Value&, Value&) { return true; }
bool com_answer_value(Context& c, const Value&, Value&) { return fail(c, kNotAvailable); }
void com_member_access(Call& call) { not_available(call); }
bool object_member_chain(Context& c, const Value&, const std::string&, Operand&) { return fail(c, kNotAvailable); }
bool object_default_text(Context& c, const Value&, std::string&) { return fail(c, kNotAvailable); }

bool com_next_element(Context& c, const Value&, std::uint32_t&, Value&, bool& got) {
  got = false;
  return fail(c, kNotAvailable);
}

void com_loop_ended(Context&, const std::uint32_t&) {}

void register_com_functions(HandlerTable& t) {
  for (int id : {kw::fn_objectaccess, kw::fn_objectclose, kw::fn_objectcollectionclose, kw::fn_objectcollectionnext,
                 kw::fn_objectcollectionopen, kw::fn_objectcreate, kw::fn_objecteventadd, kw::fn_objecteventremove,
                 kw::fn_objectget, kw::fn_objectopen, kw::fn_objecttype, kw::fn_createobject, kw::fn_getobject,
                 kw::fn_objectconstantsget, kw::fn_objectconsttoarray, kw::fn_objectclrnew, kw::fn_objectclroption,
                 kw::fn_objectclrtype})
    t.add(id, not_available);
}

}  // namespace orv
