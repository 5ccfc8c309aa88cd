// The generation-4 entry protocol shared by the host's own functions (ids
// 1000-1998) and extender functions: the information block, the answer
// callback and the meaning of the entry's return code.
#pragma once
#include <string>
#include "builtins/dispatch.h"

namespace orv {

void call_host_function(Call& call);

// Calls `entry` with function number `function` on the call's arguments; the
// result lands in call.result. Negative codes become the call's error, with
// the extender's text. `lastText` keeps that text (cut to 256 characters).
void call_entry(Call& call, api::HostEntry entry, int function, api::Word* privateWord, std::string* lastText);

// Calls an entry point with `count` argument words under the fault guard.
// A fault or an unbalanced stack sets `faultText` and gives -3 (severe).
int guarded_entry(void* entry, const std::uintptr_t* words, int count, std::string& faultText);

// What a return code means for the script (success, reply or failure with
// `text`), for every generation.
void finish_call(Call& call, int rc, const std::string& text, std::string* lastText);

// The information block for a call into an extender (18 published words).
struct InfoBlock {
  void* context;
  api::Word caller;
  std::uint32_t version;
  std::uint32_t size;
  void* services;
  api::Word hostInstance;
  api::Word hostWord;
  api::Word mainWindow;
  // ProcessSubExpression, get_token, get_string_token, putback, find_var,
  // VMalloc, VFree, LoadMyString, CreateMyArray, ParseYMDHMS.
  void* moreServices[10];
  Context* owner;        // not part of the published block: lets the answer find us
  Operand* answer;
  std::string* errorText;
  const Operand* args = nullptr;   // the call's arguments (generation 4 and up)
  int argCount = 0;
};
InfoBlock make_info_block(Context& c, Operand* answer);
int ORV_CALL orv_answer_callback(int rc, api::Word, void* info, api::Value* value);

}  // namespace orv
