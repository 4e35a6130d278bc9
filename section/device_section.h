#pragma once
// The "386Enh" section of system.ini, where the Windows 9x family names the
// virtual device drivers it loads at startup, as the list of its entries in
// file order, from the profile read to the profile write.

#include <string_view>
#include <vector>

#include "platform/framework.h"

extern const char kDeviceSectionName[];  // "386Enh"
extern const char kSystemIniName[];      // "system.ini", in the Windows directory

// The section's entries in file order, each as the profile read returns it.
using DeviceSection = std::vector<CString>;

// The most the profile calls of the 9x family, and of the NT family before
// Windows 7 (6.1), handle of one section.
constexpr DWORD kOldWindowsSectionCapacity = 32767;

// The longest list, its entries, their NULs and the closing NUL, that the
// section write takes on every Windows ("limited to 65,535 bytes"). A longer
// section could be cut by the write, so it is too large to edit safely.
constexpr size_t kMaxSectionListBytes = 65535;

// The Windows directory, ending in one backslash.
CString WindowsDirectoryPath(Platform& platform);

// The line the boxes about system.ini end with on the NT family, which
// ignores [386Enh] ("Windows NT ignores this information", the Resource
// Kit on [386Enh]).
extern const char kNtIgnoresSystemIni[];

// An error box about system.ini. On the NT family it ends with
// kNtIgnoresSystemIni when `nt_line` is set: the box then concerns only
// Windows 95, 98 and ME starting from the same file.
void ShowSystemIniError(Platform& platform, const CString& text, bool nt_line = true);

// Reads the whole section in one call, as large as the profile calls of this
// Windows handle or the section write takes, whichever is less: on Windows
// 95, 98 and ME with what their cache holds and the disk may not yet (the
// profile calls read a write back before any flush: Wine's conformance
// tests test_profile_string and test_profile_int, which pass on 9x too).
// False, with no box and no entries, when the section does not fit. A
// missing system.ini is an empty section.
bool ReadSectionEntries(Platform& platform, DeviceSection* section);

// ReadSectionEntries; a section that does not fit is reported in a message
// box: writing back a cut section would drop the entries that did not fit.
bool ReadDeviceSection(Platform& platform, DeviceSection* section);

// True when the entry loads the obsolete driver: key "device" (blanks around
// it ignored) and a value that, without a ";" comment, surrounding blanks,
// one pair of enclosing quotes and trailing dots, is the driver's file name
// alone, after "\" or "/" (any directory, a root) or after a drive's ":";
// or is the client application's short install directory, with or without
// one trailing backslash. Letter case is ignored. A comment (";...") is
// never one, as its key is never "device".
bool IsDriverEntry(std::string_view entry);

// The driver entries among `lines`, in their order.
std::vector<std::string> DriverEntries(const std::vector<std::string>& lines);

// True when an entry of the section loads the obsolete driver.
bool FindDriverReference(const DeviceSection& section);

// Removes every driver entry; the others keep their order and letter case.
// Returns true when at least one entry was removed.
bool RemoveDriverLines(DeviceSection* section);

// Replaces the section in system.ini by the entries. Returns 0 or the
// write's status.
Status WriteDeviceSection(Platform& platform, const DeviceSection& section);
