// Digests through the CNG hashing library, loaded on first use so that the
// DLL still starts where it is missing.
#include <windows.h>

#include "platform/digest.h"

namespace orv::platform {
namespace {

using Handle = void*;
using OpenFn = LONG(WINAPI*)(Handle*, LPCWSTR, LPCWSTR, ULONG);
using CloseFn = LONG(WINAPI*)(Handle, ULONG);
using CreateFn = LONG(WINAPI*)(Handle, Handle*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
using DataFn = LONG(WINAPI*)(Handle, PUCHAR, ULONG, ULONG);
using FinishFn = LONG(WINAPI*)(Handle, PUCHAR, ULONG, ULONG);
using DestroyFn = LONG(WINAPI*)(Handle);

struct Cng {
  OpenFn open = nullptr;
  CloseFn close = nullptr;
  CreateFn create = nullptr;
  DataFn data = nullptr;
  FinishFn finish = nullptr;
  DestroyFn destroy = nullptr;
  bool ready() const { return open && close && create && data && finish && destroy; }
};

template <class Fn>
Fn entry(HMODULE m, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

const Cng& cng() {
  static const Cng lib = [] {
    Cng c;
    HMODULE m = LoadLibraryW(L"bcrypt.dll");
    if (!m) return c;
    c.open = entry<OpenFn>(m, "BCryptOpenAlgorithmProvider");
    c.close = entry<CloseFn>(m, "BCryptCloseAlgorithmProvider");
    c.create = entry<CreateFn>(m, "BCryptCreateHash");
    c.data = entry<DataFn>(m, "BCryptHashData");
    c.finish = entry<FinishFn>(m, "BCryptFinishHash");
    c.destroy = entry<DestroyFn>(m, "BCryptDestroyHash");
    return c;
  }();
  return lib;
}

}  // namespace

bool digest(DigestKind kind, const void* data, std::size_t n, std::vector<std::uint8_t>& out) {
  const Cng& c = cng();
  if (!c.ready()) return false;
  const wchar_t* name = kind == DigestKind::md5 ? L"MD5" : kind == DigestKind::sha1 ? L"SHA1" : L"SHA256";
  const ULONG size = kind == DigestKind::md5 ? 16 : kind == DigestKind::sha1 ? 20 : 32;
  Handle alg = nullptr, hash = nullptr;
  if (c.open(&alg, name, nullptr, 0) < 0) return false;
  bool ok = c.create(alg, &hash, nullptr, 0, nullptr, 0, 0) >= 0;
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t left = n; ok && left > 0;) {
    const ULONG chunk = left > 0x40000000u ? 0x40000000u : static_cast<ULONG>(left);
    ok = c.data(hash, const_cast<PUCHAR>(p), chunk, 0) >= 0;
    p += chunk;
    left -= chunk;
  }
  if (ok) {
    out.assign(size, 0);
    ok = c.finish(hash, out.data(), size, 0) >= 0;
  }
  if (hash) c.destroy(hash);
  c.close(alg, 0);
  return ok;
}

}  // namespace orv::platform
