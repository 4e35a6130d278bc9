#include "section/device_section.h"

#include <vector>

const char kDeviceSectionName[] = "386Enh";
const char kSystemIniName[] = "system.ini";

namespace {

const char kDriverFileMarker[] = "kvtncdrv.386";
const char kShortInstallDirMarker[] = "device=c:\\progra~1\\velost~1\\zrq";
const char kDriverFileName[] = "kvtncdrv.386";
const char kDriverFileInDirectory[] = "\\kvtncdrv.386";

constexpr char kEntryEnd = '\r';

// Folds A-Z only, so every character keeps its position.
CString LowerCopy(const CString& text) {
  CString lower = text;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

CString TrimBlanks(const CString& text) {
  const auto begin = text.find_first_not_of(" \t");
  if (begin == CString::npos) return CString();
  const auto end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

bool EndsWith(const CString& text, const CString& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

namespace {

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
  const CString lower = LowerCopy(section);
  return lower.find(kDriverFileMarker) != CString::npos ||
         lower.find(kShortInstallDirMarker) != CString::npos;
}

bool IsDriverEntry(const CString& entry) {
  const CString lower = LowerCopy(entry);
  if (lower == kShortInstallDirMarker) return true;
  const auto equals = lower.find('=');
  if (equals == CString::npos || TrimBlanks(lower.substr(0, equals)) != "device") return false;
  const CString value = TrimBlanks(lower.substr(equals + 1));
  return value == kDriverFileName || EndsWith(value, kDriverFileInDirectory);
}

bool RemoveDriverLines(CString* section) {
  CString kept;
  kept.reserve(section->size());
  bool changed = false;
  size_t begin = 0;
  while (begin < section->size()) {
    auto end = section->find(kEntryEnd, begin);
    end = end == CString::npos ? section->size() : end + 1;
    const CString entry = section->substr(begin, end - begin);
    const CString entry_text =
        entry.back() == kEntryEnd ? entry.substr(0, entry.size() - 1) : entry;
    if (IsDriverEntry(entry_text)) {
      changed = true;
    } else {
      kept += entry;
    }
    begin = end;
  }
  if (changed) section->swap(kept);
  return changed;
}

bool WriteDeviceSection(Platform& platform, const CString& section) {
  CString entries = section;
  for (char& c : entries) {
    if (c == kEntryEnd) c = '\0';
  }
  const Status status = platform.WriteProfileSection(kDeviceSectionName, entries, kSystemIniName);
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
