#pragma once
// A profile file such as system.ini read from its bytes, independently of
// the platform's profile calls, so that a rewrite made by those calls can be
// checked against the file as it was.
//
// Lines end at a line feed. Blanks (space, tab, carriage return, vertical
// tab, form feed and the old end-of-file mark 0x1A) around a line, a section
// name, a key or a value do not count, nor do blank lines: a rewrite may
// change those. A carriage return inside a line is part of the line. A UTF-8
// byte order mark at the start is not part of the first line; otherwise the
// bytes are taken as they are, so a rewrite that changes a character's
// encoding is a change.

#include <string>
#include <string_view>
#include <vector>

struct IniSection {
  std::string name;  // between "[" and the last "]"; empty before the first header
  bool has_header = false;
  // Each non-blank line: one holding "=" (an entry, or a comment ";...")
  // as "key=value", without the blanks around its first "="; a line
  // without "=" as it stands.
  std::vector<std::string> lines;
};

std::vector<IniSection> ParseIniFile(std::string_view bytes);

bool IsIniComment(std::string_view line);

// A line as IniSection keeps it: one holding "=" without the blanks around
// its first "=", as the platform writes an entry back.
std::string IniLine(std::string_view line);

// The index of the first section named `name` (letter case ignored) at or
// after index `from`, or -1. The name is compared as the profile calls
// compare it; blanks inside the brackets were already set aside.
int FindIniSection(const std::vector<IniSection>& sections, std::string_view name, size_t from = 0);

// True when `rewritten` has the sections of `original`, in the same order
// and with the same lines, except the first section named `name`. That one
// must hold exactly `entries`; comments in it do not count, since the
// documented write keeps them where they were and Wine's drops them.
bool OnlySectionRewritten(const std::vector<IniSection>& original,
                          const std::vector<IniSection>& rewritten, std::string_view name,
                          const std::vector<std::string>& entries);
