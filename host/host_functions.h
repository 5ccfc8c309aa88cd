// The host's own script functions (ids 1000+): StdOut, StdErr, StdIn, StdInEof,
// ExitCode.
#pragma once
#include <string>
#include <vector>

#include "host/engine_api.h"

namespace orv::host {

class HostFunctions {
 public:
  explicit HostFunctions(const EngineApi& api);
  ~HostFunctions();
  HostFunctions(const HostFunctions&) = delete;
  HostFunctions& operator=(const HostFunctions&) = delete;

  // StdOut text goes to `capture` when set, else to standard output.
  void capture_output(std::string* capture) { capture_ = capture; }

  // The context and heap of the run about to start.
  void bind(api::Handle context, char* heapBase);
  void unbind();

  // The process exit status the script asked for with ExitCode (0 when none).
  int exit_status() const { return exitStatus_; }

  api::KeywordRecord* table() { return records_.data(); }

 private:
  friend int ORV_CALL host_entry(api::Word, api::Word, std::uint32_t, int, api::AnswerCallback, void*,
                                 api::Word*, api::Operand*, int, api::Value*);
  int call(int function, api::AnswerCallback answer, void* infoBlock, api::Operand* args, int argCount);
  std::string text_of(const api::Value& v) const;
  int answer_int(api::AnswerCallback answer, void* infoBlock, int value);
  int answer_text(api::AnswerCallback answer, void* infoBlock, std::string text);

  const EngineApi& api_;
  std::vector<api::KeywordRecord> records_;
  std::string* capture_ = nullptr;
  api::Handle context_ = nullptr;
  char* heapBase_ = nullptr;
  bool stdinEof_ = false;
  int exitStatus_ = 0;
};

int ORV_CALL host_entry(api::Word ownerWindow, api::Word hostInstance, std::uint32_t signature,
                        int functionNumber, api::AnswerCallback answer, void* infoBlock,
                        api::Word* privateWord, api::Operand* args, int argCount, api::Value* result);

}  // namespace orv::host
