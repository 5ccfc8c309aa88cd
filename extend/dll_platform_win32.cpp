// The Windows back end of DllCall: modules, the call with its argument words
// and the callback thunks. The only assembly of the interpreter lives here.
#include <windows.h>

#include <cstring>

#include "extend/dll_platform.h"

// The callback dispatcher's C++ half lives in callbacks.cpp.
extern "C" {
void orv_dll_invoke(void* entry, const std::uint32_t* words, int count, int flags, orv::dll::CallResult* out);
void orv_callback_dispatch();
void orv_callback_entry(void* record, const std::uint32_t* args, orv::dll::CallbackReturn* ret);
std::uint32_t orv_guarded_call(void (*fn)(void*), void* arg);
[[noreturn]] void orv_guard_resume(void* frame, EXCEPTION_RECORD* record);
EXCEPTION_DISPOSITION orv_guard_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*);
}

// The fault guard. orv_guarded_call(fn, arg) runs fn(arg) with an exception
// registration record of its own on the thread's handler chain, so the called
// code's own handlers still see their exceptions first (a DLL that probes
// memory under its own guard keeps working); only a fault nobody below us
// handles reaches orv_guard_handler. That one unwinds the frames in between
// (their cleanup handlers run), puts the stack, the frame pointer and the
// FPU back as they were when the guard was entered, and returns the
// exception code from orv_guarded_call (0 when fn returned normally).
//
// Frame of orv_guarded_call, relative to %ebp:
//   -12..-4  saved %edi %esi %ebx      -16 FPU control word   -20 MXCSR
//   -36      registration record: previous (-36), handler (-32),
//            the guard's %ebp (-28), spare (-24)
asm(R"(
    .text
    .globl _orv_guarded_call
_orv_guarded_call:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl  $8, %esp
    fnstcw -16(%ebp)
    stmxcsr -20(%ebp)
    pushl $0
    pushl %ebp
    pushl $_orv_guard_handler
    pushl %fs:0
    movl  %esp, %fs:0
    pushl 12(%ebp)
    call  *8(%ebp)
    xorl  %eax, %eax
_orv_guard_landing:
    leal  -36(%ebp), %esp
    popl  %fs:0               # unlink our record
    leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret

# orv_guard_resume(frame, exception record): never returns.
    .globl _orv_guard_resume
_orv_guard_resume:
    pushl $0                  # return value
    pushl 12(%esp)            # exception record
    pushl $0                  # target address: come back here
    pushl 16(%esp)            # target frame: ours
    call  _RtlUnwind@16
    movl  8(%esp), %ecx       # the exception record (RtlUnwind may have used any register)
    movl  (%ecx), %eax        # its code is orv_guarded_call's result
    movl  4(%esp), %ecx       # our registration record
    movl  8(%ecx), %ebp
    fninit                    # drop whatever the faulting code left on the FPU stack
    fldcw -16(%ebp)
    ldmxcsr -20(%ebp)
    cld
    jmp   _orv_guard_landing
)");

// Where the last caught fault happened (the guard itself returns only the code).
static thread_local std::uint32_t tFaultAddress = 0;

extern "C" EXCEPTION_DISPOSITION orv_guard_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
  constexpr DWORD kUnwinding = 0x2 | 0x4;   // an unwind passing through, not a fault for us
  if (record->ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
  tFaultAddress = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(record->ExceptionAddress));
  orv_guard_resume(frame, record);
}

// orv_dll_invoke(entry, words, count, flags, out), cdecl.
// flags bit 0: cdecl callee (nothing to compare), bit 1: the result is in st(0).
// The words are the memory image of the argument list, so they are pushed from
// the last to the first. %ebx keeps the stack pointer from before the pushes:
// whatever the callee pops, the stack is put back from it, and the value the
// callee left is reported so that a wrong type list is caught, not fatal.
static_assert(offsetof(orv::dll::CallResult, eax) == 0 && offsetof(orv::dll::CallResult, edx) == 4 &&
              offsetof(orv::dll::CallResult, st0) == 8 && offsetof(orv::dll::CallResult, spBefore) == 16 &&
              offsetof(orv::dll::CallResult, spAfter) == 20 && offsetof(orv::dll::CallResult, lastError) == 24);
asm(R"(
    .text
    .globl _orv_dll_invoke
_orv_dll_invoke:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  %esp, %ebx          # the stack as it must be after the call
    movl  12(%ebp), %esi      # words
    movl  16(%ebp), %ecx      # count
1:  testl %ecx, %ecx
    jz    2f
    decl  %ecx
    pushl (%esi,%ecx,4)
    jmp   1b
2:  movl  8(%ebp), %eax
    call  *%eax
    movl  %esp, %edi          # what the callee left
    movl  %ebx, %esp          # survive any callee
    movl  24(%ebp), %ecx      # out
    movl  %eax, 0(%ecx)
    movl  %edx, 4(%ecx)
    movl  %ebx, 16(%ecx)
    testl $1, 20(%ebp)
    jz    3f
    movl  %ebx, %edi          # the caller pops: nothing to compare
3:  movl  %edi, 20(%ecx)
    testl $2, 20(%ebp)
    jz    4f
    fstpl 8(%ecx)
4:  ffree %st(0)              # a result left on the FPU stack by a mis-declared return type
    ffree %st(1)              # (or by a careless callee) would make later float arithmetic
    ffree %st(2)              # overflow the stack; the control word stays as the callee set it
    ffree %st(3)
    ffree %st(4)
    ffree %st(5)
    ffree %st(6)
    ffree %st(7)
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret

# Reached from a thunk with the callback record in %eax and the DLL's return
# address at (%esp). Calls orv_callback_entry(record, args, &ret), then
# returns the way the record says: popping its argument bytes (stdcall) or
# not (cdecl). The return address and saved %ebp are moved up over the popped
# bytes so that one "ret" serves every count.
    .globl _orv_callback_dispatch
_orv_callback_dispatch:
    pushl %ebp
    movl  %esp, %ebp
    subl  $24, %esp           # CallbackReturn at -24(%ebp)
    leal  -24(%ebp), %ecx
    pushl %ecx
    leal  8(%ebp), %ecx
    pushl %ecx
    pushl %eax
    call  _orv_callback_entry
    addl  $12, %esp
    movl  -8(%ebp), %ecx      # bytes to pop
    movl  4(%ebp), %eax
    movl  %eax, 4(%ebp,%ecx)
    movl  0(%ebp), %eax
    movl  %eax, 0(%ebp,%ecx)
    cmpl  $0, -4(%ebp)
    je    5f
    fldl  -16(%ebp)
5:  movl  -24(%ebp), %eax
    movl  -20(%ebp), %edx
    leal  (%ebp,%ecx), %esp
    popl  %ebp
    ret
)");

namespace orv::dll {

ModuleHandle load_module(const std::string& file, std::uint32_t& osError) {
  const UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE m = LoadLibraryA(file.c_str());
  osError = m ? 0 : GetLastError();
  SetErrorMode(old);
  return reinterpret_cast<ModuleHandle>(m);
}

void free_module(ModuleHandle module) {
  if (module) FreeLibrary(static_cast<HMODULE>(module));
}

ModuleHandle loaded_module(const std::string& name) {
  HMODULE m = nullptr;
  if (!name.empty()) return reinterpret_cast<ModuleHandle>(GetModuleHandleA(name.c_str()));
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&loaded_module), &m);
  return reinterpret_cast<ModuleHandle>(m);
}

void* find_entry(ModuleHandle module, const std::string& name, std::uint16_t ordinal) {
  const char* key = name.empty() ? MAKEINTRESOURCEA(ordinal) : name.c_str();
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), key));
}

namespace {

struct InvokeArgs {
  void* entry;
  const std::uint32_t* words;
  int count;
  int flags;
  CallResult* out;
};

void run_invoke(void* p) {
  auto* a = static_cast<InvokeArgs*>(p);
  orv_dll_invoke(a->entry, a->words, a->count, a->flags, a->out);
}

// An overflow of the stack inside called code uses up the guard page at the
// stack's bottom: the system turns it into an ordinary page to report the
// overflow. Without a guard the next overflow cannot be reported and ends the
// process, so once the faulting frames are unwound the lowest committed page
// of the stack becomes the guard again, unless a guard is still in place.
// Only pages well below our own frame are touched.
void restore_stack_guard() {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::uintptr_t page = system.dwPageSize;
  volatile char here = 0;
  MEMORY_BASIC_INFORMATION info{};
  if (!VirtualQuery(const_cast<char*>(&here), &info, sizeof info)) return;
  const std::uintptr_t ceiling = (reinterpret_cast<std::uintptr_t>(&here) & ~(page - 1)) - 2 * page;
  auto p = reinterpret_cast<std::uintptr_t>(info.AllocationBase);
  while (p < ceiling && VirtualQuery(reinterpret_cast<void*>(p), &info, sizeof info)) {
    if (info.State == MEM_COMMIT && (info.Protect & PAGE_GUARD)) return;
    if (info.State == MEM_COMMIT && !(info.Protect & PAGE_NOACCESS)) {
      DWORD old = 0;
      VirtualProtect(reinterpret_cast<void*>(p), page, PAGE_READWRITE | PAGE_GUARD, &old);
      return;
    }
    p = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
  }
}

}  // namespace

void invoke(void* entry, const std::uint32_t* words, int count, bool cdeclCall, bool floatResult, CallResult& out) {
  InvokeArgs a{entry, words, count, (cdeclCall ? 1 : 0) | (floatResult ? 2 : 0), &out};
  out = CallResult{};
  SetLastError(0);
  tFaultAddress = 0;
  const std::uint32_t code = orv_guarded_call(run_invoke, &a);
  out.lastError = GetLastError();
  if (code) {
    // Whatever the system called it (an overflow may be reported as another
    // fault), the guard is checked: a stack without one is the next crash.
    restore_stack_guard();
    const Fault f{code, tFaultAddress};
    out = CallResult{};
    out.fault = f;
  }
}

int call_entry_words(void* entry, const std::uintptr_t* words, int count, CallResult& out) {
  std::uint32_t w[12] = {};
  if (count < 0 || count > 12) return 0;
  for (int k = 0; k < count; ++k) w[k] = static_cast<std::uint32_t>(words[k]);
  invoke(entry, w, count, false, false, out);
  return static_cast<int>(out.eax);
}

Thunk::~Thunk() {
  if (code_) VirtualFree(code_, 0, MEM_RELEASE);
}

bool Thunk::make(void* record) {
  auto* code = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 12, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  if (!code) return false;
  const auto recordWord = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(record));
  const auto target = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&orv_callback_dispatch));
  code[0] = 0xB8;                         // mov eax, record
  std::memcpy(code + 1, &recordWord, 4);
  code[5] = 0xB9;                         // mov ecx, dispatcher
  std::memcpy(code + 6, &target, 4);
  code[10] = 0xFF;                        // jmp ecx
  code[11] = 0xE1;
  FlushInstructionCache(GetCurrentProcess(), code, 12);
  code_ = code;
  return true;
}

bool attach_window_station(std::uintptr_t station, std::uintptr_t& previous) {
  HWINSTA own = GetProcessWindowStation();
  if (!own || !SetProcessWindowStation(reinterpret_cast<HWINSTA>(station))) return false;
  previous = reinterpret_cast<std::uintptr_t>(own);
  return true;
}

void restore_window_station(std::uintptr_t previous, std::uintptr_t attached) {
  if (previous) SetProcessWindowStation(reinterpret_cast<HWINSTA>(previous));
  if (attached && attached != previous) CloseWindowStation(reinterpret_cast<HWINSTA>(attached));
}

bool readable(const void* address, std::size_t bytes) {
  auto p = static_cast<const std::uint8_t*>(address);
  const std::uint8_t* end = p + bytes;
  while (p < end) {
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(p, &info, sizeof info) || info.State != MEM_COMMIT) return false;
    if (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) return false;
    p = static_cast<const std::uint8_t*>(info.BaseAddress) + info.RegionSize;
  }
  return bytes == 0 || address != nullptr;
}

std::uint32_t current_thread() { return GetCurrentThreadId(); }

}  // namespace orv::dll
