#pragma once
// The "386Enh" section as the profile read returned it, checked against
// system.ini's own bytes before the question, and again after it. The
// profile calls can miss what the file names: on Windows 95, 98 and ME the
// read may return nothing while another program holds the file open; a
// section mapped to the registry (IniFileMapping) is read from there; a byte
// order mark before the first header may hide that section. They read only
// the first section of a name, while Windows 95, 98 and ME may load every
// device that any "386Enh" section names (undocumented, so assumed). Where
// Windows is not documented (a lone carriage return, a header with two
// "]"), the file is read every way it may be.

#include <string_view>

#include "section/device_section.h"

// "Error reading system.ini." with the status, and then `why` on a line of
// its own where given.
CString ReadErrorText(Status status, const CString& why);

// The text of the box that says why the section as read cannot be edited
// safely, empty when the bytes agree with it, in every reading of a lone
// carriage return (see LineBreaks) with a header's name ending at its first
// or its last "]": the file's first "386Enh" holds a driver entry the read
// lacks ("Error reading system.ini." with 13); a later "386Enh" holds one;
// or the two readings give the first "386Enh" different entries and a
// driver entry is among them, so that no rewrite keeps the other entries in
// both.
CString FileCheckProblem(std::string_view bytes, const DeviceSection& section);

// True when any reading of the bytes shows a driver entry in a "386Enh".
bool BytesNameTheDriver(std::string_view bytes);

// True when the first "386Enh" section of `a` and of `b` hold the same
// entries (comments aside) in every reading.
bool SameSectionEntries(std::string_view a, std::string_view b);

// Flushes the profile cache, reads system.ini's bytes into *bytes and checks
// them. Returns true when the run may go on: the file is missing (*bytes
// empty), or the check finds no problem. Otherwise shows the problem in a
// message box (a file that cannot be read: ReadErrorText with the status)
// and returns false.
bool SectionReadMatchesFile(Platform& platform, const DeviceSection& section, CString* bytes);
