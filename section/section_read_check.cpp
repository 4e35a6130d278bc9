#include "section/section_read_check.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "section/device_section.h"
#include "section/profile_file.h"

namespace {

// The driver entries among `lines`, in the form IniSection keeps them, sorted.
template <typename Lines>
std::vector<std::string> SortedDriverEntries(const Lines& lines) {
  std::vector<std::string> entries;
  for (const auto& line : lines) {
    const std::string entry = IniLine(line);
    if (!IsIniComment(entry) && IsDriverEntry(entry)) entries.push_back(entry);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// The section text's entries.
std::vector<std::string_view> SectionEntries(std::string_view text) {
  std::vector<std::string_view> entries;
  for (size_t begin = 0; begin < text.size();) {
    size_t end = text.find('\r', begin);
    if (end == std::string_view::npos) end = text.size();
    entries.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return entries;
}

// The entries (comments aside) of the first "386Enh" section, as they stand.
std::vector<std::string> FirstSectionEntries(const std::vector<IniSection>& sections) {
  std::vector<std::string> entries;
  const int first = FindIniSection(sections, kDeviceSectionName);
  if (first < 0) return entries;
  for (const std::string& line : sections[first].lines) {
    if (!IsIniComment(line)) entries.push_back(line);
  }
  return entries;
}

// True when a line, not a comment, is a driver entry.
bool HasDriverEntry(const std::vector<std::string>& lines) {
  return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return !IsIniComment(line) && IsDriverEntry(line);
  });
}

void ShowReadError(Platform& platform, Status status) {
  AfxMessageBox(platform, "Error reading system.ini.\nError code: " + std::to_string(status),
                MB_ICONERROR);
}

}  // namespace

FileCheck CheckSectionAgainstBytes(std::string_view bytes, const CString& section) {
  const std::vector<std::string> read = SortedDriverEntries(SectionEntries(section));
  std::vector<IniSection> readings[std::size(kEveryReading)];
  for (size_t i = 0; i < std::size(kEveryReading); ++i) {
    readings[i] = ParseIniFile(bytes, kEveryReading[i]);
  }
  // Where the two readings disagree, a rewrite that holds the kept entries
  // in one breaks them in the other.
  static_assert(std::size(kEveryReading) == 2);
  const std::vector<std::string> first_entries = FirstSectionEntries(readings[0]);
  const std::vector<std::string> other_entries = FirstSectionEntries(readings[1]);
  if (first_entries != other_entries &&
      (!read.empty() || HasDriverEntry(first_entries) || HasDriverEntry(other_entries))) {
    return FileCheck::kTwoReadings;
  }
  for (const std::vector<IniSection>& sections : readings) {
    const int first = FindIniSection(sections, kDeviceSectionName);
    if (first < 0) continue;
    const std::vector<std::string> in_file = SortedDriverEntries(sections[first].lines);
    if (!std::includes(read.begin(), read.end(), in_file.begin(), in_file.end())) {
      return FileCheck::kReadMissed;
    }
    for (int later = FindIniSection(sections, kDeviceSectionName, first + 1); later >= 0;
         later = FindIniSection(sections, kDeviceSectionName, later + 1)) {
      if (HasDriverEntry(sections[later].lines)) return FileCheck::kSecondSection;
    }
  }
  return FileCheck::kMatches;
}

void ShowFileCheckBox(Platform& platform, FileCheck check) {
  switch (check) {
    case FileCheck::kMatches:
      return;
    case FileCheck::kReadMissed:
      ShowReadError(platform, ERROR_INVALID_DATA);
      return;
    case FileCheck::kSecondSection:
      AfxMessageBox(platform,
                    "system.ini has a second [386Enh] section that names the driver.\n"
                    "Remove that entry by hand and run this program again.",
                    MB_ICONERROR);
      return;
    case FileCheck::kTwoReadings:
      AfxMessageBox(platform,
                    "system.ini has a line break in [386Enh] that Windows may read two ways.\n"
                    "Remove the driver's entry by hand and run this program again.",
                    MB_ICONERROR);
      return;
  }
}

bool SectionReadMatchesFile(Platform& platform, const CString& section) {
  // On the 9x family another program's profile write may still be in the
  // cache, which the read saw and the disk does not hold yet.
  platform.FlushProfileCache(kSystemIniName);
  CString bytes;
  const Status status =
      platform.ReadFileBytes(WindowsDirectoryPath(platform) + kSystemIniName, &bytes);
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) {
    ShowReadError(platform, status);
    return false;
  }
  const FileCheck check = CheckSectionAgainstBytes(bytes, section);
  if (check == FileCheck::kMatches) return true;
  ShowFileCheckBox(platform, check);
  return false;
}
