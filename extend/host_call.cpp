#include "extend/host_call.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <cstring>

#include "com/com_hooks.h"
#include "engine/error_numbers.h"
#include "engine/outside_code.h"
#include "engine/keywords.h"
#include "engine/messages.h"
#include "engine/value_ops.h"
#include "extend/dll_groups.h"
#include "extend/dll_platform.h"
#include "platform/platform.h"

namespace orv {
namespace {

constexpr std::uint32_t kInfoVersion = 1012;
constexpr std::uint32_t kInfoSize = 72;
constexpr std::size_t kLastTextMax = 256;

// The number at the front of an extender's error text ("1234: ..."), or 999.
std::uint32_t extended_number(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon > 10 || colon == 0) return 999;
  for (std::size_t i = 0; i < colon; ++i)
    if (text[i] < '0' || text[i] > '9') return 999;
  return static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

std::uintptr_t word_of(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

}  // namespace

InfoBlock make_info_block(Context& c, Operand* answer) {
  InfoBlock block{};
  block.context = c.blockPointer;
  block.version = kInfoVersion;
  block.size = kInfoSize;
  block.services = reinterpret_cast<void*>(&DLLServices);
  // The exports an extender would otherwise look up in our module, in the
  // block's published order. UncompressBuffer is not among them: DLLServices
  // request 33 does the same.
  void* const more[std::size(block.moreServices)] = {
      reinterpret_cast<void*>(&ProcessSubExpression), reinterpret_cast<void*>(&::get_token),
      reinterpret_cast<void*>(&::get_string_token),   reinterpret_cast<void*>(&::putback),
      reinterpret_cast<void*>(&::find_var),           reinterpret_cast<void*>(&VMalloc),
      reinterpret_cast<void*>(&VFree),                reinterpret_cast<void*>(&LoadMyString),
      reinterpret_cast<void*>(&CreateMyArray),        reinterpret_cast<void*>(&ParseYMDHMS)};
  std::copy(std::begin(more), std::end(more), block.moreServices);
  block.mainWindow = c.ownWindow;
  block.owner = &c;
  block.answer = answer;
  return block;
}

int ORV_CALL orv_answer_callback(int rc, api::Word, void* info, api::Value* value) {
  auto* block = static_cast<InfoBlock*>(info);
  if (!block || !block->owner || !value) return -4;
  Context& c = *block->owner;
  if (rc < 0 && block->errorText) {
    // The error text may come in either width; anything else says nothing.
    std::string text;
    if (value->flags & vf::kStr) text = str_of(c, *value);
    else if (!(value->flags & vf::kWide) || !platform::utf16_to_ansi(wstr_view(c, *value), text)) text = message_text(errs::kExtenderUndefinedError);
    *block->errorText = text;
    return 0;
  }
  if (value->flags & vf::kArray) {
    // The extender's array (from CreateMyArray) becomes the result as it is:
    // its one reference passes to us, so nothing is copied. An array the
    // extender got as an argument is still the argument's: that one gains a
    // reference instead, or the script's array would go with the argument.
    if (!c.arrays.header(value->str)) return -4;
    bool borrowed = false;
    for (int k = 0; k < block->argCount; ++k)
      if ((block->args[k].flags & vf::kArray) && block->args[k].str == value->str) borrowed = true;
    if (borrowed) c.arrays.add_ref(value->str);
    release_value(c, *block->answer);
    Value taken{};
    taken.flags = vf::kArray;
    taken.str = value->str;
    static_cast<Value&>(*block->answer) = taken;
    return 0;
  }
  if (value->flags & vf::kCom) {
    Value held{};
    if (!com_answer_value(c, *value, held)) return -4;
    release_value(c, *block->answer);
    static_cast<Value&>(*block->answer) = held;
    return 0;
  }
  constexpr std::uint32_t kAccepted = vf::kInt | vf::kStr | vf::kFloat | vf::kWide;
  if (!(value->flags & kAccepted)) return -4;
  release_value(c, *block->answer);
  Value copy{};
  // A string lives in our heap already (allocated through VMalloc); keep one copy.
  if (!copy_value(c, *value, copy)) return -4;
  static_cast<Value&>(*block->answer) = copy;
  return 0;
}

int guarded_entry(void* entry, const std::uintptr_t* words, int count, std::string& faultText) {
  dll::CallResult r;
  dll::call_entry_words(entry, words, count, r);
  if (r.fault.code) {
    faultText = "the extender failed: " + dll::fault_text(r.fault);
    return -3;
  }
  if (r.spAfter != r.spBefore) {
    faultText = "the extender's entry point left the stack unbalanced by " +
                std::to_string(static_cast<std::int32_t>(r.spAfter - r.spBefore)) + " bytes";
    return -3;
  }
  return static_cast<int>(r.eax);
}

void call_entry(Call& call, api::HostEntry entry, int function, api::Word* privateWord, std::string* lastText) {
  Context& c = call.c;
  std::string text;
  InfoBlock block = make_info_block(c, &call.result);
  block.errorText = &text;
  block.args = &call.args[1];
  block.argCount = call.count;
  const std::uintptr_t words[10] = {c.ownWindow, 0, api::kEntrySignature, static_cast<std::uintptr_t>(function),
                                    word_of(reinterpret_cast<void*>(&orv_answer_callback)), word_of(&block),
                                    word_of(privateWord), word_of(&call.args[1]),
                                    static_cast<std::uintptr_t>(call.count), word_of(&call.result)};
  std::string faultText;
  const int rc = guarded_entry(reinterpret_cast<void*>(entry), words, 10, faultText);
  after_outside_code(c);
  finish_call(call, rc, faultText.empty() ? text : faultText, lastText);
}

void finish_call(Call& call, int rc, const std::string& text, std::string* lastText) {
  Context& c = call.c;
  if (rc >= 0) return;
  if (lastText) *lastText = text.substr(0, kLastTextMax);
  switch (rc) {
    case -4: fail(c, errs::kCancelled); return;
    case -5: fail(c, 9012); return;   // stop the script, quietly, as the host's own stop does
    case -6: fail(c, errs::kExtenderArrayFailed); return;
    case -7: {
      // A report the user confirms (IntControl 87: 1 = OK only, 2 = no box);
      // Cancel stops the script like a cancel of its own.
      const std::string shown = text.rfind("EXECUTE::", 0) == 0 ? text.substr(9) : text;
      const std::string title = c.scripts.empty() ? std::string() : c.script().file;
      if (c.executeReportMode == 2) return;
      if (c.runFlags & api::kRunReportToHost) { dll::notify(c, shown, title); return; }
      const unsigned buttons = c.executeReportMode == 1 ? platform::mb_ok : platform::mb_okcancel;
      if (platform::message_box(shown, title, buttons | platform::mb_icon_exclamation) == 2) fail(c, errs::kCancelled);
      return;
    }
    default: break;
  }
  c.realCode = extended_number(text);
  c.userErrorText = text.empty() ? message_text(errs::kExtenderUndefinedError) : text;
  const std::uint16_t number = rc == -1 ? errs::kExtenderMinorError : rc == -2 ? errs::kExtenderModerateError : rc == -3 ? errs::kExtenderSevereError : errs::kExtenderNoMemory;
  fail(c, number, text.empty() ? message_text(errs::kExtenderUndefinedError) : text);
}

void call_host_function(Call& call) {
  if (!call.c.hostEntry) { fail(call.c, errs::kFunctionNotDefined); return; }
  api::Word privateWord = 0;
  call_entry(call, call.c.hostEntry, call.id - kParentStart, &privateWord, nullptr);
}

}  // namespace orv
