#include "winauto/menu_path.h"

namespace orv::winauto {

std::optional<std::vector<std::u16string>> split_menu_path(std::u16string_view path, char16_t delimiter) {
  std::vector<std::u16string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find(delimiter, start);
    std::u16string part(path.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start));
    if (menu_match_key(part).empty()) return std::nullopt;
    parts.push_back(std::move(part));
    if (end == std::u16string_view::npos) return parts;
    start = end + 1;
  }
}

std::u16string menu_match_key(std::u16string_view caption) {
  std::u16string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    const char16_t ch = caption[i];
    if (ch == u'\t') break;
    if (ch == u'&') {
      if (i + 1 < caption.size() && caption[i + 1] == u'&') {
        out.push_back(u'&');
        ++i;
      }
      continue;
    }
    out.push_back(ch >= u'A' && ch <= u'Z' ? static_cast<char16_t>(ch + 32) : ch);
  }
  auto blank = [](char16_t ch) { return ch == u' ' || ch == 0xA0; };
  while (!out.empty() && blank(out.back())) out.pop_back();
  if (out.size() >= 3 && out.compare(out.size() - 3, 3, u"...") == 0) out.resize(out.size() - 3);
  while (!out.empty() && blank(out.back())) out.pop_back();
  std::size_t lead = 0;
  while (lead < out.size() && blank(out[lead])) ++lead;
  return out.substr(lead);
}

const MenuNode* find_menu_item(const std::vector<MenuNode>& top, const std::vector<std::u16string>& path) {
  const std::vector<MenuNode>* level = &top;
  const MenuNode* found = nullptr;
  for (const std::u16string& caption : path) {
    if (!level) return nullptr;
    const std::u16string want = menu_match_key(caption);
    found = nullptr;
    for (const MenuNode& node : *level) {
      if (!node.separator && menu_match_key(node.caption) == want) {
        found = &node;
        break;
      }
    }
    if (!found) return nullptr;
    level = found->popup ? &found->items : nullptr;
  }
  return found;
}

namespace {

// Reads a template front to back; every read checks the room left.
class MenuReader {
 public:
  MenuReader(const std::uint8_t* data, std::size_t size) : p_(data), size_(size) {}
  bool u16(std::uint16_t& v) {
    if (!p_ || at_ + 2 > size_) return false;
    v = static_cast<std::uint16_t>(p_[at_] | p_[at_ + 1] << 8);
    at_ += 2;
    return true;
  }
  bool u32(std::uint32_t& v) {
    std::uint16_t lo, hi;
    if (!u16(lo) || !u16(hi)) return false;
    v = lo | static_cast<std::uint32_t>(hi) << 16;
    return true;
  }
  bool text(std::u16string& s) {
    for (std::uint16_t ch; u16(ch);) {
      if (ch == 0) return true;
      s.push_back(static_cast<char16_t>(ch));
    }
    return false;
  }
  bool align4() {
    const std::size_t next = (at_ + 3) & ~static_cast<std::size_t>(3);
    if (next > size_) return false;
    at_ = next;
    return true;
  }
  bool skip(std::size_t n) {
    if (n > size_ - at_) return false;
    at_ += n;
    return true;
  }

 private:
  const std::uint8_t* p_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Nesting deeper than any menu a person could use marks a damaged template.
constexpr int kMaxMenuDepth = 16;
constexpr std::uint16_t kGrayed = 0x0001, kDisabled = 0x0002, kPopup = 0x0010, kLast = 0x0080, kSeparatorType = 0x0800;

bool read_standard(MenuReader& r, std::vector<MenuNode>& out, int depth) {
  if (depth > kMaxMenuDepth) return false;
  for (;;) {
    std::uint16_t flags;
    if (!r.u16(flags)) return false;
    MenuNode node;
    node.popup = (flags & kPopup) != 0;
    node.disabled = (flags & (kGrayed | kDisabled)) != 0;
    if (!node.popup) {
      std::uint16_t id;
      if (!r.u16(id)) return false;
      node.id = id;
    }
    if (!r.text(node.caption)) return false;
    node.separator = (flags & kSeparatorType) || (!node.popup && node.id == 0 && node.caption.empty());
    if (node.popup && !read_standard(r, node.items, depth + 1)) return false;
    out.push_back(std::move(node));
    if (flags & kLast) return true;
  }
}

bool read_extended(MenuReader& r, std::vector<MenuNode>& out, int depth) {
  if (depth > kMaxMenuDepth) return false;
  for (;;) {
    std::uint32_t type, state, id, helpId;
    std::uint16_t flags;
    if (!r.align4() || !r.u32(type) || !r.u32(state) || !r.u32(id) || !r.u16(flags)) return false;
    MenuNode node;
    if (!r.text(node.caption)) return false;
    node.id = id;
    node.popup = (flags & 0x01) != 0;
    node.separator = (type & kSeparatorType) != 0;
    node.disabled = (state & 0x0003) != 0;
    if (node.popup) {
      if (!r.align4() || !r.u32(helpId) || !read_extended(r, node.items, depth + 1)) return false;
    }
    out.push_back(std::move(node));
    if (flags & kLast) return true;
  }
}

}  // namespace

std::optional<std::vector<MenuNode>> parse_menu_template(const std::uint8_t* data, std::size_t size) {
  MenuReader r(data, size);
  std::uint16_t version, offset;
  if (!r.u16(version) || !r.u16(offset)) return std::nullopt;
  std::vector<MenuNode> top;
  if (version == 0) {
    if (!r.skip(offset) || !read_standard(r, top, 0)) return std::nullopt;
  } else if (version == 1) {
    // The offset counts from just after itself; the items start there.
    if (offset < 4 || !r.skip(offset) || !read_extended(r, top, 0)) return std::nullopt;
  } else {
    return std::nullopt;
  }
  return top;
}

}  // namespace orv::winauto
