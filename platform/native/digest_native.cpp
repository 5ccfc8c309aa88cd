#include <nettle/md5.h>
#include <nettle/sha1.h>
#include <nettle/sha2.h>

#include "platform/digest.h"

namespace orv::platform {
namespace {

// nettle's update takes a size_t length, so any buffer goes in one call.
template <class Ctx, void (*Init)(Ctx*), void (*Update)(Ctx*, size_t, const uint8_t*),
          void (*Final)(Ctx*, size_t, uint8_t*), std::size_t Size>
void run(const void* data, std::size_t n, std::vector<std::uint8_t>& out) {
  Ctx ctx;
  Init(&ctx);
  if (n) Update(&ctx, n, static_cast<const uint8_t*>(data));
  out.assign(Size, 0);
  Final(&ctx, Size, out.data());
}

}  // namespace

bool digest(DigestKind kind, const void* data, std::size_t n, std::vector<std::uint8_t>& out) {
  switch (kind) {
    case DigestKind::md5: run<md5_ctx, md5_init, md5_update, md5_digest, MD5_DIGEST_SIZE>(data, n, out); return true;
    case DigestKind::sha1: run<sha1_ctx, sha1_init, sha1_update, sha1_digest, SHA1_DIGEST_SIZE>(data, n, out); return true;
    case DigestKind::sha256:
      run<sha256_ctx, sha256_init, sha256_update, sha256_digest, SHA256_DIGEST_SIZE>(data, n, out);
      return true;
  }
  return false;
}

}  // namespace orv::platform
