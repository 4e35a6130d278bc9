#include "section/system_backup.h"

#include <cstdio>

#include "section/device_section.h"

BackupName FindFreeBackupName(Platform& platform) {
  BackupName backup;
  backup.directory = platform.WindowsDirectory();
  if (backup.directory.empty() || backup.directory.back() != '\\') backup.directory += '\\';

  CFileFind finder(platform);
  for (int n = 0; n < kBackupNameCount; ++n) {
    char name[16];
    (void)std::snprintf(name, sizeof name, "system.%03d", n);
    backup.name = name;
    if (!finder.FindFile(backup.directory + backup.name)) break;
  }
  return backup;
}

bool BackupSystemIni(Platform& platform, CString* name) {
  const BackupName backup = FindFreeBackupName(platform);
  *name = backup.name;
  const Status status = platform.CopyFileNoOverwrite(backup.directory + kSystemIniName,
                                                     backup.directory + backup.name);
  if (status == ERROR_SUCCESS) return true;
  AfxMessageBox(
      platform,
      "Error backing up system.ini to " + backup.name + ".\nError code: " + std::to_string(status),
      MB_ICONERROR);
  return false;
}

void ShowBackupMessage(Platform& platform, const CString& name) {
  AfxMessageBox(platform, "System file has been backed up to " + name, MB_OK);
}
