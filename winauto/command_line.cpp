#include "winauto/command_line.h"

#include <cctype>

namespace orv::winauto {

std::optional<int> show_command(int display) {
  switch (display) {
    case launch::kHidden: return 0;       // hide
    case launch::kIcon: return 2;         // show minimised
    case launch::kNormal: return 1;       // show normal
    case launch::kZoomed: return 3;       // show maximised
    case launch::kNoActivate: return 4;   // show without activating
    default: return std::nullopt;
  }
}

int shell_show_command(int display) {
  if (display == launch::kNormal) return 5;
  return show_command(display).value_or(1);
}

std::string quoted_command(std::string_view program, std::string_view params) {
  std::string line;
  if (!program.empty() && program.front() == '"') {
    line = program;
  } else {
    line = "\"";
    line += program;
    line += '"';
  }
  if (!params.empty()) {
    line += ' ';
    line += params;
  }
  return line;
}

std::string unquoted_command(std::string_view program, std::string_view params) {
  std::string line(program);
  line += ' ';
  line += params;
  return line;
}

ProgramParts split_program(std::string_view program) {
  if (!program.empty() && program.front() == '"') {
    program.remove_prefix(1);
    if (const std::size_t q = program.find('"'); q != std::string_view::npos) program = program.substr(0, q);
  }
  ProgramParts parts;
  const std::size_t slash = program.find_last_of("\\/:");
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  parts.dir = program.substr(0, nameStart);
  std::string_view file = program.substr(nameStart);
  const std::size_t dot = file.rfind('.');
  if (dot != std::string_view::npos) {
    parts.ext = file.substr(dot + 1);
    file = file.substr(0, dot);
  }
  parts.name = file;
  return parts;
}

std::vector<std::string> app_paths_keys(std::string_view program) {
  ProgramParts parts = split_program(program);
  auto upper = [](std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
  };
  if (parts.name.empty()) return {};
  if (!parts.ext.empty()) return {upper(parts.name) + "." + upper(parts.ext)};
  return {upper(parts.name), upper(parts.name) + ".EXE"};
}

std::vector<std::string> parameter_words(std::string_view params) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < params.size() && words.size() < 8) {
    while (i < params.size() && params[i] == ' ') ++i;
    if (i >= params.size()) break;
    std::string word;
    bool quoted = false;
    for (; i < params.size() && (quoted || params[i] != ' '); ++i) {
      if (params[i] == '"') quoted = !quoted;
      word += params[i];
    }
    words.push_back(std::move(word));
  }
  return words;
}

namespace {

// Where the text after parameter word `index` (0-based) starts.
std::size_t rest_after_word(std::string_view params, std::size_t index) {
  std::size_t i = 0;
  for (std::size_t w = 0; w <= index && i < params.size(); ++w) {
    while (i < params.size() && params[i] == ' ') ++i;
    bool quoted = false;
    for (; i < params.size() && (quoted || params[i] != ' '); ++i)
      if (params[i] == '"') quoted = !quoted;
  }
  while (i < params.size() && params[i] == ' ') ++i;
  return i;
}

}  // namespace

std::optional<std::string> expand_template(std::string_view tmpl, std::string_view program, std::string_view params) {
  const std::vector<std::string> words = parameter_words(params);
  std::string out;
  std::size_t highestUsed = 0;   // parameter words used so far, counting %2 as 1
  for (std::size_t i = 0; i < tmpl.size(); ++i) {
    const char ch = tmpl[i];
    const char next = i + 1 < tmpl.size() ? tmpl[i + 1] : '\0';
    if (ch == '%' && next == '%') {
      out += "%%";
      ++i;
    } else if (ch == '%' && next == '1') {
      out += program;
      ++i;
    } else if (ch == '%' && next >= '2' && next <= '9') {
      const std::size_t word = static_cast<std::size_t>(next - '2');
      if (word < words.size()) out += words[word];
      if (word + 1 > highestUsed) highestUsed = word + 1;
      ++i;
    } else if (ch == '%' && next == '*') {
      std::size_t from = 0;
      if (highestUsed > 0) from = rest_after_word(params, highestUsed - 1);
      else while (from < params.size() && params[from] == ' ') ++from;
      out += params.substr(from);
      ++i;
    } else {
      out += ch;
    }
    if (out.size() > kCommandLineMax) return std::nullopt;
  }
  return out;
}

std::optional<std::string> association_command(std::string_view openCommand, std::string_view program,
                                               std::string_view params) {
  std::size_t i = 0;
  while (i < openCommand.size() && openCommand[i] == ' ') ++i;
  std::size_t end;
  if (i < openCommand.size() && openCommand[i] == '"') {
    end = openCommand.find('"', i + 1);
    end = end == std::string_view::npos ? openCommand.size() : end + 1;
  } else {
    end = openCommand.find(' ', i);
    if (end == std::string_view::npos) end = openCommand.size();
  }
  std::string line(openCommand.substr(i, end - i));
  std::string_view rest = openCommand.substr(end);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  std::string argument;
  if (rest.find("%1") != std::string_view::npos) {
    std::optional<std::string> expanded = expand_template(rest, program, params);
    if (!expanded) return std::nullopt;
    argument = std::move(*expanded);
  } else {
    // Without a place for the document, it goes first and the parameters after it.
    argument = "\"" + std::string(program) + "\"";
    if (!params.empty()) argument += " " + std::string(params);
  }
  line += ' ';
  line += argument;
  if (line.size() > kCommandLineMax) return std::nullopt;
  return line;
}

}  // namespace orv::winauto
