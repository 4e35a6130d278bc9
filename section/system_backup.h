#pragma once
// Numbered backups of system.ini, made beside it in the Windows directory
// before its "386Enh" section is rewritten, and the rewrite itself, checked
// over the whole file and undone from the backup when anything else changed.
// Backups accumulate: a name in use is never reused or overwritten.

#include "platform/framework.h"

// "system.000" to "system.998".
constexpr int kBackupNameCount = 999;

struct BackupName {
  CString directory;  // the Windows directory, ending in one backslash
  CString name;       // "system.NNN", without the directory
  bool free = true;   // false when every name was taken (the name is then system.998)
};

// The lowest free name; system.998 when all are taken.
BackupName FindFreeBackupName(Platform& platform);

struct SystemIniBackup : BackupName {
  CString original;  // system.ini's bytes before the run; the backup holds the same
};

// Copies system.ini to the first free backup name and proves the copy by
// comparing both files byte for byte. The bytes backed up are then checked
// against `section`, the section text as read before the question (see
// CheckSectionAgainstBytes): another program may have changed the file
// since. A failure, every name taken included, is reported in a message
// box, the backup this run created is deleted first and false is returned:
// the section must then not be written.
bool BackupSystemIni(Platform& platform, const CString& section, SystemIniBackup* backup);

// Writes the section text (see WriteDeviceSection) and checks the whole of
// system.ini against the original: only the first "386Enh" section may have
// changed, and it must hold the section text's entries. Any failure is
// reported in a message box, after system.ini has been put back from the
// backup if it was changed, and false is returned. When it was not changed
// the backup is deleted, except on Windows 95, 98 and ME, whose profile
// cache may still hold the write and store it later.
bool RewriteDeviceSection(Platform& platform, const SystemIniBackup& backup,
                          const CString& section);

// "System file has been backed up to system.NNN".
void ShowBackupMessage(Platform& platform, const CString& name);
