#pragma once
// The "386Enh" section as the profile read returned it, checked against
// system.ini's own bytes before anything is asked, and again against the
// bytes backed up before anything is written. The profile calls can miss
// what the file names: on Windows 95, 98 and ME the read may return nothing
// while another program holds the file open; a section mapped to the
// registry (IniFileMapping) is read from there; and a byte order mark before
// the first header may hide that section from the read. They also see only
// the first section of a name, while Windows 95, 98 and ME may load every
// device that any "386Enh" section names (undocumented, so assumed). And
// where Windows is not documented (a lone
// carriage return, a header with two "]"), the file may be read more than
// one way: every way counts.

#include <string_view>

#include "section/device_section.h"

// What system.ini's bytes say of the section text as read.
enum class FileCheck {
  kMatches,
  // The file's first "386Enh" holds a driver entry the read lacks (entries
  // counted, so two equal entries in the file and one in the read are a
  // miss): "Error reading system.ini." with 13.
  kReadMissed,
  // A later "386Enh" section holds a driver entry.
  kSecondSection,
  // The two readings of a lone carriage return give the first "386Enh"
  // different entries, and a driver entry is among them: no rewrite can
  // keep the other entries in both readings.
  kTwoReadings,
};

// Checks the bytes in every reading of a lone carriage return (see
// LineBreaks), with a header's name ending at its first or its last "]".
FileCheck CheckSectionAgainstBytes(std::string_view bytes, const DeviceSection& section);

// "Error reading system.ini." with the status, and then `why` on a line of
// its own where given.
void ShowReadError(Platform& platform, Status status, const CString& why = CString());

// The message box for a check of `bytes` that failed.
void ShowFileCheckBox(Platform& platform, FileCheck check, std::string_view bytes);

// True when any reading of the bytes shows a driver entry in a "386Enh"
// section.
bool BytesNameTheDriver(std::string_view bytes);

// True when the first "386Enh" section of `a` and of `b` hold the same
// entries (comments aside) in every reading.
bool SameSectionEntries(std::string_view a, std::string_view b);

// Flushes the profile cache, reads system.ini's bytes into *bytes and checks
// them. Returns true when the run may go on: the file is missing (*bytes
// empty), or the check matches. Otherwise shows why in a message box and
// returns false: a file that cannot be read is "Error reading system.ini."
// with the status.
bool SectionReadMatchesFile(Platform& platform, const DeviceSection& section, CString* bytes);
