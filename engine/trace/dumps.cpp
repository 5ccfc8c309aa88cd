// The dumps: the current variable table, the keyword tables, the structure
// stack, the settings file and the interpreter's counters.
#include "engine/trace/dumps.h"

#include <cstring>
#include <vector>

#include "engine/convert.h"
#include "engine/error_handling.h"
#include "engine/keyword_table.h"
#include "engine/script.h"
#include "engine/trace/markers.h"
#include "engine/udf.h"
#include "engine/value_ops.h"
#include "engine/error_report.h"

namespace orv::trace {
namespace {

constexpr std::size_t kShownChars = 255;

// `inDump`: the variable table shows a buffer handle with its kind beside it;
// an entry writes the value as text, a handle being its number alone.
std::string shown_value(Context& c, const Value& v, bool inDump) {
  if (v.flags == 0) return "<undefined>";
  if (v.flags == vf::kDeclared) return "<uninitialized>";
  if (v.flags & vf::kArray) return "<array>";
  if (v.flags & vf::kBinary) return inDump ? std::to_string(v.i) + "  <binary buffer>" : std::to_string(v.i);
  if (v.flags & (vf::kCom | vf::kComObject)) {
    if (!(v.flags & (vf::kStr | vf::kWide | vf::kNumeric))) return "<complex data type>";
  }
  std::string text;
  const std::uint16_t savedError = c.error;
  std::string savedText = c.errorText;
  if (!value_text(c, v, text)) text = "<complex data type>";
  c.error = savedError;   // a dump never changes the script's error
  c.errorText = std::move(savedText);
  if (text.size() > kShownChars) text.resize(kShownChars);
  return text;
}

}  // namespace

std::string value_entry_text(Context& c, const Value& v) { return shown_value(c, v, false); }
std::string value_dump_text(Context& c, const Value& v) { return shown_value(c, v, true); }

namespace {

struct Counter {
  const char* name;
  std::int64_t (*read)(const Context&);
};

std::int64_t count_vars(const Context& c) {
  std::int64_t n = 0;
  for (std::uint16_t i = 0; i < c.hwm; ++i)
    if (c.slots[i].name[0] && c.slots[i].v.flags) ++n;
  return n;
}
std::int64_t count_com(const Context& c) {
  std::int64_t n = 0;
  for (std::uint16_t i = 0; i < c.hwm; ++i)
    if (c.slots[i].name[0] && (c.slots[i].v.flags & vf::kComObject)) ++n;
  return n;
}

constexpr Counter kCounters[] = {
    {"strings", [](const Context& c) -> std::int64_t { return c.heap.ready() ? c.heap.bytes_in_use() : 0; }},
    {"variables", count_vars},
    {"files", [](const Context& c) -> std::int64_t { return files::open_file_count(c); }},
    {"binbufs", [](const Context& c) -> std::int64_t { return c.binaries.live_count(); }},
    {"arrays", [](const Context& c) -> std::int64_t { return static_cast<std::int64_t>(c.arrays.live_count()); }},
    {"extenders", [](const Context& c) -> std::int64_t { return c.extRecords.empty() ? 0 : 1; }},
    {"extfunctions", [](const Context& c) -> std::int64_t { return static_cast<std::int64_t>(c.extRecords.size()); }},
    {"comobjects", count_com},
    {"structures", [](const Context& c) -> std::int64_t { return c.depth; }},
    {"calllevel", [](const Context& c) -> std::int64_t { return c.callLevel; }},
    {"udfs", [](const Context& c) -> std::int64_t { return static_cast<std::int64_t>(live_udf_count(c)); }},
    {"tracelost", [](const Context& c) -> std::int64_t { return c.trace.lostEntries; }},
};

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return out;
}

std::vector<std::string> split_items(std::string_view items) {
  std::vector<std::string> out;
  std::string word;
  for (char ch : items) {
    if (ch == ' ' || ch == ',' || ch == '|' || ch == '\t') {
      if (!word.empty()) out.push_back(lower(word));
      word.clear();
    } else {
      word += ch;
    }
  }
  if (!word.empty()) out.push_back(lower(word));
  return out;
}

}  // namespace

std::string variable_dump(Context& c) {
  std::vector<std::string> lines;
  for (std::uint16_t i = 0; i < c.hwm; ++i) {
    const VarSlot& s = c.slots[i];
    if (!s.name[0]) continue;
    lines.push_back(variable_line(std::string_view(s.name, strnlen(s.name, 31)), value_dump_text(c, s.v)));
  }
  return framed_dump(Dump::variables, lines);
}

std::string function_dump(const Context& c) {
  std::vector<std::string> lines;
  lines.reserve(kKeywordCount + c.extRecords.size() + 1);
  for (const api::KeywordRecord& r : kKeywords) lines.push_back(function_line(r));
  lines.emplace_back(kExtenderDivider);
  for (const api::KeywordRecord& r : c.extRecords) lines.push_back(function_line(r));
  return framed_dump(Dump::functions, lines);
}

std::string structure_dump(const Context& c) {
  std::vector<std::string> lines;
  // The last traceback row describes an error; the stack ends before it.
  std::vector<ui::TracebackRow> rows = traceback_rows(c);
  if (!rows.empty()) rows.pop_back();
  for (const ui::TracebackRow& row : rows) lines.push_back(ui::traceback_text_row(row));
  return framed_dump(Dump::structures, lines);
}

std::string settings_dump() {
  const std::string path = platform::settings_file_path("TARNQUIL.INI");
  std::string text;
  platform::FileStatus status = path.empty() ? platform::FileStatus::not_found : platform::read_whole_file(path, text);
  switch (status) {
    case platform::FileStatus::ok: break;
    case platform::FileStatus::not_found: text = "<File not found>"; break;
    case platform::FileStatus::no_memory: text = "<Unable to allocate or lock memory>"; break;
    default: text = "<Error reading file>"; break;
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return framed_dump(Dump::settings, {text});
}

std::string internal_dump(const Context& c, std::string_view items) {
  std::vector<std::string> lines;
  for (const std::string& item : split_items(items)) {
    bool known = false;
    for (const Counter& k : kCounters) {
      if (item != k.name && item != "all") continue;
      lines.push_back(variable_line(k.name, std::to_string(k.read(c))));
      known = true;
    }
    if (!known) lines.push_back("Invalid param: " + item);
  }
  return framed_dump(Dump::internal, lines);
}

std::string debug_data_entry(const Context& c, std::string_view note) {
  std::string s = "\r\n----- Debug data";
  if (!note.empty()) s += ": " + std::string(note);
  s += " -----\r\n";
  if (!c.scripts.empty() && c.curScript < c.scripts.size()) {
    const Script& script = *c.scripts[c.curScript];
    const Origin o = origin_of(script, c.stmtPos);
    s += "Line:            " + std::to_string(o.line) + "\r\n";
    s += "Statement:       " + statement_text(script, c.stmtPos) + "\r\n";
    if (!o.file.empty()) s += "File:            " + o.file + "\r\n";
  }
  if (c.executingUdf < c.udfs.size()) s += "Function:        " + c.udfs[c.executingUdf].name + "\r\n";
  s += "Structure depth: " + std::to_string(c.depth) + "\r\n";
  s += "Call level:      " + std::to_string(c.callLevel) + "\r\n";
  s += "Last error:      " + std::to_string(c.lastError) + "\r\n";
  return s;
}

}  // namespace orv::trace
