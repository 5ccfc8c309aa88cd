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

std::size_t digest_size(DigestKind kind) {
  switch (kind) {
    case DigestKind::md5: return 16;
    case DigestKind::sha1: return 20;
    case DigestKind::sha256: return 32;
    case DigestKind::sha384: return 48;
    case DigestKind::sha512: return 64;
  }
  return 0;
}

std::size_t digest_block_size(DigestKind kind) {
  return kind == DigestKind::sha384 || kind == DigestKind::sha512 ? 128 : 64;
}

struct DigestStream::State {
  Handle alg = nullptr, hash = nullptr;
  ~State() {
    if (hash) cng().destroy(hash);
    if (alg) cng().close(alg, 0);
  }
};

DigestStream::DigestStream(DigestKind kind) : kind_(kind) {
  const Cng& c = cng();
  if (!c.ready()) return;
  static constexpr const wchar_t* kNames[] = {L"MD5", L"SHA1", L"SHA256", L"SHA384", L"SHA512"};
  auto s = std::make_unique<State>();
  if (c.open(&s->alg, kNames[static_cast<int>(kind)], nullptr, 0) < 0) {
    s->alg = nullptr;
    return;
  }
  if (c.create(s->alg, &s->hash, nullptr, 0, nullptr, 0, 0) < 0) {
    s->hash = nullptr;
    return;
  }
  state_ = std::move(s);
}

DigestStream::~DigestStream() = default;

bool DigestStream::update(const void* data, std::size_t n) {
  if (!state_) return false;
  const auto* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    const ULONG chunk = n > 0x40000000u ? 0x40000000u : static_cast<ULONG>(n);
    if (cng().data(state_->hash, const_cast<PUCHAR>(p), chunk, 0) < 0) return false;
    p += chunk;
    n -= chunk;
  }
  return true;
}

bool DigestStream::finish(std::vector<std::uint8_t>& out) {
  if (!state_) return false;
  out.assign(digest_size(kind_), 0);
  const bool ok = cng().finish(state_->hash, out.data(), static_cast<ULONG>(out.size()), 0) >= 0;
  state_.reset();
  return ok;
}

bool digest(DigestKind kind, const void* data, std::size_t n, std::vector<std::uint8_t>& out) {
  DigestStream s(kind);
  return s.update(data, n) && s.finish(out);
}

}  // namespace orv::platform
