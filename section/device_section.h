#pragma once
// The "386Enh" section of system.ini, where the Windows 9x family names the
// virtual device drivers it loads at startup.
//
// The section text holds the section's entries in file order, each followed
// by one carriage return, and nothing else.

#include "platform/framework.h"

extern const char kDeviceSectionName[];  // "386Enh"
extern const char kSystemIniName[];      // "system.ini", in the Windows directory

// The capacity of the first read; larger sections are read again, with more
// room, up to the capacity the platform's profile calls handle.
constexpr DWORD kFirstReadCapacity = 10239;
constexpr DWORD kMaxSectionCapacity = 4 * 1024 * 1024;
// The most the profile calls of the 9x family, and of the NT family before
// Windows 7 (6.1), handle of one section.
constexpr DWORD kOldWindowsSectionCapacity = 32767;

// The longest list, its entries, their NULs and the closing NUL, that the
// section write takes on every Windows ("limited to 65,535 bytes"). A longer
// section could be cut by the write, so it is too large to edit safely.
constexpr size_t kMaxSectionListBytes = 65535;

// The largest capacity a section read may use on that Windows: a section
// whose list does not fit in it (with its closing NUL and one spare
// character) is too large to edit safely.
DWORD MaxSectionCapacity(const WindowsVersion& version);

// The Windows directory, ending in one backslash.
CString WindowsDirectoryPath(Platform& platform);

// The line the boxes about system.ini end with on the NT family, which
// loads no driver from system.ini ("Windows NT ignores this information",
// the Resource Kit on [386Enh]).
extern const char kNtIgnoresSystemIni[];

// An error box about system.ini; on the NT family it ends with
// kNtIgnoresSystemIni, since there the box concerns only Windows 95, 98 and
// ME starting from the same file.
void ShowSystemIniError(Platform& platform, const CString& text);

// Reads the whole section into *section. A section too large to read whole,
// or to write back whole, is reported in a message box and false is
// returned: writing back a cut section would drop the entries that did not
// fit. A missing system.ini is an empty section.
bool ReadDeviceSection(Platform& platform, CString* section);

// Reads the whole section into *section, as the profile calls see it: on
// Windows 95, 98 and ME with what their cache holds and the disk may not
// yet (the profile calls read a write back before any flush: Wine's
// conformance tests test_profile_string and test_profile_int, which pass
// on 9x too). False, with no box, when it does not fit in what they handle.
bool ReadSectionText(Platform& platform, CString* section);

// True when an entry of the section loads the obsolete driver, that is when
// RemoveDriverLines would remove something.
bool FindDriverReference(const CString& section);

// True when the entry loads the obsolete driver: key "device" (blanks around
// it ignored) and a value that, without a ";" comment, surrounding blanks,
// one pair of enclosing quotes and trailing dots, is the driver's file name
// alone, after "\" or "/" (any directory, a root) or after a drive's ":";
// or is the client application's short install directory, with or without
// one trailing backslash. Letter case is ignored.
bool IsDriverEntry(const CString& entry);

// Removes every driver entry; the others keep their order and letter case.
// Returns true when at least one entry was removed.
bool RemoveDriverLines(CString* section);

// The section text as the profile write takes it: each entry followed by NUL.
CString SectionList(const CString& section);

// 0 when the profile calls read the section as the section text, else 13
// (ERROR_INVALID_DATA).
Status CheckSectionRead(Platform& platform, const CString& section);

// Replaces the section in system.ini by the section text and reads it back.
// Returns 0, the write's status, or 13 (ERROR_INVALID_DATA) when the section
// read back is not the text as given.
Status WriteDeviceSection(Platform& platform, const CString& section);
