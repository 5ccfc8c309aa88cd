// FileAttrGet/Set, DirAttrGet/Set and their Ex forms: attributes as "RASH"
// letters or as the file system's bits. The file forms refuse folders and
// the folder forms refuse files.
#include "builtins/files/attribute_rules.h"
#include "builtins/files/file_args.h"
#include "builtins/files/files_groups.h"
#include "builtins/files/name_rules.h"
#include "builtins/files/source_list.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/files.h"

namespace orv::files {
namespace {

namespace pf = platform::files;

struct Kind {
  bool folder;
  std::uint16_t getMissing, setMissing;
};
constexpr Kind kFile{false, errs::kFileAttrGetNotFound, errs::kFileAttrSetNotFound};
constexpr Kind kFolder{true, errs::kDirAttrGetNotFound, errs::kDirAttrSetNotFound};

// The attributes of a path of the right kind; false with `missing` set.
bool attributes_of(Context& c, const std::u16string& path, const Kind& kind, std::uint16_t missing, std::uint32_t& out) {
  out = pf::attributes(path);
  if (out == pf::kNoAttributes || ((out & pf::kDirectory) != 0) != kind.folder) return fail(c, missing);
  return true;
}

template <const Kind& K>
bool get_bits(Call& call, std::uint32_t& bits) {
  std::u16string path;
  return full_path(call.c, wide_arg(call, 1), path) && attributes_of(call.c, path, K, K.getMissing, bits);
}

template <const Kind& K>
void attr_get(Call& call) {
  std::uint32_t bits = 0;
  if (get_bits<K>(call, bits)) set_text(call, attribute_text(bits));
}

template <const Kind& K>
void attr_get_ex(Call& call) {
  std::uint32_t bits = 0;
  if (get_bits<K>(call, bits)) make_int(call.result, static_cast<std::int32_t>(bits));
}

// Applies new attributes to every path of the list.
template <const Kind& K, class NewBits>
bool set_each(Call& call, NewBits&& next) {
  Context& c = call.c;
  auto one = [&](const std::u16string& path) {
    std::uint32_t bits = 0, err = 0;
    if (!attributes_of(c, path, K, K.setMissing, bits)) return false;
    if (!pf::set_attributes(path, next(bits) & ~pf::kDirectory, err)) return fail(c, K.setMissing);
    return true;
  };
  if (!K.folder) return for_each_source(c, wide_arg(call, 1), {}, one);
  const auto items = split_source_list(wide_arg(call, 1));
  if (!items) return fail(c, errs::kUnrecognizedItem);
  for (const std::u16string& item : *items) {
    std::u16string path;
    if (!full_path(c, item, path) || !one(path)) return false;
  }
  return true;
}

template <const Kind& K>
void attr_set(Call& call) {
  const std::u16string letters = wide_arg(call, 2);
  if (set_each<K>(call, [&](std::uint32_t bits) { return apply_letters(bits, letters); })) make_int(call.result, 1);
}

// Ex: operation 1 adds the mask, -1 removes it, anything else sets exactly it.
template <const Kind& K>
void attr_set_ex(Call& call) {
  const auto mask = static_cast<std::uint32_t>(call.args[2].i);
  const std::int32_t op = call.args[3].i;
  std::uint32_t last = 0;
  const bool ok = set_each<K>(call, [&](std::uint32_t bits) {
    last = op == 1 ? bits | mask : op == -1 ? bits & ~mask : mask;
    return last;
  });
  if (ok) make_int(call.result, static_cast<std::int32_t>(last & ~pf::kDirectory));
}

}  // namespace

void register_attributes(HandlerTable& t) {
  t.add(kw::fn_fileattrget, attr_get<kFile>);
  t.add(kw::fn_dirattrget, attr_get<kFolder>);
  t.add(kw::fn_fileattrgetex, attr_get_ex<kFile>);
  t.add(kw::fn_dirattrgetex, attr_get_ex<kFolder>);
  t.add(kw::fn_fileattrset, attr_set<kFile>);
  t.add(kw::fn_dirattrset, attr_set<kFolder>);
  t.add(kw::fn_fileattrsetex, attr_set_ex<kFile>);
  t.add(kw::fn_dirattrsetex, attr_set_ex<kFolder>);
}

}  // namespace orv::files
