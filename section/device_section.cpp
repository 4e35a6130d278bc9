#include "section/device_section.h"

#include <string_view>
#include <vector>

const char kDeviceSectionName[] = "386Enh";
const char kSystemIniName[] = "system.ini";

namespace {

using std::string_view;

// Markers and forms, lowercase.
constexpr string_view kDriverFileMarker = "kvtncdrv.386";
constexpr string_view kShortInstallDirMarker = "device=c:\\progra~1\\velost~1\\zrq";
constexpr string_view kDriverFileInDirectory = "\\kvtncdrv.386";
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

// True when the lowercase `marker` occurs in `text`, letter case ignored.
// Candidates are found through `anchor`, the first part of the marker that
// has no letters, so the scan runs at the speed of a plain search.
bool ContainsNoCase(string_view text, string_view marker, string_view anchor) {
  const size_t anchor_offset = marker.find(anchor);
  for (size_t at = text.find(anchor, anchor_offset); at != string_view::npos;
       at = text.find(anchor, at + 1)) {
    const size_t start = at - anchor_offset;
    if (EqualsNoCase(text.substr(start, marker.size()), marker)) return true;
  }
  return false;
}

bool IsDriverEntryView(string_view entry) {
  if (EqualsNoCase(entry, kShortInstallDirMarker)) return true;
  // Every other driver entry ends in the driver's file name; checking that
  // first turns almost every other entry away at once.
  const auto last = entry.find_last_not_of(" \t");
  if (last == string_view::npos || !EndsWithNoCase(entry.substr(0, last + 1), kDriverFileMarker)) {
    return false;
  }
  const auto equals = entry.find('=');
  if (equals == string_view::npos ||
      !EqualsNoCase(TrimBlanks(entry.substr(0, equals)), kDeviceKey)) {
    return false;
  }
  const string_view value = TrimBlanks(entry.substr(equals + 1));
  return EqualsNoCase(value, kDriverFileMarker) || EndsWithNoCase(value, kDriverFileInDirectory);
}

// Reads the whole section into *section; false when it does not fit in
// kMaxSectionCapacity.
bool ReadSectionText(Platform& platform, CString* section) {
  std::vector<char> buffer;
  DWORD capacity = kFirstReadCapacity;
  for (;;) {
    buffer.assign(capacity + 1, '\0');
    const DWORD count =
        platform.ReadProfileSection(kDeviceSectionName, buffer.data(), capacity, kSystemIniName);
    // A count of capacity - 2 means the list may have been cut short.
    if (count + 2 < capacity) break;
    if (capacity == kMaxSectionCapacity) return false;
    capacity = capacity > kMaxSectionCapacity / 4 ? kMaxSectionCapacity : capacity * 4;
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

void ShowWriteError(Platform& platform, Status status) {
  AfxMessageBox(
      platform,
      "Error writing section 386Enh of system.ini.\nError code: " + std::to_string(status),
      MB_ICONERROR);
}

}  // namespace

bool ReadDeviceSection(Platform& platform, CString* section) {
  if (ReadSectionText(platform, section)) return true;
  AfxMessageBox(platform, "The [386Enh] section of system.ini is too large to edit safely.",
                MB_ICONERROR);
  return false;
}

bool FindDriverReference(const CString& section) {
  return ContainsNoCase(section, kDriverFileMarker, ".386") ||
         ContainsNoCase(section, kShortInstallDirMarker, "~1\\");
}

bool IsDriverEntry(const CString& entry) { return IsDriverEntryView(entry); }

bool RemoveDriverLines(CString* section) {
  const string_view text = *section;
  CString kept;
  bool changed = false;
  for (size_t begin = 0; begin < text.size();) {
    auto end = text.find(kEntryEnd, begin);
    end = end == string_view::npos ? text.size() : end + 1;
    const string_view entry = text.substr(begin, end - begin);
    const bool ends_entry = entry.back() == kEntryEnd;
    if (IsDriverEntryView(ends_entry ? entry.substr(0, entry.size() - 1) : entry)) {
      if (!changed) kept.assign(text.substr(0, begin));
      changed = true;
    } else if (changed) {
      kept.append(entry);
    }
    begin = end;
  }
  if (changed) section->swap(kept);
  return changed;
}

CString SectionList(const CString& section) {
  CString entries = section;
  for (char& c : entries) c = c == kEntryEnd ? '\0' : c;
  return entries;
}

bool WriteDeviceSection(Platform& platform, const CString& section) {
  const Status status =
      platform.WriteProfileSection(kDeviceSectionName, SectionList(section), kSystemIniName);
  if (status != ERROR_SUCCESS) {
    ShowWriteError(platform, status);
    return false;
  }
  // A write the platform accepted but did not store as given (an entry it
  // dropped, say) is no success either: read the section back to know.
  CString written;
  const CString expected = section.empty() ? CString(1, kEntryEnd) : section;
  if (!ReadSectionText(platform, &written) || written != expected) {
    ShowWriteError(platform, ERROR_SUCCESS);
    return false;
  }
  return true;
}
