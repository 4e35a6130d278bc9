#include "section/system_backup.h"

#include "section/device_section.h"

namespace {

// "system.%03d" for 0 <= n < 1000.
CString BackupFileName(int n) {
  CString name = "system.000";
  name[7] = static_cast<char>('0' + n / 100);
  name[8] = static_cast<char>('0' + n / 10 % 10);
  name[9] = static_cast<char>('0' + n % 10);
  return name;
}

}  // namespace

BackupName FindFreeBackupName(Platform& platform) {
  BackupName backup;
  backup.directory = platform.WindowsDirectory();
  if (backup.directory.empty() || backup.directory.back() != '\\') backup.directory += '\\';

  CFileFind finder(platform);
  for (int n = 0; n < kBackupNameCount; ++n) {
    backup.name = BackupFileName(n);
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
