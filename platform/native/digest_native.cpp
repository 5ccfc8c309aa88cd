#include <nettle/md5.h>
#include <nettle/sha1.h>
#include <nettle/sha2.h>

#include "platform/digest.h"

namespace orv::platform {

struct DigestStream::State {
  union {
    md5_ctx md5;
    sha1_ctx sha1;
    sha256_ctx sha256;
    sha512_ctx sha512;   // SHA-384 shares this context
  } u;
};

std::size_t digest_size(DigestKind kind) {
  switch (kind) {
    case DigestKind::md5: return MD5_DIGEST_SIZE;
    case DigestKind::sha1: return SHA1_DIGEST_SIZE;
    case DigestKind::sha256: return SHA256_DIGEST_SIZE;
    case DigestKind::sha384: return SHA384_DIGEST_SIZE;
    case DigestKind::sha512: return SHA512_DIGEST_SIZE;
  }
  return 0;
}

std::size_t digest_block_size(DigestKind kind) {
  return kind == DigestKind::sha384 || kind == DigestKind::sha512 ? 128 : 64;
}

DigestStream::DigestStream(DigestKind kind) : state_(std::make_unique<State>()), kind_(kind) {
  switch (kind) {
    case DigestKind::md5: md5_init(&state_->u.md5); break;
    case DigestKind::sha1: sha1_init(&state_->u.sha1); break;
    case DigestKind::sha256: sha256_init(&state_->u.sha256); break;
    case DigestKind::sha384: sha384_init(&state_->u.sha512); break;
    case DigestKind::sha512: sha512_init(&state_->u.sha512); break;
  }
}

DigestStream::~DigestStream() = default;

// nettle's update takes a size_t length, so any buffer goes in one call.
bool DigestStream::update(const void* data, std::size_t n) {
  if (!state_) return false;
  if (n == 0) return true;
  const auto* p = static_cast<const uint8_t*>(data);
  switch (kind_) {
    case DigestKind::md5: md5_update(&state_->u.md5, n, p); break;
    case DigestKind::sha1: sha1_update(&state_->u.sha1, n, p); break;
    case DigestKind::sha256: sha256_update(&state_->u.sha256, n, p); break;
    case DigestKind::sha384: sha384_update(&state_->u.sha512, n, p); break;
    case DigestKind::sha512: sha512_update(&state_->u.sha512, n, p); break;
  }
  return true;
}

bool DigestStream::finish(std::vector<std::uint8_t>& out) {
  if (!state_) return false;
  out.assign(digest_size(kind_), 0);
  switch (kind_) {
    case DigestKind::md5: md5_digest(&state_->u.md5, out.size(), out.data()); break;
    case DigestKind::sha1: sha1_digest(&state_->u.sha1, out.size(), out.data()); break;
    case DigestKind::sha256: sha256_digest(&state_->u.sha256, out.size(), out.data()); break;
    case DigestKind::sha384: sha384_digest(&state_->u.sha512, out.size(), out.data()); break;
    case DigestKind::sha512: sha512_digest(&state_->u.sha512, out.size(), out.data()); break;
  }
  state_.reset();
  return true;
}

bool digest(DigestKind kind, const void* data, std::size_t n, std::vector<std::uint8_t>& out) {
  DigestStream s(kind);
  return s.update(data, n) && s.finish(out);
}

}  // namespace orv::platform
