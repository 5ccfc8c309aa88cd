// Message digests by the system's hashing services (native: a crypto library).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace orv::platform {

enum class DigestKind { md5, sha1, sha256, sha384, sha512 };

// Bytes of the digest, and of the block the hash works in (HMAC pads keys to it).
std::size_t digest_size(DigestKind kind);
std::size_t digest_block_size(DigestKind kind);

// A digest fed piece by piece, so that data of any size passes through a
// small buffer. ready() is false when the service is not available.
class DigestStream {
 public:
  explicit DigestStream(DigestKind kind);
  ~DigestStream();
  DigestStream(const DigestStream&) = delete;
  DigestStream& operator=(const DigestStream&) = delete;
  bool ready() const { return state_ != nullptr; }
  bool update(const void* data, std::size_t n);
  // The digest of everything fed; the stream is used up.
  bool finish(std::vector<std::uint8_t>& out);

 private:
  struct State;
  std::unique_ptr<State> state_;
  DigestKind kind_;
};

// The digest of n bytes; false when the service is not available.
bool digest(DigestKind kind, const void* data, std::size_t n, std::vector<std::uint8_t>& out);

}  // namespace orv::platform
