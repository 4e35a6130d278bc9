#pragma once
// Numbered backups of system.ini, made beside it in the Windows directory
// before its "386Enh" section is rewritten, and the rewrite itself, checked
// over the whole file and undone from the backup when anything else changed.
// Every backup is a new copy made by the run; an earlier one is never
// reused, overwritten or deleted.

#include "section/device_section.h"

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
  CString original;       // system.ini's bytes when backed up; the backup holds the same
  DeviceSection section;  // the section as the profile calls read it then
};

enum class BackupOutcome {
  kBackedUp,
  // Neither the bytes nor the profile read name the driver any more
  // (another program, or another run, removed it while the question stood):
  // nothing is backed up or written.
  kNothingToRemove,
  // Shown in a message box; the section must not be written.
  kFailed,
};

// Reads system.ini and its section again: the section written must be the
// one the question was asked on (`asked`, read from a file of `asked_bytes`),
// so a file another program changed meanwhile, in either reading of its
// first "386Enh", or a section read otherwise, is reported and nothing is
// backed up. Then checks the bytes (see FileCheckProblem) and copies
// system.ini to the first free name, proved by comparing the copy byte for
// byte. A failure, every name taken included, is reported in a message box,
// after the copy this run created is deleted.
BackupOutcome BackupSystemIni(Platform& platform, const DeviceSection& asked,
                              const CString& asked_bytes, SystemIniBackup* backup);

// Writes the entries (see WriteDeviceSection), flushes the profile cache and
// checks that the profile calls read the section as written and that
// system.ini differs from the original only in its first "386Enh" section,
// which holds the entries. Any failure is reported in a message box, after
// system.ini has been put back from the backup if it was changed, and false
// is returned. When it was not changed the backup is deleted, except where
// the profile cache of Windows 95, 98 and ME may still hold the write and
// store it later; the box then says so, as it does when the cache may still
// write over a restored file.
bool RewriteDeviceSection(Platform& platform, const SystemIniBackup& backup,
                          const DeviceSection& section);

// "System file has been backed up to system.NNN".
void ShowBackupMessage(Platform& platform, const CString& name);
