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
  CString section;   // the section text as read before the question
};

enum class BackupOutcome {
  kBackedUp,
  // The bytes hold no driver entry (another program, or another run,
  // removed it while the question stood): nothing is backed up or written.
  kNothingToRemove,
  // Shown in a message box; the section must not be written.
  kFailed,
};

// Reads system.ini and checks its bytes against `section`, the section
// text as read before the question (see CheckSectionAgainstBytes): another
// program may have changed the file since. Then names a backup holding
// exactly those bytes: an earlier backup that already does (one a run left
// when its write did not reach the file), so that repeated runs leave one
// backup of the same file rather than one each; otherwise a copy to the
// first free name, proved by comparing it byte for byte. A failure, every
// name taken included, is reported in a message box, after the copy this
// run created is deleted.
BackupOutcome BackupSystemIni(Platform& platform, const CString& section, SystemIniBackup* backup);

// Writes the section text (see WriteDeviceSection) and checks the whole of
// system.ini against the original: only the first "386Enh" section may have
// changed, and it must hold the section text's entries. Any failure is
// reported in a message box, after system.ini has been put back from the
// backup if it was changed, and false is returned. When it was not changed
// the backup is deleted, except where the profile cache of Windows 95, 98
// and ME may still hold the write and store it later; the box then says so,
// as it does when the cache may still write over a restored file.
bool RewriteDeviceSection(Platform& platform, const SystemIniBackup& backup,
                          const CString& section);

// "System file has been backed up to system.NNN".
void ShowBackupMessage(Platform& platform, const CString& name);
