// FileDigest and FileDigestGetKey: the digest of a file of any size, read in
// pieces through the same hashing services as BinaryChecksum; the keyed form
// (HMAC) is what signs a file with a secret that both sides hold.
#include <cctype>
#include <vector>

#include "builtins/files/file_args.h"
#include "builtins/files/files_groups.h"
#include "builtins/files/whole_files.h"
#include "builtins/text/hex.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/digest.h"

namespace orv::files {
// Named, not anonymous: a folder compiles as one unit in the Windows build.
namespace digest_impl {

using platform::DigestKind;
using platform::DigestStream;

constexpr std::uint16_t kBadAlgorithm = 4044, kBadDigestFormat = 4045, kNoHashing = 4052;
constexpr std::size_t kChunk = 1 << 20;

bool algorithm_arg(Call& call, int k, DigestKind& kind) {
  std::string name;
  for (const char* p = str_of(call.c, call.args[static_cast<std::size_t>(k)]); *p; ++p)
    if (*p != '-') name += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  static const std::pair<const char*, DigestKind> kNames[] = {{"MD5", DigestKind::md5},
                                                             {"SHA1", DigestKind::sha1},
                                                             {"SHA256", DigestKind::sha256},
                                                             {"SHA384", DigestKind::sha384},
                                                             {"SHA512", DigestKind::sha512}};
  for (const auto& [text, value] : kNames)
    if (name == text) {
      kind = value;
      return true;
    }
  return fail(call.c, kBadAlgorithm);
}

bool format_arg(Call& call, int k, bool& lower) {
  const int format = call.count >= k ? call.args[static_cast<std::size_t>(k)].i : 0;
  if (format != 0 && format != 1) return fail(call.c, kBadDigestFormat);
  lower = format == 1;
  return true;
}

// Feeds the file to the stream in pieces, so that memory stays small.
bool feed_file(Context& c, InputFile& in, DigestStream& stream) {
  std::vector<std::uint8_t> buffer(kChunk);
  for (;;) {
    std::size_t got = 0;
    if (!in.read(c, buffer.data(), buffer.size(), got)) return false;
    if (got == 0) return true;
    if (!stream.update(buffer.data(), got)) return fail(c, kNoHashing);
  }
}

bool finish(Context& c, DigestStream& stream, std::vector<std::uint8_t>& out) {
  return stream.finish(out) ? true : fail(c, kNoHashing);
}

void set_hex(Call& call, const std::vector<std::uint8_t>& d, bool lower) {
  std::string hex(d.size() * 2, '\0');
  text::hex_encode(d.data(), d.size(), hex.data());
  if (lower)
    for (char& ch : hex) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  set_text(call, hex);
}

void file_digest(Call& call) {
  Context& c = call.c;
  DigestKind kind{};
  bool lower = false;
  if (!algorithm_arg(call, 2, kind) || !format_arg(call, 3, lower)) return;
  InputFile in;
  if (!in.open(c, wide_arg(call, 1), "FileDigest")) return;
  DigestStream stream(kind);
  if (!stream.ready()) { fail(c, kNoHashing); return; }
  std::vector<std::uint8_t> d;
  if (feed_file(c, in, stream) && finish(c, stream, d)) set_hex(call, d, lower);
}

// HMAC: H((K ^ opad) || H((K ^ ipad) || file)), the key first cut to the
// hash's block (a longer key is hashed).
void file_digest_get_key(Call& call) {
  Context& c = call.c;
  DigestKind kind{};
  bool lower = false;
  if (!algorithm_arg(call, 2, kind) || !format_arg(call, 4, lower)) return;
  InputFile in;
  if (!in.open(c, wide_arg(call, 1), "FileDigestGetKey")) return;
  const std::size_t block = platform::digest_block_size(kind);
  const std::string_view keyText = str_of(c, call.args[3]);
  std::vector<std::uint8_t> key(keyText.begin(), keyText.end());
  if (key.size() > block) {
    std::vector<std::uint8_t> shortKey;
    if (!platform::digest(kind, key.data(), key.size(), shortKey)) { fail(c, kNoHashing); return; }
    key = std::move(shortKey);
  }
  key.resize(block, 0);
  std::vector<std::uint8_t> pad(block), inner, outer;
  for (std::size_t i = 0; i < block; ++i) pad[i] = key[i] ^ 0x36;
  DigestStream first(kind);
  if (!first.update(pad.data(), pad.size())) { fail(c, kNoHashing); return; }
  if (!feed_file(c, in, first) || !finish(c, first, inner)) return;
  for (std::size_t i = 0; i < block; ++i) pad[i] = key[i] ^ 0x5C;
  DigestStream second(kind);
  if (!second.update(pad.data(), pad.size()) || !second.update(inner.data(), inner.size())) { fail(c, kNoHashing); return; }
  if (finish(c, second, outer)) set_hex(call, outer, lower);
}

}  // namespace digest_impl

void register_file_digests(HandlerTable& t) {
  t.add(kw::fn_filedigest, digest_impl::file_digest);
  t.add(kw::fn_filedigestgetkey, digest_impl::file_digest_get_key);
}

}  // namespace orv::files
