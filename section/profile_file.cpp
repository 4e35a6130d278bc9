#include "section/profile_file.h"

namespace {

using std::string_view;

constexpr string_view kBlanks = " \t\r\v\f\x1a";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::vector<std::string> Entries(const IniSection& section) {
  std::vector<std::string> entries;
  for (const auto& line : section.lines) {
    if (!IsIniComment(line)) entries.push_back(line);
  }
  return entries;
}

}  // namespace

bool EqualNoCase(string_view a, string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

string_view TrimIniBlanks(string_view text) {
  const auto begin = text.find_first_not_of(kBlanks);
  if (begin == string_view::npos) return string_view();
  return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

// Wine writes a line holding "=", a comment too, without the blanks around
// its first "=".
std::string IniLine(string_view line) {
  const auto equals = line.find('=');
  if (equals == string_view::npos) return std::string(line);
  std::string entry(TrimIniBlanks(line.substr(0, equals)));
  entry += '=';
  entry += TrimIniBlanks(line.substr(equals + 1));
  return entry;
}

std::vector<IniSection> ParseIniFile(string_view bytes, LineBreaks breaks) {
  std::vector<IniSection> sections(1);
  // A UTF-8 file may start with its byte order mark.
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  // A carriage return before a line feed is a blank at the line's end, and
  // the empty line between them, in the other reading, counts for nothing.
  const char* line_ends = breaks == LineBreaks::kAnyBreak ? "\r\n" : "\n";
  for (size_t begin = 0; begin < bytes.size();) {
    auto end = bytes.find_first_of(line_ends, begin);
    if (end == string_view::npos) end = bytes.size();
    const string_view line = TrimIniBlanks(bytes.substr(begin, end - begin));
    begin = end + 1;
    if (line.empty()) continue;
    const auto close = line.rfind(']');
    if (line.front() == '[' && close != string_view::npos) {
      IniSection section;
      section.name = std::string(TrimIniBlanks(line.substr(1, close - 1)));
      section.name_to_first_bracket =
          std::string(TrimIniBlanks(line.substr(1, line.find(']') - 1)));
      section.has_header = true;
      section.after_header = std::string(TrimIniBlanks(line.substr(close + 1)));
      sections.push_back(std::move(section));
    } else {
      sections.back().lines.push_back(IniLine(line));
    }
  }
  return sections;
}

bool IsIniComment(string_view line) { return !line.empty() && line.front() == ';'; }

int FindIniSection(const std::vector<IniSection>& sections, string_view name, size_t from) {
  for (size_t i = from; i < sections.size(); ++i) {
    const IniSection& section = sections[i];
    if (section.has_header &&
        (EqualNoCase(section.name, name) || EqualNoCase(section.name_to_first_bracket, name))) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::vector<std::string> FirstSectionEntries(const std::vector<IniSection>& sections,
                                             string_view name) {
  const int first = FindIniSection(sections, name);
  return first < 0 ? std::vector<std::string>() : Entries(sections[first]);
}

bool OnlySectionRewritten(const std::vector<IniSection>& original,
                          const std::vector<IniSection>& rewritten, string_view name,
                          const std::vector<std::string>& entries) {
  if (original.size() != rewritten.size()) return false;
  const int target = FindIniSection(original, name);
  for (size_t i = 0; i < original.size(); ++i) {
    const IniSection& before = original[i];
    const IniSection& after = rewritten[i];
    if (before.has_header != after.has_header || before.name != after.name ||
        before.after_header != after.after_header) {
      return false;
    }
    if (static_cast<int>(i) != target) {
      if (before.lines != after.lines) return false;
      continue;
    }
    if (Entries(after) != entries) return false;
  }
  return true;
}
