// Message digests by the system's hashing services (native: a crypto library).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orv::platform {

enum class DigestKind { md5, sha1, sha256 };

// The digest of n bytes; false when the service is not available.
bool digest(DigestKind kind, const void* data, std::size_t n, std::vector<std::uint8_t>& out);

}  // namespace orv::platform
