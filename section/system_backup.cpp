#include "section/system_backup.h"

#include "section/device_section.h"
#include "section/profile_file.h"
#include "section/section_read_check.h"

namespace {

// "system.%03d" for 0 <= n < 1000.
CString BackupFileName(int n) {
  CString name = "system.000";
  name[7] = static_cast<char>('0' + n / 100);
  name[8] = static_cast<char>('0' + n / 10 % 10);
  name[9] = static_cast<char>('0' + n % 10);
  return name;
}

// The status shown when a file's bytes are not the ones expected.
constexpr Status kBytesDiffer = ERROR_INVALID_DATA;

// 0 when the file holds exactly `expected`; the read's status or
// kBytesDiffer otherwise.
Status CompareFile(Platform& platform, const CString& path, const CString& expected) {
  CString bytes;
  const Status status = platform.ReadFileBytes(path, &bytes);
  if (status != ERROR_SUCCESS) return status;
  return bytes == expected ? ERROR_SUCCESS : kBytesDiffer;
}

// Deletes the backup this run made. The copy took system.ini's attributes
// with it, and a read-only file cannot be deleted.
void RemoveOwnBackup(Platform& platform, const CString& path) {
  platform.ChangeFileAttributes(path, FILE_ATTRIBUTE_NORMAL);
  platform.RemoveFile(path);
}

// Replaces system.ini by the backup. A replacing copy fails onto a hidden
// or read-only file, so those two attributes are lifted for the copy;
// system.ini has its own attributes again afterwards, whatever the copy did.
Status RestoreFromBackup(Platform& platform, const CString& backup_path, const CString& ini_path) {
  constexpr DWORD kRefusesCopy = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  DWORD attributes = 0;
  const bool lifted = platform.FileAttributes(ini_path, &attributes) == ERROR_SUCCESS &&
                      (attributes & kRefusesCopy) != 0;
  if (lifted) {
    // No attribute at all is written as "normal", which must stand alone.
    const DWORD others = attributes & ~kRefusesCopy;
    platform.ChangeFileAttributes(ini_path, others != 0 ? others : FILE_ATTRIBUTE_NORMAL);
  }
  const Status status = platform.CopyFileReplacing(backup_path, ini_path);
  if (lifted) platform.ChangeFileAttributes(ini_path, attributes);
  return status;
}

// The entries the first "386Enh" section holds once the driver's entries are
// gone, as read from the original bytes.
std::vector<std::string> KeptEntries(const std::vector<IniSection>& original) {
  std::vector<std::string> kept;
  const int index = FindIniSection(original, kDeviceSectionName);
  if (index < 0) return kept;
  for (const auto& line : original[index].lines) {
    if (!IsIniComment(line) && !IsDriverEntry(line)) kept.push_back(line);
  }
  return kept;
}

// 0 when system.ini, read as bytes, differs from the original only in the
// first "386Enh" section, which holds the kept entries, however the
// platform splits lines at a lone carriage return. Only the file's bytes
// prove the write: on the 9x family a write can report success into the
// profile cache while the flush, which cannot report failure, stores
// nothing. A file left as it was fails here too, since it still holds the
// driver entries that the section must lose (the read was checked against
// the file before anything was asked).
Status CheckWholeFile(Platform& platform, const SystemIniBackup& backup) {
  CString bytes;
  const Status status = platform.ReadFileBytes(backup.directory + kSystemIniName, &bytes);
  if (status != ERROR_SUCCESS) return status;
  for (const LineBreaks breaks : kEveryReading) {
    const std::vector<IniSection> original = ParseIniFile(backup.original, breaks);
    if (!OnlySectionRewritten(original, ParseIniFile(bytes, breaks), kDeviceSectionName,
                              KeptEntries(original))) {
      return kBytesDiffer;
    }
  }
  return ERROR_SUCCESS;
}

// Puts system.ini back as it was and says how that went. The profile cache
// has been flushed since the write, so the bytes read are those the disk
// keeps.
CString UndoRewrite(Platform& platform, const SystemIniBackup& backup) {
  const CString ini_path = backup.directory + kSystemIniName;
  if (CompareFile(platform, ini_path, backup.original) == ERROR_SUCCESS) {
    // The 9x profile cache may still hold what the write gave it: its flush
    // reports nothing, and one that did not finish stores it later. The
    // backup then stays, named.
    if (platform.Version().platform_id != VER_PLATFORM_WIN32_NT) {
      return "system.ini is unchanged so far, but Windows may still write the change to it; " +
             backup.name + " holds the original.";
    }
    // The backup this run made, identical to the file, is not needed: left
    // behind, each such run would take one more of the 999 names.
    RemoveOwnBackup(platform, backup.directory + backup.name);
    return "system.ini was not changed.";
  }
  // Otherwise a copy of the rewritten file the platform still holds could be
  // written over the restored one later.
  platform.FlushProfileCache(kSystemIniName);
  Status status = RestoreFromBackup(platform, backup.directory + backup.name, ini_path);
  if (status == ERROR_SUCCESS) status = CompareFile(platform, ini_path, backup.original);
  if (status == ERROR_SUCCESS) return "system.ini has been restored from " + backup.name + ".";
  return "Restoring system.ini from " + backup.name + " failed with error code " +
         std::to_string(status) + "; " + backup.name + " holds the original.";
}

}  // namespace

BackupName FindFreeBackupName(Platform& platform) {
  BackupName backup;
  backup.directory = WindowsDirectoryPath(platform);

  CFileFind finder(platform);
  for (int n = 0; n < kBackupNameCount; ++n) {
    backup.name = BackupFileName(n);
    backup.free = !finder.FindFile(backup.directory + backup.name);
    if (backup.free) break;
  }
  return backup;
}

bool BackupSystemIni(Platform& platform, const CString& section, SystemIniBackup* backup) {
  static_cast<BackupName&>(*backup) = FindFreeBackupName(platform);
  if (!backup->free) {
    AfxMessageBox(platform,
                  "Error backing up system.ini: system.000 to system.998 are all taken.\n"
                  "Delete backups that are no longer needed and try again.\nError code: " +
                      std::to_string(ERROR_FILE_EXISTS),
                  MB_ICONERROR);
    return false;
  }
  const CString ini_path = backup->directory + kSystemIniName;
  const CString backup_path = backup->directory + backup->name;
  // A profile write of another program may still be in the cache: the
  // backup must hold it, or the check after the rewrite would find the
  // other sections changed and the restore would lose it.
  platform.FlushProfileCache(kSystemIniName);
  Status status = platform.CopyFileNoOverwrite(ini_path, backup_path);
  if (status == ERROR_SUCCESS) status = platform.ReadFileBytes(ini_path, &backup->original);
  if (status == ERROR_SUCCESS) status = CompareFile(platform, backup_path, backup->original);
  if (status == ERROR_SUCCESS) {
    // Another program may have changed the file while the question stood.
    const FileCheck check = CheckSectionAgainstBytes(backup->original, section);
    if (check == FileCheck::kMatches) return true;
    RemoveOwnBackup(platform, backup_path);
    ShowFileCheckBox(platform, check);
    return false;
  }
  // A short or empty copy must not be left looking like a backup; a file
  // that took the name after the lookup is someone else's and stays.
  if (status != ERROR_FILE_EXISTS) RemoveOwnBackup(platform, backup_path);
  AfxMessageBox(
      platform,
      "Error backing up system.ini to " + backup->name + ".\nError code: " + std::to_string(status),
      MB_ICONERROR);
  return false;
}

bool RewriteDeviceSection(Platform& platform, const SystemIniBackup& backup,
                          const CString& section) {
  Status status = WriteDeviceSection(platform, section);
  // On the 9x family the write may still be in the profile cache: check the
  // bytes as the disk will hold them.
  platform.FlushProfileCache(kSystemIniName);
  if (status == ERROR_SUCCESS) status = CheckWholeFile(platform, backup);
  if (status == ERROR_SUCCESS) return true;
  AfxMessageBox(platform,
                "Error writing section 386Enh of system.ini.\nError code: " +
                    std::to_string(status) + "\n" + UndoRewrite(platform, backup),
                MB_ICONERROR);
  return false;
}

void ShowBackupMessage(Platform& platform, const CString& name) {
  AfxMessageBox(platform, "System file has been backed up to " + name, MB_OK);
}
