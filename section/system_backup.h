#pragma once
// Numbered backups of system.ini, made beside it in the Windows directory
// before its "386Enh" section is rewritten. Backups accumulate: a name in
// use is never reused or overwritten.

#include "platform/framework.h"

// "system.000" to "system.998".
constexpr int kBackupNameCount = 999;

struct BackupName {
  CString directory;  // the Windows directory, ending in one backslash
  CString name;       // "system.NNN", without the directory
};

// The lowest free name; system.998 when all are taken.
BackupName FindFreeBackupName(Platform& platform);

// Copies system.ini to the first free backup name and stores that name in
// *name. A failed copy is reported in a message box and false is returned:
// the section must then not be written.
bool BackupSystemIni(Platform& platform, CString* name);

// "System file has been backed up to system.NNN".
void ShowBackupMessage(Platform& platform, const CString& name);
