#include "section/device_section.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

const char kDeviceSectionName[] = "386Enh";
const char kSystemIniName[] = "system.ini";
const char kNtIgnoresSystemIni[] =
    "Windows NT and later do not load drivers from system.ini; this matters only to Windows 95, "
    "98 and ME.";

namespace {

using std::string_view;

// The driver's file name, and the client application's short install
// directory, which named on its own loads the driver from there. Lowercase.
constexpr string_view kDriverFileName = "kvtncdrv.386";
constexpr string_view kShortInstallDir = "c:\\progra~1\\velost~1\\zrq";
constexpr string_view kDeviceKey = "device";

constexpr char kEntryEnd = '\r';

// Folds A-Z only, so every character keeps its position.
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `text` equals the lowercase `lower`, letter case ignored.
bool EqualsNoCase(string_view text, string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (Lower(text[i]) != lower[i]) return false;
  }
  return true;
}

bool EndsWithNoCase(string_view text, string_view lower) {
  return text.size() >= lower.size() &&
         EqualsNoCase(text.substr(text.size() - lower.size()), lower);
}

string_view TrimBlanks(string_view text) {
  const auto begin = text.find_first_not_of(" \t");
  if (begin == string_view::npos) return string_view();
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// Adds the start of every entry that holds the lowercase `marker`, letter
// case ignored, to *starts. Candidates are found through `anchor`, the first
// part of the marker that has no letters, so the scan runs at the speed of a
// plain search.
void AddEntriesHolding(string_view text, string_view marker, string_view anchor,
                       std::vector<size_t>* starts) {
  const size_t anchor_offset = marker.find(anchor);
  for (size_t at = text.find(anchor, anchor_offset); at != string_view::npos;
       at = text.find(anchor, at + 1)) {
    const size_t start = at - anchor_offset;
    if (!EqualsNoCase(text.substr(start, marker.size()), marker)) continue;
    const size_t entry_end = text.rfind(kEntryEnd, start);
    starts->push_back(entry_end == string_view::npos ? 0 : entry_end + 1);
    // One look at each entry is enough.
    at = text.find(kEntryEnd, start);
    if (at == string_view::npos) break;
  }
}

// The entries that may be driver entries, in text order, as (begin, end)
// with end at the entry's carriage return or the text's end: every driver
// entry holds the driver's file name or the short install directory, so no
// other entry needs a closer look.
std::vector<std::pair<size_t, size_t>> CandidateEntries(string_view text) {
  std::vector<size_t> starts;
  AddEntriesHolding(text, kDriverFileName, ".386", &starts);
  const auto second = static_cast<std::ptrdiff_t>(starts.size());
  AddEntriesHolding(text, kShortInstallDir, "~1\\", &starts);
  // Each search finds its entries in text order.
  std::inplace_merge(starts.begin(), starts.begin() + second, starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  std::vector<std::pair<size_t, size_t>> entries;
  for (const size_t start : starts) {
    const size_t end = text.find(kEntryEnd, start);
    entries.emplace_back(start, end == string_view::npos ? text.size() : end);
  }
  return entries;
}

// The file a "device=" value names, as Windows reads it: without a comment,
// the blanks around it, one pair of enclosing quotes and trailing dots.
string_view DeviceFile(string_view value) {
  value = TrimBlanks(value.substr(0, value.find(';')));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  const auto last = value.find_last_not_of('.');
  return last == string_view::npos ? string_view() : value.substr(0, last + 1);
}

bool IsDriverFile(string_view file) {
  if (EqualsNoCase(file, kShortInstallDir)) return true;
  if (file.size() == kShortInstallDir.size() + 1 && file.back() == '\\' &&
      EqualsNoCase(file.substr(0, kShortInstallDir.size()), kShortInstallDir)) {
    return true;
  }
  if (!EndsWithNoCase(file, kDriverFileName)) return false;
  const size_t name_at = file.size() - kDriverFileName.size();
  if (name_at == 0) return true;
  // In a directory, at a root, or drive-relative ("d:kvtncdrv.386").
  const char before = file[name_at - 1];
  if (before == '\\' || before == '/') return true;
  const char drive = Lower(file[0]);
  return before == ':' && name_at == 2 && drive >= 'a' && drive <= 'z';
}

bool IsDriverEntryView(string_view entry) {
  const auto equals = entry.find('=');
  return equals != string_view::npos &&
         EqualsNoCase(TrimBlanks(entry.substr(0, equals)), kDeviceKey) &&
         IsDriverFile(DeviceFile(entry.substr(equals + 1)));
}

}  // namespace

DWORD MaxSectionCapacity(const WindowsVersion& version) {
  const bool windows7_or_later = version.platform_id == VER_PLATFORM_WIN32_NT &&
                                 (version.major > 6 || (version.major == 6 && version.minor >= 1));
  return windows7_or_later ? kMaxSectionCapacity : kOldWindowsSectionCapacity;
}

CString WindowsDirectoryPath(Platform& platform) {
  CString directory = platform.WindowsDirectory();
  if (directory.empty() || directory.back() != '\\') directory += '\\';
  return directory;
}

void ShowSystemIniError(Platform& platform, const CString& text) {
  const bool nt = platform.Version().platform_id == VER_PLATFORM_WIN32_NT;
  AfxMessageBox(platform, nt ? text + "\n" + kNtIgnoresSystemIni : text, MB_ICONERROR);
}

bool ReadDeviceSection(Platform& platform, CString* section) {
  // The section text is as long as its list less the closing NUL.
  if (!ReadSectionText(platform, section) || section->size() + 1 > kMaxSectionListBytes) {
    ShowSystemIniError(platform, "The [386Enh] section of system.ini is too large to edit safely.");
    return false;
  }
  return true;
}

bool ReadSectionText(Platform& platform, CString* section) {
  const DWORD max_capacity = MaxSectionCapacity(platform.Version());
  std::vector<char> buffer;
  DWORD capacity = kFirstReadCapacity;
  for (;;) {
    buffer.assign(capacity + 1, '\0');
    const DWORD count =
        platform.ReadProfileSection(kDeviceSectionName, buffer.data(), capacity, kSystemIniName);
    // A count of capacity - 2 means the list may have been cut short.
    if (count + 2 < capacity) break;
    if (capacity == max_capacity) return false;
    capacity = capacity > max_capacity / 4 ? max_capacity : capacity * 4;
  }
  // Every entry's NUL becomes a carriage return; the NUL that closes the list
  // ends the text. An empty section becomes a text of one carriage return.
  for (DWORD i = 0; i + 1 < capacity; ++i) {
    if (buffer[i] != '\0') continue;
    buffer[i] = kEntryEnd;
    if (buffer[i + 1] == '\0') break;
  }
  buffer[capacity] = '\0';
  section->assign(buffer.data());
  return true;
}

bool FindDriverReference(const CString& section) {
  const string_view text = section;
  for (const auto& [begin, end] : CandidateEntries(text)) {
    if (IsDriverEntryView(text.substr(begin, end - begin))) return true;
  }
  return false;
}

bool IsDriverEntry(const CString& entry) { return IsDriverEntryView(entry); }

bool RemoveDriverLines(CString* section) {
  const string_view text = *section;
  CString kept;
  size_t copied = 0;  // text before this position is in kept or removed
  bool changed = false;
  for (const auto& [begin, end] : CandidateEntries(text)) {
    if (!IsDriverEntryView(text.substr(begin, end - begin))) continue;
    if (!changed) kept.reserve(text.size());
    kept.append(text.substr(copied, begin - copied));
    copied = end == text.size() ? end : end + 1;
    changed = true;
  }
  if (!changed) return false;
  kept.append(text.substr(copied));
  section->swap(kept);
  return true;
}

CString SectionList(const CString& section) {
  CString entries = section;
  for (char& c : entries) c = c == kEntryEnd ? '\0' : c;
  return entries;
}

Status WriteDeviceSection(Platform& platform, const CString& section) {
  const Status status =
      platform.WriteProfileSection(kDeviceSectionName, SectionList(section), kSystemIniName);
  if (status != ERROR_SUCCESS) return status;
  // A write the platform accepted but did not store as given (an entry it
  // dropped, say) is no success either: read the section back to know.
  return CheckSectionRead(platform, section);
}

Status CheckSectionRead(Platform& platform, const CString& section) {
  CString read;
  const CString expected = section.empty() ? CString(1, kEntryEnd) : section;
  return ReadSectionText(platform, &read) && read == expected ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}
