#include "section/section_read_check.h"

#include <algorithm>
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

void ShowReadError(Platform& platform, Status status) {
  AfxMessageBox(platform, "Error reading system.ini.\nError code: " + std::to_string(status),
                MB_ICONERROR);
}

}  // namespace

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
  // A driver entry that either reading of a lone carriage return shows
  // counts: the Windows at hand may read the file that way.
  const std::vector<std::string> read = SortedDriverEntries(SectionEntries(section));
  for (const LineBreaks breaks : kEveryReading) {
    const std::vector<IniSection> sections = ParseIniFile(bytes, breaks);
    const int first = FindIniSection(sections, kDeviceSectionName);
    if (first < 0) continue;
    const std::vector<std::string> in_file = SortedDriverEntries(sections[first].lines);
    if (!std::includes(read.begin(), read.end(), in_file.begin(), in_file.end())) {
      ShowReadError(platform, ERROR_INVALID_DATA);
      return false;
    }
    for (int later = FindIniSection(sections, kDeviceSectionName, first + 1); later >= 0;
         later = FindIniSection(sections, kDeviceSectionName, later + 1)) {
      if (SortedDriverEntries(sections[later].lines).empty()) continue;
      AfxMessageBox(platform,
                    "system.ini has a second [386Enh] section that names the driver.\n"
                    "Remove that entry by hand and run this program again.",
                    MB_ICONERROR);
      return false;
    }
  }
  return true;
}
