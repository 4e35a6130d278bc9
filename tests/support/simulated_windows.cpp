#include "tests/support/simulated_windows.h"

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr Status kSharingViolation = 32;

// Blanks as the profile functions trim them; 0x1A is the old end-of-file mark.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

std::string Trim(const std::string& s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// A profile file as the platform keeps it: the lines before the first header
// form a section without a name. Blank lines are not kept.
struct ProfileLine {
  std::string key;  // a comment's text up to its first "=", or all of it
  std::string value;
  bool has_value = false;
  bool is_comment = false;
};

struct ProfileSection {
  std::string name;
  bool has_header = false;
  std::vector<ProfileLine> lines;
};

ProfileLine ParseEntry(const std::string& text, EntryBlanks blanks = EntryBlanks::kTrimmed) {
  ProfileLine line;
  const auto equals = text.find('=');
  const auto trim = [&](const std::string& part) {
    return blanks == EntryBlanks::kTrimmed ? Trim(part) : part;
  };
  if (equals == std::string::npos) {
    line.key = Trim(text);
  } else {
    line.key = trim(text.substr(0, equals));
    line.value = trim(text.substr(equals + 1));
    line.has_value = true;
  }
  return line;
}

// How the profile calls of the Windows at hand read a file's lines.
struct Syntax {
  LoneCarriageReturn lone_cr = LoneCarriageReturn::kEndsLine;
  HeaderNameEnd header_end = HeaderNameEnd::kLastBracket;
  EntryBlanks blanks = EntryBlanks::kTrimmed;
};

// A line of a profile file: its text, and where its bytes and its line
// break end. Lines end at a line feed or a carriage return line feed pair,
// and at a lone carriage return where that ends a line.
struct RawLine {
  size_t begin = 0;
  size_t text_end = 0;
  size_t end = 0;
};

std::vector<RawLine> RawLines(const std::string& bytes, LoneCarriageReturn lone_cr) {
  const char* breaks = lone_cr == LoneCarriageReturn::kEndsLine ? "\r\n" : "\n";
  std::vector<RawLine> lines;
  for (size_t pos = 0; pos < bytes.size();) {
    RawLine line;
    line.begin = pos;
    line.text_end = std::min(bytes.find_first_of(breaks, pos), bytes.size());
    line.end = line.text_end;
    if (line.end < bytes.size()) {
      if (bytes[line.end] == '\n' && line.end > pos && bytes[line.end - 1] == '\r') {
        --line.text_end;
      }
      line.end += bytes.compare(line.end, 2, "\r\n") == 0 ? 2 : 1;
    }
    pos = line.end;
    lines.push_back(line);
  }
  return lines;
}

// A line's text as the platform reads it: a NUL ends it, blanks around it
// do not count.
std::string LineText(const std::string& bytes, const RawLine& line) {
  std::string raw = bytes.substr(line.begin, line.text_end - line.begin);
  const auto nul = raw.find('\0');
  if (nul != std::string::npos) raw.resize(nul);
  return Trim(raw);
}

// A line is a section header only when it starts with "[" and has a "]";
// returns the name between them.
bool IsHeader(const std::string& text, std::string* name, HeaderNameEnd end) {
  const auto close = end == HeaderNameEnd::kLastBracket ? text.rfind(']') : text.find(']');
  if (text.empty() || text[0] != '[' || close == std::string::npos) return false;
  *name = Trim(text.substr(1, close - 1));
  return true;
}

std::vector<ProfileSection> ParseProfile(const std::string& bytes, const Syntax& syntax) {
  std::vector<ProfileSection> sections(1);
  for (const RawLine& raw : RawLines(bytes, syntax.lone_cr)) {
    const std::string line = LineText(bytes, raw);
    if (line.empty()) continue;
    ProfileSection section;
    if (IsHeader(line, &section.name, syntax.header_end)) {
      section.has_header = true;
      sections.push_back(section);
    } else if (line[0] == ';') {
      // Kept, and written again split at its first "=" like an entry.
      ProfileLine comment = ParseEntry(line);
      comment.is_comment = true;
      sections.back().lines.push_back(comment);
    } else {
      sections.back().lines.push_back(ParseEntry(line, syntax.blanks));
    }
  }
  return sections;
}

// The lines from `from` to `to`, each cut at its first NUL where `nul`
// says so.
std::string OtherLines(const std::string& bytes, const std::vector<RawLine>& lines, size_t from,
                       size_t to, NulOutsideSection nul) {
  std::string out;
  for (size_t i = from; i < to; ++i) {
    const RawLine& line = lines[i];
    std::string text = bytes.substr(line.begin, line.text_end - line.begin);
    if (nul == NulOutsideSection::kCut && text.find('\0') != std::string::npos) {
      text.resize(text.find('\0'));
    }
    out += text + bytes.substr(line.text_end, line.end - line.text_end);
  }
  return out;
}

// The documented write: see ProfileWrite::kInPlace, and Undocumented for
// what it leaves to chance.
std::string WriteInPlace(const std::string& bytes, const std::string& section,
                         const std::vector<std::string>& entries, const Syntax& syntax,
                         const Undocumented& undocumented) {
  std::string new_lines;
  for (const auto& entry : entries) new_lines += entry + "\r\n";
  const std::vector<RawLine> lines = RawLines(bytes, syntax.lone_cr);
  const auto named = [&](size_t i) {
    std::string name;
    return IsHeader(LineText(bytes, lines[i]), &name, syntax.header_end) &&
           EqualNoCase(name, section);
  };
  const auto other = [&](size_t from, size_t to) {
    return OtherLines(bytes, lines, from, to, undocumented.nul_outside_section);
  };
  size_t i = 0;
  while (i < lines.size() && !named(i)) ++i;
  if (i == lines.size()) {
    std::string out = other(0, lines.size());
    const bool ends_line = out.empty() || out.back() == '\n' || out.back() == '\r';
    return out + (ends_line ? "" : "\r\n") + "[" + section + "]\r\n" + new_lines;
  }
  std::string out = other(0, i + 1);
  if (lines[i].end == lines[i].text_end) out += "\r\n";
  // Blank and comment lines stay; entry lines go.
  std::string kept;
  std::string name;
  for (++i; i < lines.size(); ++i) {
    const std::string text = LineText(bytes, lines[i]);
    if (IsHeader(text, &name, syntax.header_end)) break;
    const bool comment = !text.empty() && text[0] == ';';
    if (text.empty() ||
        (comment && undocumented.rewritten_comments != RewrittenSectionComments::kDropped)) {
      kept += bytes.substr(lines[i].begin, lines[i].end - lines[i].begin);
    }
  }
  out += undocumented.rewritten_comments == RewrittenSectionComments::kBeforeEntries
             ? kept + new_lines
             : new_lines + kept;
  // A later section of the same name, emptied or left alone.
  bool in_later = false;
  for (; i < lines.size(); ++i) {
    const std::string text = LineText(bytes, lines[i]);
    if (IsHeader(text, &name, syntax.header_end)) in_later = named(i);
    const bool entry = !text.empty() && text[0] != ';' && text[0] != '[';
    if (in_later && entry && undocumented.later_same_named == LaterSameNamedSection::kEmptied) {
      continue;
    }
    out += other(i, i + 1);
  }
  return out;
}

// The layout the 9x write gives the file: a blank line before every section
// but the first, no line break after the last line.
std::string NineXLayout(const std::string& bytes, const Syntax& syntax) {
  std::string out;
  std::string name;
  bool previous_blank = true;
  for (const RawLine& line : RawLines(bytes, syntax.lone_cr)) {
    const std::string text = LineText(bytes, line);
    if (IsHeader(text, &name, syntax.header_end) && !previous_blank) out += "\r\n";
    out += bytes.substr(line.begin, line.end - line.begin);
    previous_blank = text.empty();
  }
  if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.resize(out.size() - 2);
  return out;
}

// The key of an entry as a registry mapping stores it: up to its "=".
std::string EntryKey(const std::string& entry) { return Trim(entry.substr(0, entry.find('='))); }

std::string SerializeProfile(const std::vector<ProfileSection>& sections) {
  std::string out;
  for (const auto& section : sections) {
    if (section.has_header) out += "[" + section.name + "]\r\n";
    for (const auto& line : section.lines) {
      out += line.key;
      if (line.has_value) out += "=" + line.value;
      out += "\r\n";
    }
  }
  return out;
}

ProfileSection* FindSection(std::vector<ProfileSection>& sections, const std::string& name,
                            SameNamedSectionRead which = SameNamedSectionRead::kFirst) {
  ProfileSection* found = nullptr;
  for (auto& section : sections) {
    if (!section.has_header || !EqualNoCase(section.name, name)) continue;
    found = &section;
    if (which == SameNamedSectionRead::kFirst) break;
  }
  return found;
}

}  // namespace

bool CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::string SimulatedWindows::WindowsPath(const std::string& name) const {
  std::string path = windows_directory;
  if (path.empty() || path.back() != '\\') path += '\\';
  return path + name;
}

void SimulatedWindows::PutWindowsFile(const std::string& name, const std::string& bytes) {
  files[WindowsPath(name)] = bytes;
}

std::string SimulatedWindows::WindowsFile(const std::string& name) const {
  const auto it = files.find(WindowsPath(name));
  return it == files.end() ? std::string() : it->second;
}

void SimulatedWindows::SetDword(const std::string& subkey, const std::string& name, DWORD value) {
  RegistryValue& stored = registry[subkey][name];
  stored.type = REG_DWORD;
  stored.bytes.assign(reinterpret_cast<const char*>(&value), sizeof value);
}

void SimulatedWindows::Fail(SimOp op, const std::string& target, Status status, int occurrence,
                            REGSAM access) {
  faults.push_back(SimFault{op, target, access, occurrence, status, -1, 0});
}

void SimulatedWindows::FailPartWay(SimOp op, const std::string& target, Status status,
                                   int stored_bytes, int occurrence) {
  faults.push_back(SimFault{op, target, 0, occurrence, status, stored_bytes, 0});
}

const SimFault* SimulatedWindows::Injected(SimOp op, const std::string& target, REGSAM access) {
  const SimFault* fired = nullptr;
  for (auto& fault : faults) {
    if (fault.op != op) continue;
    if (!fault.target.empty() && !EqualNoCase(fault.target, target)) continue;
    if (fault.access != 0 && fault.access != access) continue;
    ++fault.seen;
    const bool fires = fault.occurrence == 0 || fault.occurrence == fault.seen;
    if (fires && fired == nullptr) fired = &fault;
  }
  return fired;
}

Status SimulatedWindows::InjectedStatus(SimOp op, const std::string& target, REGSAM access) {
  const SimFault* fault = Injected(op, target, access);
  return fault != nullptr ? fault->status : ERROR_SUCCESS;
}

Status SimulatedWindows::Store(SimOp op, const std::string& target, const std::string& path,
                               std::string bytes,
                               std::map<std::string, std::string, CaseInsensitiveLess>& store) {
  const SimFault* fault = Injected(op, target);
  const bool on_disk = &store == &files;
  if (fault == nullptr || fault->stored_bytes >= 0) {
    if (fault != nullptr) {
      bytes.resize(std::min(bytes.size(), static_cast<size_t>(fault->stored_bytes)));
    }
    if (on_disk) {
      WriteToDisk(path, std::move(bytes));
    } else {
      store[path] = std::move(bytes);
    }
  }
  return fault == nullptr ? ERROR_SUCCESS : fault->status;
}

void SimulatedWindows::TakeSnapshot() {
  if (take_snapshots) snapshots.push_back(files);
}

void SimulatedWindows::WriteToDisk(const std::string& path, std::string bytes, bool cut) {
  if (take_snapshots && cut) {
    // A power cut half-way through the write.
    auto half_written = files;
    half_written[path] = bytes.substr(0, bytes.size() / 2);
    snapshots.push_back(std::move(half_written));
  }
  files[path] = std::move(bytes);
  TakeSnapshot();
}

bool SimulatedWindows::StoresOntoReadOnly(const std::string& path) const {
  return !HasAttribute(path, FILE_ATTRIBUTE_READONLY) ||
         undocumented.read_only_write == ReadOnlyProfileWrite::kWritten;
}

std::string SimulatedWindows::ProfileBytes(const std::string& path) const {
  const auto cached = profile_cache.find(path);
  if (cached != profile_cache.end()) return cached->second;
  const auto it = files.find(path);
  return it == files.end() ? std::string() : it->second;
}

void SimulatedWindows::FlushProfileCache(const std::string& file) {
  file_calls.push_back("flush " + file);
  const auto cached = profile_cache.find(ProfilePath(file));
  if (cached == profile_cache.end()) return;
  // The flush reports nothing; one that did not finish (a fault with a
  // status) leaves the file in the cache, to be written out later.
  switch (undocumented.nine_x_flush) {
    case NineXFlush::kCompletes:
      break;
    case NineXFlush::kStoresPart:
      if (StoresOntoReadOnly(cached->first)) {
        // Itself the cut a power cut would leave.
        WriteToDisk(cached->first, cached->second.substr(0, cached->second.size() / 2), false);
      }
      return;
    case NineXFlush::kStoresNothing:
      profile_cache.erase(cached);
      return;
    case NineXFlush::kCompletesLater:
      return;
  }
  Status status = ERROR_SUCCESS;
  if (StoresOntoReadOnly(cached->first)) {
    status = Store(SimOp::kFlushProfile, file, cached->first, cached->second, files);
  }
  if (status == ERROR_SUCCESS) profile_cache.erase(cached);
}

void SimulatedWindows::EndProcess() {
  for (const auto& [path, bytes] : profile_cache) {
    if (StoresOntoReadOnly(path)) WriteToDisk(path, bytes);
  }
  profile_cache.clear();
}

Status SimulatedWindows::OpenKey(const std::string& subkey, REGSAM access, RegKeyHandle* key) {
  char access_text[16];
  (void)std::snprintf(access_text, sizeof access_text, "0x%X", static_cast<unsigned>(access));
  registry_calls.push_back("open " + subkey + " " + access_text);
  if (const Status status = InjectedStatus(SimOp::kOpenKey, subkey, access)) return status;
  if (registry.find(subkey) == registry.end()) return ERROR_FILE_NOT_FOUND;
  *key = next_handle_++;
  open_[*key] = OpenKeyState{subkey, access};
  return ERROR_SUCCESS;
}

Status SimulatedWindows::QueryValue(RegKeyHandle key, const std::string& name, DWORD* type,
                                    BYTE* data, DWORD* size) {
  const OpenKeyState& state = open_.at(key);
  registry_calls.push_back("query " + state.subkey + " " + name);
  if (const Status status = InjectedStatus(SimOp::kQueryValue, state.subkey)) return status;
  const auto& values = registry[state.subkey];
  const auto it = values.find(name);
  if (it == values.end()) return ERROR_FILE_NOT_FOUND;
  const RegistryValue& value = it->second;
  if (type != nullptr) *type = value.type;
  const DWORD needed = static_cast<DWORD>(value.bytes.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr) std::copy(value.bytes.begin(), value.bytes.end(), data);
  *size = needed;
  return ERROR_SUCCESS;
}

Status SimulatedWindows::SetValue(RegKeyHandle key, const std::string& name, DWORD type,
                                  const BYTE* data, DWORD size) {
  const OpenKeyState& state = open_.at(key);
  registry_calls.push_back("set " + state.subkey + " " + name);
  if (const Status status = InjectedStatus(SimOp::kSetValue, state.subkey)) return status;
  if ((state.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (writes_ignored.count(state.subkey) != 0) return ERROR_SUCCESS;
  RegistryValue& stored = registry[state.subkey][name];
  stored.type = type;
  stored.bytes.assign(reinterpret_cast<const char*>(data), size);
  return ERROR_SUCCESS;
}

void SimulatedWindows::CloseKey(RegKeyHandle key) {
  const auto it = open_.find(key);
  if (it == open_.end()) return;
  registry_calls.push_back("close " + it->second.subkey);
  open_.erase(it);
}

std::string SimulatedWindows::ProfilePath(const std::string& file) const {
  return file.find_first_of("\\/:") == std::string::npos ? WindowsPath(file) : file;
}

bool SimulatedWindows::HasAttribute(const std::string& path, DWORD attribute) const {
  const auto it = attributes.find(path);
  return it != attributes.end() && (it->second & attribute) != 0;
}

const FileHolder* SimulatedWindows::Holder(const std::string& path) const {
  const auto it = holders.find(path);
  return it == holders.end() ? nullptr : &it->second;
}

DWORD SimulatedWindows::ReadProfileSection(const std::string& section, char* buffer, DWORD capacity,
                                           const std::string& file) {
  if (capacity < 2) return 0;
  const bool nt = platform_id == VER_PLATFORM_WIN32_NT;
  const bool before_windows7 =
      !nt || major_version < 6 || (major_version == 6 && minor_version < 1);
  const bool limited = !nt || undocumented.old_nt_read == OldNtSectionRead::kLimited;
  if (before_windows7 && limited) capacity = std::min<DWORD>(capacity, kOldSectionReadLimit);
  std::string list;
  const std::string path = ProfilePath(file);
  const FileHolder* holder = Holder(path);
  const bool read_fails =
      holder != nullptr && (nt ? !holder->shares_reading
                               : !(holder->reads && !holder->writes && holder->shares_reading &&
                                   !holder->shares_writing));
  if (const auto mapped = mapped_sections.find(section); mapped != mapped_sections.end()) {
    for (const auto& entry : mapped->second) list += entry + '\0';
  } else if (!read_fails) {
    // A missing file reads as no bytes, which hold no section.
    auto sections = ParseProfile(ProfileBytes(path), Syntax{lone_cr, undocumented.header_name_end,
                                                            undocumented.entry_blanks});
    if (const ProfileSection* found =
            FindSection(sections, section, undocumented.same_named_read)) {
      for (const auto& line : found->lines) {
        if (line.is_comment || (line.key.empty() && !line.has_value)) continue;
        list += line.key;
        if (line.has_value) list += "=" + line.value;
        list += '\0';
      }
    }
  }
  // The list needs its closing NUL and, as the platform counts, one spare
  // character; otherwise it is cut after capacity - 2 characters.
  if (list.size() + 2 <= capacity) {
    std::copy(list.begin(), list.end(), buffer);
    buffer[list.size()] = '\0';
    if (list.empty()) buffer[1] = '\0';
    return static_cast<DWORD>(list.empty() ? 0 : list.size());
  }
  std::copy_n(list.data(), capacity - 2, buffer);
  buffer[capacity - 2] = '\0';
  buffer[capacity - 1] = '\0';
  return capacity - 2;
}

Status SimulatedWindows::WriteProfileSection(const std::string& section, const std::string& entries,
                                             const std::string& file) {
  file_calls.push_back("write " + file);
  ++profile_writes;
  const bool nt = platform_id == VER_PLATFORM_WIN32_NT;
  const std::string path = ProfilePath(file);
  if (const FileHolder* holder = Holder(path)) {
    const bool shares_all = holder->shares_reading && holder->shares_writing;
    if (!shares_all || (nt && major_version == 4)) return kSharingViolation;
  }
  // The list ends at its first empty entry, and at the write's limit: the
  // entries, a NUL after the last and the closing NUL fit in it.
  const size_t limit = nt ? kSectionWriteLimit : kNineXSectionWriteLimit;
  const std::string limited = entries.size() + 1 > limit ? entries.substr(0, limit - 2) : entries;
  std::vector<std::string> list;
  for (size_t pos = 0; pos < limited.size() && limited[pos] != '\0';) {
    auto end = limited.find('\0', pos);
    if (end == std::string::npos) end = limited.size();
    list.push_back(limited.substr(pos, end - pos));
    pos = end + 1;
  }
  if (const auto mapped = mapped_sections.find(section); mapped != mapped_sections.end()) {
    for (const auto& entry : list) {
      auto& stored = mapped->second;
      const auto same_key = std::find_if(stored.begin(), stored.end(), [&](const std::string& old) {
        return EqualNoCase(EntryKey(old), EntryKey(entry));
      });
      if (same_key != stored.end()) {
        *same_key = entry;
      } else {
        stored.push_back(entry);
      }
    }
    return ERROR_SUCCESS;
  }
  if (HasAttribute(path, FILE_ATTRIBUTE_READONLY)) {
    switch (undocumented.read_only_write) {
      case ReadOnlyProfileWrite::kByFamily:
        if (nt) return ERROR_ACCESS_DENIED;
        break;
      case ReadOnlyProfileWrite::kFails:
        return ERROR_ACCESS_DENIED;
      case ReadOnlyProfileWrite::kStoresNothing:
        if (nt) return ERROR_SUCCESS;
        break;
      case ReadOnlyProfileWrite::kWritten:
        break;
    }
  }
  const Syntax syntax{lone_cr, undocumented.header_name_end};
  std::string bytes;
  if (profile_write == ProfileWrite::kInPlace) {
    bytes = WriteInPlace(ProfileBytes(path), section, list, syntax, undocumented);
    if (!nt) bytes = NineXLayout(bytes, syntax);
  } else {
    auto sections = ParseProfile(ProfileBytes(path), syntax);
    // Every section of that name loses its lines, comments included; the
    // first one takes the new entries.
    ProfileSection* target = nullptr;
    for (auto& candidate : sections) {
      if (!candidate.has_header || !EqualNoCase(candidate.name, section)) continue;
      candidate.lines.clear();
      if (target == nullptr) target = &candidate;
    }
    if (target == nullptr) {
      sections.push_back(ProfileSection{section, true, {}});
      target = &sections.back();
    }
    // Entries without "=" are not key/value pairs and are not written.
    for (const auto& entry : list) {
      if (entry.find('=') != std::string::npos) target->lines.push_back(ParseEntry(entry));
    }
    bytes = SerializeProfile(sections);
  }
  return Store(SimOp::kWriteProfile, file, path, std::move(bytes), nt ? files : profile_cache);
}

bool SimulatedWindows::FileExists(const std::string& path) {
  return Injected(SimOp::kFindFile, path) == nullptr && files.count(path) != 0;
}

Status SimulatedWindows::Copy(const std::string& from, const std::string& to, bool replace) {
  file_calls.push_back((replace ? "replace " : "copy ") + from + " " + to);
  // The source is read sharing reading only, the destination written
  // sharing nothing.
  const FileHolder* source_holder = Holder(from);
  if ((source_holder != nullptr && (!source_holder->shares_reading || source_holder->writes)) ||
      Holder(to) != nullptr) {
    return kSharingViolation;
  }
  const auto source = files.find(from);
  if (source == files.end()) return ERROR_FILE_NOT_FOUND;
  if (files.count(to) != 0) {
    if (!replace) return ERROR_FILE_EXISTS;
    if (HasAttribute(to, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) {
      return ERROR_ACCESS_DENIED;
    }
  }
  const auto source_attributes = attributes.find(from);
  const DWORD copied =
      source_attributes == attributes.end() ? FILE_ATTRIBUTE_NORMAL : source_attributes->second;
  const Status status = Store(SimOp::kCopyFile, to, to, source->second, files);
  // A copy that failed leaves the destination's attributes alone.
  if (status == ERROR_SUCCESS) (void)ChangeFileAttributes(to, copied);
  return status;
}

Status SimulatedWindows::CopyFileNoOverwrite(const std::string& from, const std::string& to) {
  return Copy(from, to, false);
}

Status SimulatedWindows::CopyFileReplacing(const std::string& from, const std::string& to) {
  return Copy(from, to, true);
}

Status SimulatedWindows::RemoveFile(const std::string& path) {
  file_calls.push_back("remove " + path);
  if (files.count(path) == 0) return ERROR_FILE_NOT_FOUND;
  if (Holder(path) != nullptr) return kSharingViolation;
  if (HasAttribute(path, FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  files.erase(path);
  attributes.erase(path);
  TakeSnapshot();
  return ERROR_SUCCESS;
}

Status SimulatedWindows::FileAttributes(const std::string& path, DWORD* found) {
  if (files.count(path) == 0) return ERROR_FILE_NOT_FOUND;
  const auto it = attributes.find(path);
  *found = it == attributes.end() ? FILE_ATTRIBUTE_NORMAL : it->second;
  return ERROR_SUCCESS;
}

Status SimulatedWindows::ChangeFileAttributes(const std::string& path, DWORD changed) {
  if (files.count(path) == 0) return ERROR_FILE_NOT_FOUND;
  changed &= ~FILE_ATTRIBUTE_NORMAL;
  if (changed == 0) {
    attributes.erase(path);
  } else {
    attributes[path] = changed;
  }
  return ERROR_SUCCESS;
}

Status SimulatedWindows::ReadFileBytes(const std::string& path, std::string* bytes) {
  if (const Status status = InjectedStatus(SimOp::kReadFile, path)) return status;
  const FileHolder* holder = Holder(path);
  if (holder != nullptr && !holder->shares_reading) return kSharingViolation;
  const auto it = files.find(path);
  if (it == files.end()) return ERROR_FILE_NOT_FOUND;
  *bytes = it->second;
  return ERROR_SUCCESS;
}

int SimulatedWindows::ShowMessageBox(const std::string& text, const std::string& caption,
                                     UINT style) {
  const auto sets =
      std::count_if(registry_calls.begin(), registry_calls.end(),
                    [](const std::string& call) { return call.rfind("set ", 0) == 0; });
  boxes.push_back(ShownBox{text, caption, style, static_cast<int>(sets)});
  if (while_shown) while_shown(*this);
  if (!answers.empty()) {
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return (style & 0x0F) == MB_YESNO ? IDNO : IDOK;
}

std::vector<UndocumentedVariant> UndocumentedVariants() {
  using Sim = SimulatedWindows;
  return {
      {"a lone CR part of the line", [](Sim& s) { s.lone_cr = LoneCarriageReturn::kPartOfLine; }},
      {"a header's name ending at its first ]",
       [](Sim& s) { s.undocumented.header_name_end = HeaderNameEnd::kFirstBracket; }},
      {"the read returning the last of two same-named sections",
       [](Sim& s) { s.undocumented.same_named_read = SameNamedSectionRead::kLast; }},
      {"the read keeping blanks around key and value",
       [](Sim& s) { s.undocumented.entry_blanks = EntryBlanks::kKept; }},
      {"comments of the rewritten section before its entries",
       [](Sim& s) {
         s.undocumented.rewritten_comments = RewrittenSectionComments::kBeforeEntries;
       }},
      {"comments of the rewritten section dropped",
       [](Sim& s) { s.undocumented.rewritten_comments = RewrittenSectionComments::kDropped; }},
      {"a NUL outside the section cutting its line",
       [](Sim& s) { s.undocumented.nul_outside_section = NulOutsideSection::kCut; }},
      {"a later same-named section emptied by the documented write",
       [](Sim& s) { s.undocumented.later_same_named = LaterSameNamedSection::kEmptied; }},
      {"a write onto a read-only file failing everywhere",
       [](Sim& s) { s.undocumented.read_only_write = ReadOnlyProfileWrite::kFails; }},
      {"a write onto a read-only file storing nothing everywhere",
       [](Sim& s) { s.undocumented.read_only_write = ReadOnlyProfileWrite::kStoresNothing; }},
      {"a write onto a read-only file written",
       [](Sim& s) { s.undocumented.read_only_write = ReadOnlyProfileWrite::kWritten; }},
      {"no section read limit on NT 4.0 and 2000",
       [](Sim& s) { s.undocumented.old_nt_read = OldNtSectionRead::kUnlimited; }},
      {"the 9x flush storing part now, the rest later",
       [](Sim& s) { s.undocumented.nine_x_flush = NineXFlush::kStoresPart; }},
      {"the 9x flush storing nothing, ever",
       [](Sim& s) { s.undocumented.nine_x_flush = NineXFlush::kStoresNothing; }},
      {"the 9x flush completing later",
       [](Sim& s) { s.undocumented.nine_x_flush = NineXFlush::kCompletesLater; }},
  };
}
