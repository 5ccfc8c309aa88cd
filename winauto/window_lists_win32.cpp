// Lists of windows: all top-level titles, titles with ids, a parent's
// descendants, a filtered list, the windows of one process.
#include <windows.h>

#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "winauto/call_support.h"
#include "winauto/window_enum_win32.h"
#include "winauto/window_find_win32.h"
#include "winauto/window_groups_win32.h"

namespace orv::winauto {
namespace {

void win_itemize(Call& call) {
  EnumState s(call.c);
  EnumWindows(WinEnumItem, reinterpret_cast<LPARAM>(&s));
  text_result(call, s.list);
}

void win_item_name_id(Call& call) {
  EnumState s(call.c);
  EnumWindows(WinEnumItemAndId, reinterpret_cast<LPARAM>(&s));
  text_result(call, s.list);
}

void win_item_child(Call& call) {
  HWND parent = find_window(call.c, text_arg(call, 1), wait_count(call.c));
  if (!parent) {
    if (!failed(call.c)) fail(call.c, errs::kWinItemChildNoParent);
    return;
  }
  EnumState s(call.c);
  EnumChildWindows(parent, WinEnumItem, reinterpret_cast<LPARAM>(&s));
  text_result(call, s.list);
}

void win_itemize_ex(Call& call) {
  const int multiple = call.args[2].i, hidden = call.args[3].i;
  const int returnType = call.count >= 4 ? call.args[4].i : 0;
  if (multiple < 0 || multiple > 1) { fail(call.c, errs::kWinItemizeBadMultipleFlag); return; }
  if (hidden < 0 || hidden > 1) { fail(call.c, errs::kWinItemizeBadHiddenFlag); return; }
  EnumState s(call.c);
  s.pattern = text_arg(call, 1);
  s.multiple = multiple == 1;
  s.hidden = hidden == 1;
  s.returnType = returnType >= 0 && returnType <= 2 ? returnType : 0;
  EnumWindows(WinEnumItem, reinterpret_cast<LPARAM>(&s));
  text_result(call, s.list);
}

void win_item_proc_id(Call& call) {
  const std::int32_t pid = call.args[1].i, flags = call.args[2].i, returnType = call.args[3].i;
  if (pid == 0 || pid == 1) { fail(call.c, errs::kWinItemProcIdBadId); return; }
  if (flags < 0 || flags > 15) { fail(call.c, errs::kWinItemProcIdBadFlags); return; }
  if (returnType < 0 || returnType > 2) { fail(call.c, errs::kWinItemProcIdBadReturnType); return; }
  EnumState s(call.c);
  s.processId = static_cast<DWORD>(pid);
  s.flags = flags;
  s.returnType = returnType;
  EnumWindows(WinEnumFromProcId, reinterpret_cast<LPARAM>(&s));
  text_result(call, s.list);
}

}  // namespace

void register_window_lists(HandlerTable& t) {
  t.add(kw::fn_winitemize, win_itemize);
  t.add(kw::fn_winitemnameid, win_item_name_id);
  t.add(kw::fn_winitemchild, win_item_child);
  t.add(kw::fn_winitemizeex, win_itemize_ex);
  t.add(kw::fn_winitemprocid, win_item_proc_id);
}

}  // namespace orv::winauto
