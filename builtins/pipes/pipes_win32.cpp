// Named pipes in message mode: a server waits for one client per pipe
// handle, a client connects and trades one message for one answer. Every
// wait is overlapped I/O watched in short slices, so messages keep moving,
// the user can stop the script, and a time-out or a vanished peer ends in a
// numbered error instead of a hang.
#include <windows.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "builtins/families.h"
#include "builtins/files/file_args.h"
#include "builtins/pipes/pipe_rules.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "winauto/call_support.h"

namespace orv {
namespace {

using pipes::PipeHandles;

constexpr DWORD kPipeBufferBytes = 4096;
constexpr DWORD kPipeReadChunk = 16384;
constexpr DWORD kPipeSliceMs = 20;
constexpr DWORD kPipeOpenRetryMs = 50;
// PipeServerWrite has no time-out of its own: a client that stops reading
// holds a long message back at most this long.
constexpr std::uint32_t kPipeWriteWaitMs = 30000;

class PipeOsHandle {
 public:
  PipeOsHandle() = default;
  explicit PipeOsHandle(HANDLE h) : h_(h) {}
  ~PipeOsHandle() { reset(); }
  PipeOsHandle(const PipeOsHandle&) = delete;
  PipeOsHandle& operator=(const PipeOsHandle&) = delete;
  void reset(HANDLE h = nullptr) {
    if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    h_ = h;
  }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ && h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_ = nullptr;
};

struct PipeEnd {
  PipeOsHandle pipe;
  PipeOsHandle event;   // signals the end of each overlapped operation
  bool server = false;
  std::u16string path;
};

struct PipeState {
  std::array<std::unique_ptr<PipeEnd>, PipeHandles::kSlots> ends;
};

PipeState& pipe_state(Context& c) {
  if (!c.pipeState) c.pipeState = std::make_shared<PipeState>();
  return *static_cast<PipeState*>(c.pipeState.get());
}

bool pipe_is_broken(DWORD e) {
  return e == ERROR_BROKEN_PIPE || e == ERROR_NO_DATA || e == ERROR_PIPE_NOT_CONNECTED;
}

bool pipe_os_fail(Context& c, DWORD e, const char* call) {
  if (pipe_is_broken(e)) return fail(c, errs::kPipeClosed);
  return files::os_fail(c, errs::kPipeIoFailed, call, e);
}

// The pipe end argument k names; `server` says which side the function is for.
PipeEnd* pipe_arg(Call& call, int k, bool server) {
  const int slot = PipeHandles::slot(strings::arg_int(call, k));
  PipeEnd* end = nullptr;
  if (slot >= 0 && call.c.pipeState) end = pipe_state(call.c).ends[static_cast<std::size_t>(slot)].get();
  if (!end) { fail(call.c, errs::kNotAPipe); return nullptr; }
  if (end->server != server) { fail(call.c, errs::kPipeWrongEnd); return nullptr; }
  return end;
}

PipeEnd* any_pipe_arg(Call& call, int k) {
  const int slot = PipeHandles::slot(strings::arg_int(call, k));
  PipeEnd* end = nullptr;
  if (slot >= 0 && call.c.pipeState) end = pipe_state(call.c).ends[static_cast<std::size_t>(slot)].get();
  if (!end) fail(call.c, errs::kNotAPipe);
  return end;
}

int free_pipe_slot(Context& c) {
  auto& ends = pipe_state(c).ends;
  for (std::size_t i = 0; i < ends.size(); ++i)
    if (!ends[i]) return static_cast<int>(i);
  return -1;
}

// The handle the script gets for a new end in slot `slot`.
void adopt_pipe_end(Call& call, int slot, std::unique_ptr<PipeEnd> end) {
  pipe_state(call.c).ends[static_cast<std::size_t>(slot)] = std::move(end);
  make_int(call.result, PipeHandles::handle(slot));
}

bool pipe_time_left(DWORD start, std::uint32_t timeout, DWORD& left) {
  if (timeout == pipes::kForever) { left = kPipeSliceMs; return true; }
  const DWORD spent = GetTickCount() - start;
  if (spent >= timeout) return false;
  left = std::min<DWORD>(timeout - spent, kPipeSliceMs);
  return true;
}

enum class IoEnd { done, timed_out, stopped, failed };

// Waits for an overlapped operation; `error` holds the system's code when it
// failed (ERROR_MORE_DATA: a message longer than the buffer, more to read).
IoEnd finish_io(Context& c, PipeEnd& end, OVERLAPPED& ov, std::uint32_t timeout, DWORD& bytes, DWORD& error) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (GetOverlappedResult(end.pipe.get(), &ov, &bytes, FALSE)) { error = 0; return IoEnd::done; }
    error = GetLastError();
    if (error != ERROR_IO_INCOMPLETE) return IoEnd::failed;
    DWORD left = 0;
    const bool stop = winauto::stop_requested(c);
    if (stop || !pipe_time_left(start, timeout, left)) {
      CancelIoEx(end.pipe.get(), &ov);
      GetOverlappedResult(end.pipe.get(), &ov, &bytes, TRUE);
      return stop ? IoEnd::stopped : IoEnd::timed_out;
    }
    WaitForSingleObject(ov.hEvent, left);
  }
}

// Starts an operation and sees it to its end. False with the error set (or,
// when the user stopped the script, with the stop request pending).
template <class Start>
bool run_io(Context& c, PipeEnd& end, std::uint32_t timeout, const char* what, Start start, DWORD& bytes,
            DWORD& error) {
  OVERLAPPED ov{};
  ov.hEvent = end.event.get();
  ResetEvent(ov.hEvent);
  bytes = 0;
  error = 0;
  if (!start(ov)) {
    error = GetLastError();
    if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) return pipe_os_fail(c, error, what);
    if (error == ERROR_MORE_DATA) {
      GetOverlappedResult(end.pipe.get(), &ov, &bytes, FALSE);
      return true;
    }
  }
  switch (finish_io(c, end, ov, timeout, bytes, error)) {
    case IoEnd::done: return true;
    case IoEnd::timed_out: return fail(c, errs::kPipeTimedOut);
    case IoEnd::stopped: return false;
    case IoEnd::failed:
      if (error == ERROR_MORE_DATA) return true;
      return pipe_os_fail(c, error, what);
  }
  return false;
}

bool read_message(Context& c, PipeEnd& end, std::uint32_t timeout, std::string& out) {
  out.clear();
  std::vector<char> chunk(kPipeReadChunk);
  for (;;) {
    DWORD got = 0, error = 0;
    const bool ok = run_io(c, end, timeout, "ReadFile", [&](OVERLAPPED& ov) {
      return ReadFile(end.pipe.get(), chunk.data(), kPipeReadChunk, nullptr, &ov) != 0;
    }, got, error);
    if (!ok) return false;
    if (out.size() + got > pipes::kMaxMessageBytes) return fail(c, errs::kPipeMessageTooLarge);
    out.append(chunk.data(), got);
    if (error != ERROR_MORE_DATA) return true;
  }
}

bool write_message(Context& c, PipeEnd& end, std::uint32_t timeout, const std::string& bytes) {
  if (bytes.size() > pipes::kMaxMessageBytes) return fail(c, errs::kPipeMessageTooLarge);
  DWORD put = 0, error = 0;
  const bool ok = run_io(c, end, timeout, "WriteFile", [&](OVERLAPPED& ov) {
    return WriteFile(end.pipe.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &ov) != 0;
  }, put, error);
  if (!ok) return false;
  if (put != bytes.size()) return pipe_os_fail(c, ERROR_WRITE_FAULT, "WriteFile");
  return true;
}

// Argument k as a message: UTF-16 in a wide call, else 8-bit text.
std::string message_arg(const Call& call, int k) {
  if (call.wide) return pipes::encode_message(strings::arg_text<char16_t>(call, k));
  return pipes::encode_message(strings::arg_text<char>(call, k));
}

// Answers a message in the width it was written in.
void message_result(Call& call, const std::string& bytes) {
  const pipes::MessageText text = pipes::decode_message(bytes);
  if (text.wide) strings::set_result(call, std::u16string_view(text.utf16));
  else strings::set_result(call, std::string_view(text.narrow));
}

std::unique_ptr<PipeEnd> new_pipe_end(Context& c, bool server, std::u16string path) {
  auto end = std::make_unique<PipeEnd>();
  end->server = server;
  end->path = std::move(path);
  end->event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!end->event.get()) {
    files::os_fail(c, errs::kPipeOpenFailed, "CreateEvent", GetLastError());
    return nullptr;
  }
  return end;
}

bool pipe_name_arg(Call& call, int k, pipes::PipeName& out) {
  auto name = pipes::parse_pipe_name(files::wide_arg(call, k));
  if (!name) return fail(call.c, errs::kBadPipeName);
  out = *name;
  return true;
}

// PipeServerCreate(name, timeout): a new instance of the pipe, and a wait
// for its client. No client within the time-out answers 0.
void pipe_server_create(Call& call) {
  Context& c = call.c;
  pipes::PipeName name;
  if (!pipe_name_arg(call, 1, name)) return;
  if (!name.local()) { fail(c, errs::kBadPipeName); return; }
  const int slot = free_pipe_slot(c);
  if (slot < 0) { fail(c, errs::kTooManyPipes); return; }
  auto end = new_pipe_end(c, true, name.path());
  if (!end) return;
  end->pipe.reset(CreateNamedPipeW(reinterpret_cast<LPCWSTR>(end->path.c_str()),
                                   PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                                   kPipeBufferBytes, kPipeBufferBytes, 0, nullptr));
  if (!end->pipe.valid()) { files::os_fail(c, errs::kPipeOpenFailed, "CreateNamedPipe", GetLastError()); return; }
  DWORD bytes = 0, error = 0;
  const bool ok = run_io(c, *end, pipes::timeout_ms(strings::arg_int(call, 2)), "ConnectNamedPipe",
                         [&](OVERLAPPED& ov) {
                           if (ConnectNamedPipe(end->pipe.get(), &ov)) return true;
                           // A client that came between create and connect.
                           if (GetLastError() == ERROR_PIPE_CONNECTED) { SetEvent(ov.hEvent); return true; }
                           return false;
                         }, bytes, error);
  if (!ok) {
    // Nobody came: an answer of 0, not an error.
    if (c.error == errs::kPipeTimedOut) {
      c.error = 0;
      c.errorText.clear();
    }
    return;
  }
  adopt_pipe_end(call, slot, std::move(end));
}

// PipeClientOpen(name, timeout): tries until a server instance is free.
// No server within the time-out answers 0.
void pipe_client_open(Call& call) {
  Context& c = call.c;
  pipes::PipeName name;
  if (!pipe_name_arg(call, 1, name)) return;
  const int slot = free_pipe_slot(c);
  if (slot < 0) { fail(c, errs::kTooManyPipes); return; }
  auto end = new_pipe_end(c, false, name.path());
  if (!end) return;
  const std::uint32_t timeout = pipes::timeout_ms(strings::arg_int(call, 2));
  const DWORD start = GetTickCount();
  for (;;) {
    end->pipe.reset(CreateFileW(reinterpret_cast<LPCWSTR>(end->path.c_str()), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (end->pipe.valid()) break;
    const DWORD e = GetLastError();
    end->pipe.reset();
    if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PIPE_BUSY) {
      files::os_fail(c, errs::kPipeOpenFailed, "CreateFile", e);
      return;
    }
    DWORD left = 0;
    if (!pipe_time_left(start, timeout, left)) return;   // nobody there: 0
    if (!winauto::pumping_wait(c, timeout == pipes::kForever ? kPipeOpenRetryMs
                                                             : std::min<DWORD>(kPipeOpenRetryMs, timeout - (GetTickCount() - start))))
      return;
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!SetNamedPipeHandleState(end->pipe.get(), &mode, nullptr, nullptr)) {
    files::os_fail(c, errs::kPipeOpenFailed, "SetNamedPipeHandleState", GetLastError());
    return;
  }
  adopt_pipe_end(call, slot, std::move(end));
}

void pipe_server_read(Call& call) {
  PipeEnd* end = pipe_arg(call, 1, true);
  if (!end) return;
  std::string bytes;
  if (!read_message(call.c, *end, pipes::timeout_ms(strings::arg_int(call, 2)), bytes)) return;
  message_result(call, bytes);
}

void pipe_server_write(Call& call) {
  PipeEnd* end = pipe_arg(call, 1, true);
  if (!end) return;
  if (!write_message(call.c, *end, kPipeWriteWaitMs, message_arg(call, 2))) return;
  make_int(call.result, 1);
}

void pipe_client_send_recv(Call& call) {
  PipeEnd* end = pipe_arg(call, 1, false);
  if (!end) return;
  const std::uint32_t timeout = pipes::timeout_ms(strings::arg_int(call, 3));
  if (!write_message(call.c, *end, timeout, message_arg(call, 2))) return;
  std::string answer;
  if (!read_message(call.c, *end, timeout, answer)) return;
  message_result(call, answer);
}

void release_pipe_slot(Call& call) {
  pipe_state(call.c).ends[static_cast<std::size_t>(PipeHandles::slot(strings::arg_int(call, 1)))].reset();
  make_int(call.result, 1);
}

// True while the other end still has the pipe open.
bool pipe_peer_present(PipeEnd& end) {
  DWORD avail = 0;
  if (PeekNamedPipe(end.pipe.get(), nullptr, 0, nullptr, &avail, nullptr)) return true;
  return !pipe_is_broken(GetLastError());
}

// PipeServerClose(h, timeout): gives the client up to the time-out to take
// what was written and close its end, then disconnects.
void pipe_server_close(Call& call) {
  PipeEnd* end = pipe_arg(call, 1, true);
  if (!end) return;
  const std::uint32_t timeout = pipes::timeout_ms(strings::arg_int(call, 2));
  const DWORD start = GetTickCount();
  DWORD left = 0;
  while (pipe_peer_present(*end) && pipe_time_left(start, timeout, left))
    if (!winauto::pumping_wait(call.c, left)) break;
  DisconnectNamedPipe(end->pipe.get());
  release_pipe_slot(call);
}

void pipe_client_close(Call& call) {
  if (!pipe_arg(call, 1, false)) return;
  release_pipe_slot(call);
}

void pipe_info(Call& call) {
  const auto request = pipes::info_request(strings::arg_int(call, 1));
  if (!request) { fail(call.c, errs::kPipeInfoBadRequest); return; }
  PipeEnd* end = any_pipe_arg(call, 2);
  if (!end) return;
  switch (*request) {
    case pipes::InfoRequest::side: make_int(call.result, end->server ? 1 : 2); return;
    case pipes::InfoRequest::state: make_int(call.result, pipe_peer_present(*end) ? 1 : 0); return;
    case pipes::InfoRequest::peer_process: {
      ULONG pid = 0;
      const BOOL ok = end->server ? GetNamedPipeClientProcessId(end->pipe.get(), &pid)
                                  : GetNamedPipeServerProcessId(end->pipe.get(), &pid);
      make_int(call.result, ok ? static_cast<std::int32_t>(pid) : 0);
      return;
    }
    case pipes::InfoRequest::name: files::set_text(call, std::u16string_view(end->path)); return;
  }
}

}  // namespace

void register_pipe_functions(HandlerTable& t) {
  t.add(kw::fn_pipeservercreate, pipe_server_create);
  t.add(kw::fn_pipeserverread, pipe_server_read);
  t.add(kw::fn_pipeserverwrite, pipe_server_write);
  t.add(kw::fn_pipeserverclose, pipe_server_close);
  t.add(kw::fn_pipeclientopen, pipe_client_open);
  t.add(kw::fn_pipeclientsendrecvdata, pipe_client_send_recv);
  t.add(kw::fn_pipeclientclose, pipe_client_close);
  t.add(kw::fn_pipeinfo, pipe_info);
}

}  // namespace orv
