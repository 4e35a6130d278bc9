#pragma once
// The "386Enh" section as the profile read returned it, checked against
// system.ini's own bytes before anything is asked or changed. The profile
// calls can miss what the file names: on Windows 95, 98 and ME the read
// returns nothing, with no error, while another program holds the file open;
// a section mapped to the registry (IniFileMapping) is read from there; and
// a byte order mark before the first header hides that section from the
// read on Windows 10. They also see only the first section of a name, while
// Windows loads every device that any "386Enh" section names.

#include "platform/framework.h"

// Flushes the profile cache and reads system.ini's bytes. Returns true when
// the run may go on: the file is missing, or, in either reading of a lone
// carriage return (see LineBreaks), its first "386Enh" section holds no
// driver entry that `section` lacks (entries counted, so two equal entries
// in the file and one in the read are a miss) and no later "386Enh" section
// holds a driver entry. Otherwise shows why in a message box and
// returns false: a file that cannot be read, or a miss, is "Error reading
// system.ini." with the status (13 for a miss); a driver entry in a later
// section asks the user to remove it by hand.
bool SectionReadMatchesFile(Platform& platform, const CString& section);
