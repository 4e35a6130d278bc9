#include "section/section_read_check.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "section/device_section.h"
#include "section/profile_file.h"

namespace {

// The driver entries among `lines`, sorted.
std::vector<std::string> SortedDriverEntries(const std::vector<std::string>& lines) {
  std::vector<std::string> entries = DriverEntries(lines);
  std::sort(entries.begin(), entries.end());
  return entries;
}

// What `line`, read as a file of its own, is: a "386Enh" header, another
// header, or no header.
enum class Header { kDeviceSection, kOther, kNone };
Header HeaderOf(std::string_view line) {
  const std::vector<IniSection> sections = ParseIniFile(line, LineBreaks::kLineFeed);
  if (sections.size() < 2) return Header::kNone;
  return FindIniSection(sections, kDeviceSectionName) >= 0 ? Header::kDeviceSection
                                                           : Header::kOther;
}

// The parts of the first line that a lone carriage return splits in one
// reading only, in the first "386Enh" section or holding its header (else
// of the first such line anywhere), quoted: what a technician looks for in
// an editor, which may show them as one line.
CString JoinedLineParts(std::string_view bytes) {
  CString first_joined;
  bool in_section = false;
  for (size_t begin = 0; begin < bytes.size();) {
    size_t end = bytes.find('\n', begin);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(begin, end - begin);
    begin = end + 1;
    std::vector<std::string_view> parts;
    bool names_section = false;
    for (size_t at = 0; at <= line.size();) {
      size_t cr = line.find('\r', at);
      if (cr == std::string_view::npos) cr = line.size();
      const std::string_view part = TrimIniBlanks(line.substr(at, cr - at));
      at = cr + 1;
      if (part.empty()) continue;
      parts.push_back(part);
      names_section = names_section || HeaderOf(part) == Header::kDeviceSection;
    }
    if (parts.size() > 1) {
      CString quoted;
      for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) quoted += i + 1 == parts.size() ? " and " : ", ";
        quoted += "\"" + std::string(parts[i]) + "\"";
      }
      if (in_section || names_section) return quoted;
      if (first_joined.empty()) first_joined = quoted;
    }
    const Header header = parts.empty() ? Header::kNone : HeaderOf(parts.front());
    if (header != Header::kNone) in_section = header == Header::kDeviceSection;
  }
  return first_joined;
}

}  // namespace

CString ReadErrorText(Status status, const CString& why) {
  return "Error reading system.ini.\nError code: " + std::to_string(status) +
         (why.empty() ? "" : "\n" + why);
}

CString FileCheckProblem(std::string_view bytes, const DeviceSection& section) {
  // In the form IniSection keeps a line, as the file's lines are compared.
  std::vector<std::string> read;
  for (const CString& entry : section) read.push_back(IniLine(entry));
  read = SortedDriverEntries(read);
  const std::vector<IniSection> readings[] = {ParseIniFile(bytes, kEveryReading[0]),
                                              ParseIniFile(bytes, kEveryReading[1])};
  static_assert(std::size(kEveryReading) == 2);
  // Where the two readings disagree, a rewrite that holds the kept entries
  // in one breaks them in the other.
  const std::vector<std::string> first_entries =
      FirstSectionEntries(readings[0], kDeviceSectionName);
  const std::vector<std::string> other_entries =
      FirstSectionEntries(readings[1], kDeviceSectionName);
  if (first_entries != other_entries &&
      (!read.empty() || FindDriverReference(first_entries) || FindDriverReference(other_entries))) {
    return "system.ini has a line break in [386Enh] that Windows may read two ways: " +
           JoinedLineParts(bytes) +
           " may be read as one line.\nWith a text editor, put them on lines of their own "
           "(delete none of them), then run this program again.";
  }
  for (const std::vector<IniSection>& sections : readings) {
    const int first = FindIniSection(sections, kDeviceSectionName);
    if (first < 0) continue;
    // Entries counted: two equal ones in the file and one in the read are a
    // miss.
    const std::vector<std::string> in_file = SortedDriverEntries(sections[first].lines);
    if (!std::includes(read.begin(), read.end(), in_file.begin(), in_file.end())) {
      return ReadErrorText(ERROR_INVALID_DATA,
                           "Its [386Enh] section holds a driver entry that Windows did not read: "
                           "another program may have just changed the file, or the [386Enh] "
                           "header line holds a second \"]\".\nRun this program again; if this "
                           "box comes back, remove the entry with a text editor.");
    }
    for (int later = FindIniSection(sections, kDeviceSectionName, first + 1); later >= 0;
         later = FindIniSection(sections, kDeviceSectionName, later + 1)) {
      if (FindDriverReference(sections[later].lines)) {
        return "system.ini has a second [386Enh] section that names the driver.\n"
               "Remove that entry by hand and run this program again.";
      }
    }
  }
  return CString();
}

bool BytesNameTheDriver(std::string_view bytes) {
  for (const LineBreaks breaks : kEveryReading) {
    const std::vector<IniSection> sections = ParseIniFile(bytes, breaks);
    for (int i = FindIniSection(sections, kDeviceSectionName); i >= 0;
         i = FindIniSection(sections, kDeviceSectionName, i + 1)) {
      if (FindDriverReference(sections[i].lines)) return true;
    }
  }
  return false;
}

bool SameSectionEntries(std::string_view a, std::string_view b) {
  return std::all_of(std::begin(kEveryReading), std::end(kEveryReading), [&](LineBreaks breaks) {
    return FirstSectionEntries(ParseIniFile(a, breaks), kDeviceSectionName) ==
           FirstSectionEntries(ParseIniFile(b, breaks), kDeviceSectionName);
  });
}

bool SectionReadMatchesFile(Platform& platform, const DeviceSection& section, CString* bytes) {
  // On the 9x family another program's profile write may still be in the
  // cache, which the read saw and the disk does not hold yet.
  platform.FlushProfileCache(kSystemIniName);
  const Status status =
      platform.ReadFileBytes(WindowsDirectoryPath(platform) + kSystemIniName, bytes);
  if (status == ERROR_FILE_NOT_FOUND) bytes->clear();
  const CString problem = status == ERROR_FILE_NOT_FOUND ? CString()
                          : status != ERROR_SUCCESS      ? ReadErrorText(status, CString())
                                                         : FileCheckProblem(*bytes, section);
  if (!problem.empty()) ShowSystemIniError(platform, problem);
  return problem.empty();
}
