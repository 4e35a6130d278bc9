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
// room, up to kMaxSectionCapacity.
constexpr DWORD kFirstReadCapacity = 10239;
constexpr DWORD kMaxSectionCapacity = 4 * 1024 * 1024;

// Reads the whole section into *section. A section too large to read whole
// is reported in a message box and false is returned: writing back a cut
// section would drop the entries that did not fit.
bool ReadDeviceSection(Platform& platform, CString* section);

// True when the section mentions the driver's file name, or an entry names
// the client application's install directory in its short form.
bool FindDriverReference(const CString& section);

// True when the entry loads the obsolete driver: key "device" and a value that
// is the driver's file name, alone or after any directory, or the entry is the
// client application's short install directory. Letter case is ignored.
bool IsDriverEntry(const CString& entry);

// Removes every driver entry; the others keep their order and letter case.
// Returns true when at least one entry was removed.
bool RemoveDriverLines(CString* section);

// The section text as the profile write takes it: each entry followed by NUL.
CString SectionList(const CString& section);

// Replaces the section in system.ini by the section text and reads it back.
// A failed write, or one that did not store the text as given, is reported
// in a message box and false is returned.
bool WriteDeviceSection(Platform& platform, const CString& section);
