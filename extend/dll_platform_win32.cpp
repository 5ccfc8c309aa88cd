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
4:  popl  %edi
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

void* find_entry(ModuleHandle module, const std::string& name, std::uint16_t ordinal) {
  const char* key = name.empty() ? MAKEINTRESOURCEA(ordinal) : name.c_str();
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), key));
}

void invoke(void* entry, const std::uint32_t* words, int count, bool cdeclCall, bool floatResult, CallResult& out) {
  SetLastError(0);
  orv_dll_invoke(entry, words, count, (cdeclCall ? 1 : 0) | (floatResult ? 2 : 0), &out);
  out.lastError = GetLastError();
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
