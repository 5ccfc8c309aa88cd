// The native build has no automation services: member access and the object
// functions report that they are not available here.
#include "com/com_hooks.h"
#include "engine/keyword_ids.h"

namespace orv {
namespace {

constexpr std::uint16_t kNotAvailable = 3472;

void not_available(Call& call) { fail(call.c, kNotAvailable); }

}  // namespace

void com_release_payload(Context&, Value&) {}
bool com_copy_payload(Context&, const Value&, Value&) { return true; }
bool com_answer_value(Context& c, const Value&, Value&) { return fail(c, kNotAvailable); }
void com_member_access(Call& call) { not_available(call); }

bool com_next_element(Context& c, const Value&, std::uint32_t&, Value&, bool& got) {
  got = false;
  return fail(c, kNotAvailable);
}

void com_loop_ended(Context&, const std::uint32_t&) {}

void register_com_functions(HandlerTable& t) {
  for (int id : {kw::fn_objectaccess, kw::fn_objectclose, kw::fn_objectcollectionclose, kw::fn_objectcollectionnext,
                 kw::fn_objectcollectionopen, kw::fn_objectcreate, kw::fn_objecteventadd, kw::fn_objecteventremove,
                 kw::fn_objectget, kw::fn_objectopen, kw::fn_objecttype})
    t.add(id, not_available);
}

}  // namespace orv
