#include "section/device_section.h"

#include <algorithm>

#include "section/profile_file.h"

const char kDeviceSectionName[] = "386Enh";
const char kSystemIniName[] = "system.ini";
const char kNtIgnoresSystemIni[] =
    "Windows NT and later ignore the [386Enh] section of system.ini, so its driver entry matters "
    "only to Windows 95, 98 and ME.";

namespace {

using std::string_view;

// The driver's file name, and the client application's short install
// directory, which named on its own loads the driver from there.
constexpr string_view kDriverFileName = "kvtncdrv.386";
constexpr string_view kShortInstallDir = "c:\\progra~1\\velost~1\\zrq";
constexpr string_view kDeviceKey = "device";

bool EndsWithNoCase(string_view text, string_view end) {
  return text.size() >= end.size() && EqualNoCase(text.substr(text.size() - end.size()), end);
}

string_view TrimBlanks(string_view text) {
  const auto begin = text.find_first_not_of(" \t");
  if (begin == string_view::npos) return string_view();
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
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
  if (EqualNoCase(file, kShortInstallDir)) return true;
  if (file.size() == kShortInstallDir.size() + 1 && file.back() == '\\' &&
      EqualNoCase(file.substr(0, kShortInstallDir.size()), kShortInstallDir)) {
    return true;
  }
  if (!EndsWithNoCase(file, kDriverFileName)) return false;
  const size_t name_at = file.size() - kDriverFileName.size();
  if (name_at == 0) return true;
  // In a directory, at a root, or drive-relative ("d:kvtncdrv.386"); 0x20
  // folds A-Z onto a-z and moves no other character into that range.
  const char before = file[name_at - 1];
  if (before == '\\' || before == '/') return true;
  const char drive = static_cast<char>(file[0] | 0x20);
  return before == ':' && name_at == 2 && drive >= 'a' && drive <= 'z';
}

}  // namespace

CString WindowsDirectoryPath(Platform& platform) {
  CString directory = platform.WindowsDirectory();
  if (directory.empty() || directory.back() != '\\') directory += '\\';
  return directory;
}

void ShowSystemIniError(Platform& platform, const CString& text, bool nt_line) {
  const bool nt = platform.Version().platform_id == VER_PLATFORM_WIN32_NT;
  AfxMessageBox(platform, nt && nt_line ? text + "\n" + kNtIgnoresSystemIni : text, MB_ICONERROR);
}

bool ReadSectionEntries(Platform& platform, DeviceSection* section) {
  const WindowsVersion version = platform.Version();
  const bool windows7_or_later = version.platform_id == VER_PLATFORM_WIN32_NT &&
                                 (version.major > 6 || (version.major == 6 && version.minor >= 1));
  // Room for the longest list the write takes and one spare character, as
  // the read counts it.
  const DWORD capacity =
      windows7_or_later ? static_cast<DWORD>(kMaxSectionListBytes + 2) : kOldWindowsSectionCapacity;
  std::vector<char> buffer(capacity + 1, '\0');
  const DWORD count =
      platform.ReadProfileSection(kDeviceSectionName, buffer.data(), capacity, kSystemIniName);
  section->clear();
  // A count of capacity - 2 means the list may have been cut short.
  if (count + 2 >= capacity) return false;
  for (const char* entry = buffer.data(); *entry != '\0'; entry += section->back().size() + 1) {
    section->emplace_back(entry);
  }
  return true;
}

bool ReadDeviceSection(Platform& platform, DeviceSection* section) {
  size_t list_bytes = 1;  // the closing NUL
  const bool read = ReadSectionEntries(platform, section);
  for (const CString& entry : *section) list_bytes += entry.size() + 1;
  if (!read || list_bytes > kMaxSectionListBytes) {
    ShowSystemIniError(platform, "The [386Enh] section of system.ini is too large to edit safely.");
    return false;
  }
  return true;
}

bool IsDriverEntry(string_view entry) {
  const auto equals = entry.find('=');
  return equals != string_view::npos &&
         EqualNoCase(TrimBlanks(entry.substr(0, equals)), kDeviceKey) &&
         IsDriverFile(DeviceFile(entry.substr(equals + 1)));
}

std::vector<std::string> DriverEntries(const std::vector<std::string>& lines) {
  std::vector<std::string> entries;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(entries),
               [](const std::string& line) { return IsDriverEntry(line); });
  return entries;
}

bool FindDriverReference(const DeviceSection& section) { return !DriverEntries(section).empty(); }

bool RemoveDriverLines(DeviceSection* section) {
  const auto kept = std::remove_if(section->begin(), section->end(),
                                   [](const CString& entry) { return IsDriverEntry(entry); });
  const bool changed = kept != section->end();
  section->erase(kept, section->end());
  return changed;
}

Status WriteDeviceSection(Platform& platform, const DeviceSection& section) {
  // Each entry followed by NUL; the platform adds the closing NUL.
  CString list;
  for (const CString& entry : section) list += entry + '\0';
  return platform.WriteProfileSection(kDeviceSectionName, list, kSystemIniName);
}
