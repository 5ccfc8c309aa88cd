#include "extend/host_call.h"

#include "engine/keywords.h"
#include "engine/value_ops.h"

namespace orv {
namespace {

// The information block handed to every entry-point call (18 words).
struct InfoBlock {
  void* context;
  api::Word caller;
  std::uint32_t version;
  std::uint32_t size;
  void* services;
  api::Word hostInstance;
  api::Word hostWord;
  api::Word mainWindow;
  void* moreServices[10];
  Context* owner;        // not part of the published block: lets the answer find us
  Operand* answer;
};

constexpr std::uint32_t kInfoVersion = 1012;
constexpr std::uint32_t kInfoSize = 72;

int ORV_CALL answer_callback(int, api::Word, void* info, api::Value* value) {
  auto* block = static_cast<InfoBlock*>(info);
  if (!block || !block->owner || !value) return -4;
  constexpr std::uint32_t kAccepted = vf::kInt | vf::kStr | vf::kFloat | vf::kWide;
  if (!(value->flags & kAccepted)) return -4;
  Context& c = *block->owner;
  release_value(c, *block->answer);
  Value copy{};
  // A host string lives in our heap already (allocated through VMalloc); keep one copy.
  if (!copy_value(c, *value, copy)) return -4;
  static_cast<Value&>(*block->answer) = copy;
  return 0;
}

}  // namespace

void call_host_function(Call& call) {
  Context& c = call.c;
  if (!c.hostEntry) { fail(c, 3046); return; }
  InfoBlock block{};
  block.context = c.blockPointer;
  block.version = kInfoVersion;
  block.size = kInfoSize;
  block.owner = &c;
  block.answer = &call.result;
  api::Word privateWord = 0;
  int rc = c.hostEntry(0, 0, api::kEntrySignature, call.id - kParentStart, &answer_callback, &block, &privateWord,
                       &call.args[1], call.count, &call.result);
  if (rc < 0) {
    switch (rc) {
      case -1: fail(c, 1213); break;
      case -2: fail(c, 2214); break;
      case -3: fail(c, 3215); break;
      case -4: fail(c, 9999); break;
      default: fail(c, 3210); break;
    }
  }
}

}  // namespace orv
