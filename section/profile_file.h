#pragma once
// A profile file such as system.ini read from its bytes, independently of
// the platform's profile calls, so that a rewrite made by those calls can be
// checked against the file as it was.
//
// Lines end at a line feed, and in one of the two readings at a lone
// carriage return too (see LineBreaks). Blanks (space, tab, carriage return,
// vertical tab, form feed and the old end-of-file mark 0x1A) around a line,
// a section name, a key or a value do not count, nor do blank lines: a
// rewrite may change those. A UTF-8 byte order mark at the start is not part
// of the first line; otherwise the bytes are taken as they are, so a rewrite
// that changes a character's encoding is a change.

#include <string>
#include <string_view>
#include <vector>

// Where a line ends. Wine and the NT family end a line at a lone carriage
// return as well as at a line feed; what Windows 95, 98 and ME do with a
// lone carriage return is not documented, and it may be part of the line
// there. A check that must hold on every Windows reads the file both ways.
enum class LineBreaks {
  kLineFeed,  // a carriage return inside a line is part of it
  kAnyBreak,  // a carriage return, a line feed, or both end a line
};
constexpr LineBreaks kEveryReading[] = {LineBreaks::kLineFeed, LineBreaks::kAnyBreak};

struct IniSection {
  std::string name;  // between "[" and the last "]"; empty before the first header
  // Between "[" and the first "]". Where a header's name ends is not
  // documented: Wine ends it at the last "]", another reader may end it at
  // the first, so a section answers to either name.
  std::string name_to_first_bracket;
  bool has_header = false;
  // The header line's text after its last "]", blanks aside: the platform
  // ignores it, but a rewrite that drops it has changed the file.
  std::string after_header;
  // Each non-blank line: one holding "=" (an entry, or a comment ";...")
  // as "key=value", without the blanks around its first "="; a line
  // without "=" as it stands.
  std::vector<std::string> lines;
};

std::vector<IniSection> ParseIniFile(std::string_view bytes, LineBreaks breaks);

bool IsIniComment(std::string_view line);

// True when the two are equal, letters A to Z matched in either case, as the
// profile calls match names and keys.
bool EqualNoCase(std::string_view a, std::string_view b);

// `text` without the blanks around it, as a line of the file counts them.
std::string_view TrimIniBlanks(std::string_view text);

// A line as IniSection keeps it: one holding "=" without the blanks around
// its first "=", as the platform writes an entry back.
std::string IniLine(std::string_view line);

// The index of the first section named `name` (letter case ignored), its
// name ending at the first or the last "]", at or after index `from`, or -1.
// The name is compared as the profile calls compare it; blanks inside the
// brackets were already set aside.
int FindIniSection(const std::vector<IniSection>& sections, std::string_view name, size_t from = 0);

// The entries (comments aside) of the first section named `name` (see
// FindIniSection); none when there is no such section.
std::vector<std::string> FirstSectionEntries(const std::vector<IniSection>& sections,
                                             std::string_view name);

// True when `rewritten` has the sections of `original`, in the same order,
// with the same headers (the text after "]" included) and the same lines,
// except the first section named `name`. That one
// must hold exactly `entries`; comments in it do not count, since the
// documented write keeps them where they were and Wine's drops them.
bool OnlySectionRewritten(const std::vector<IniSection>& original,
                          const std::vector<IniSection>& rewritten, std::string_view name,
                          const std::vector<std::string>& entries);
