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

// True when the profile cache of Windows 95, 98 and ME may still hold a
// write of this run, to store it later: its flush reports nothing, and one
// that did not finish keeps the write. The profile calls read what the
// cache holds, so a section read as it was before the run shows that none
// of the write is left there. The NT family keeps no such cache.
bool CacheMayStillWrite(Platform& platform, const SystemIniBackup& backup) {
  return platform.Version().platform_id != VER_PLATFORM_WIN32_NT &&
         CheckSectionRead(platform, backup.section) != ERROR_SUCCESS;
}

// True when neither the bytes nor the profile calls show a driver entry:
// a flush that did not finish leaves another program's write in the 9x
// cache, which the profile calls read and the bytes lack.
bool NothingToRemove(Platform& platform, const CString& bytes) {
  CString read;
  return !BytesNameTheDriver(bytes) && ReadSectionText(platform, &read) &&
         !FindDriverReference(read);
}

// What to fix before running again, after a write that left system.ini as
// it was: a read-only file, another program holding it, or no right to it;
// empty when none of these is known.
CString WriteFailureAdvice(Platform& platform, const CString& ini_path, Status status) {
  DWORD attributes = 0;
  if (platform.FileAttributes(ini_path, &attributes) == ERROR_SUCCESS &&
      (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return "system.ini is read-only: make it writable (attrib -r " + ini_path +
           "), then run this program again.";
  }
  if (status == ERROR_SHARING_VIOLATION) {
    return "Another program has system.ini open: close it, then run this program again.";
  }
  if (status == ERROR_ACCESS_DENIED) {
    return "Windows denied access to system.ini: run this program as an administrator.";
  }
  return CString();
}

// Puts system.ini back as it was after a write that failed with `status`,
// and says how that went.
CString UndoRewrite(Platform& platform, const SystemIniBackup& backup, Status status) {
  const CString ini_path = backup.directory + kSystemIniName;
  const CString holds_original = "; " + backup.name + " holds the original.";
  const CString may_still = ", but Windows may still write the change to it" + holds_original;
  if (CompareFile(platform, ini_path, backup.original) == ERROR_SUCCESS) {
    CString advice = WriteFailureAdvice(platform, ini_path, status);
    if (!advice.empty()) advice.insert(0, "\n");
    if (CacheMayStillWrite(platform, backup)) {
      return "system.ini is unchanged so far" + may_still +
             "\nOnce Windows has restarted, delete " + backup.name +
             " if system.ini still names kvtncdrv.386." + advice;
    }
    // The backup, identical to the file, is not needed: left behind, each
    // such run would take one more of the 999 names.
    RemoveOwnBackup(platform, backup.directory + backup.name);
    return "system.ini was not changed." + advice;
  }
  // Otherwise a copy of the rewritten file the platform still holds could be
  // written over the restored one later.
  platform.FlushProfileCache(kSystemIniName);
  status = RestoreFromBackup(platform, backup.directory + backup.name, ini_path);
  if (status == ERROR_SUCCESS) status = CompareFile(platform, ini_path, backup.original);
  if (status == ERROR_SUCCESS) {
    const CString restored = "system.ini has been restored from " + backup.name;
    return CacheMayStillWrite(platform, backup) ? restored + may_still : restored + ".";
  }
  return "Restoring system.ini from " + backup.name + " failed with error code " +
         std::to_string(status) + holds_original;
}

// Names an earlier backup holding exactly backup->original; false when
// there is none.
bool FindIdenticalBackup(Platform& platform, SystemIniBackup* backup) {
  CFileFind finder(platform);
  for (int n = 0; n < kBackupNameCount; ++n) {
    const CString name = BackupFileName(n);
    if (finder.FindFile(backup->directory + name) &&
        CompareFile(platform, backup->directory + name, backup->original) == ERROR_SUCCESS) {
      backup->name = name;
      return true;
    }
  }
  return false;
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

BackupOutcome BackupSystemIni(Platform& platform, const CString& section, SystemIniBackup* backup) {
  static_cast<BackupName&>(*backup) = FindFreeBackupName(platform);
  backup->section = section;
  const CString ini_path = backup->directory + kSystemIniName;
  // A profile write of another program may still be in the cache: the
  // backup must hold it, or the check after the rewrite would find the
  // other sections changed and the restore would lose it.
  platform.FlushProfileCache(kSystemIniName);
  Status status = platform.ReadFileBytes(ini_path, &backup->original);
  if (status == ERROR_SUCCESS) {
    // Another program may have changed the file while the question stood.
    const FileCheck check = CheckSectionAgainstBytes(backup->original, section);
    if (check != FileCheck::kMatches) {
      ShowFileCheckBox(platform, check, backup->original);
      return BackupOutcome::kFailed;
    }
    if (NothingToRemove(platform, backup->original)) return BackupOutcome::kNothingToRemove;
    if (FindIdenticalBackup(platform, backup)) return BackupOutcome::kBackedUp;
    if (!backup->free) {
      ShowSystemIniError(platform,
                         "Error backing up system.ini: system.000 to system.998 are all taken.\n"
                         "Delete backups that are no longer needed and try again.\nError code: " +
                             std::to_string(ERROR_FILE_EXISTS));
      return BackupOutcome::kFailed;
    }
    const CString backup_path = backup->directory + backup->name;
    status = platform.CopyFileNoOverwrite(ini_path, backup_path);
    if (status == ERROR_SUCCESS) status = CompareFile(platform, backup_path, backup->original);
    if (status == ERROR_SUCCESS) return BackupOutcome::kBackedUp;
    // A short or empty copy must not be left looking like a backup; a file
    // that took the name after the lookup is someone else's and stays.
    if (status != ERROR_FILE_EXISTS) RemoveOwnBackup(platform, backup_path);
  }
  ShowSystemIniError(platform, "Error backing up system.ini to " + backup->name +
                                   ".\nError code: " + std::to_string(status));
  return BackupOutcome::kFailed;
}

bool RewriteDeviceSection(Platform& platform, const SystemIniBackup& backup,
                          const CString& section) {
  Status status = WriteDeviceSection(platform, section);
  // On the 9x family the write may still be in the profile cache: check the
  // bytes as the disk will hold them, and that the flush kept the write (a
  // line the profile calls cut at a NUL is an entry the bytes cannot show).
  platform.FlushProfileCache(kSystemIniName);
  if (status == ERROR_SUCCESS) status = CheckWholeFile(platform, backup);
  if (status == ERROR_SUCCESS) status = CheckSectionRead(platform, section);
  if (status == ERROR_SUCCESS) return true;
  ShowSystemIniError(platform, "Error writing section 386Enh of system.ini.\nError code: " +
                                   std::to_string(status) + "\n" +
                                   UndoRewrite(platform, backup, status));
  return false;
}

void ShowBackupMessage(Platform& platform, const CString& name) {
  AfxMessageBox(platform, "System file has been backed up to " + name, MB_OK);
}
