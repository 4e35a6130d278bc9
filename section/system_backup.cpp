#include "section/system_backup.h"

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

// Deletes the copy this run made. It took system.ini's attributes with it,
// and a read-only file cannot be deleted.
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

// 0 when system.ini, read as bytes, differs from the original only in the
// first "386Enh" section, which holds the original's entries but the
// driver's, however the platform splits lines at a lone carriage return.
// Only the file's bytes prove the write: on the 9x family a write can report
// success into the profile cache while the flush, which cannot report
// failure, stores nothing. A file left as it was fails here too, since it
// still holds the driver entries that the section must lose.
Status CheckWholeFile(Platform& platform, const SystemIniBackup& backup) {
  CString bytes;
  const Status status = platform.ReadFileBytes(backup.directory + kSystemIniName, &bytes);
  if (status != ERROR_SUCCESS) return status;
  for (const LineBreaks breaks : kEveryReading) {
    const std::vector<IniSection> original = ParseIniFile(backup.original, breaks);
    std::vector<std::string> kept = FirstSectionEntries(original, kDeviceSectionName);
    RemoveDriverLines(&kept);
    if (!OnlySectionRewritten(original, ParseIniFile(bytes, breaks), kDeviceSectionName, kept)) {
      return kBytesDiffer;
    }
  }
  return ERROR_SUCCESS;
}

// True when the profile calls read the section as it was backed up. On
// Windows 95, 98 and ME, whose flush reports nothing and keeps a write when
// it does not finish, any other read means that the cache may still hold a
// write of this run, to store it later: the profile calls read what the
// cache holds. The NT family keeps no such cache.
bool ReadsAsBackedUp(Platform& platform, const SystemIniBackup& backup) {
  DeviceSection read;
  return ReadSectionEntries(platform, &read) && read == backup.section;
}

// What to fix before running again, after a write that left system.ini as
// it was: a read-only file, another program holding it, or no right to it;
// empty when none of these is known.
CString WriteFailureAdvice(Platform& platform, const CString& ini_path, Status status) {
  DWORD attributes = 0;
  if (platform.FileAttributes(ini_path, &attributes) == ERROR_SUCCESS &&
      (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    // Windows' attrib changes no attribute of a system or hidden file unless
    // those are cleared in the same command (attrib's documentation).
    CString switches;
    if ((attributes & FILE_ATTRIBUTE_SYSTEM) != 0) switches += "-s ";
    if ((attributes & FILE_ATTRIBUTE_HIDDEN) != 0) switches += "-h ";
    return "system.ini is read-only: make it writable (attrib " + switches + "-r " + ini_path +
           "), then run this program again.";
  }
  if (status == ERROR_SHARING_VIOLATION) {
    return "Another program has system.ini open: close it, then run this program again.";
  }
  if (status != ERROR_ACCESS_DENIED) return CString();
  if (platform.Version().platform_id == VER_PLATFORM_WIN32_NT) {
    return "Windows denied access to system.ini: run this program as an administrator.";
  }
  return "Windows denied access to system.ini: check that its disk is not write-protected and "
         "that you may write to it on a network drive, then run this program again.";
}

// Puts system.ini back as it was after a write that failed with `status`,
// and says how that went; *restore_failed tells whether system.ini may now
// be damaged. `read_back_as_backed_up`: ReadsAsBackedUp right after the
// write.
CString UndoRewrite(Platform& platform, const SystemIniBackup& backup, Status status,
                    bool read_back_as_backed_up, bool* restore_failed) {
  const bool nine_x = platform.Version().platform_id != VER_PLATFORM_WIN32_NT;
  const CString ini_path = backup.directory + kSystemIniName;
  const CString holds_original = "; " + backup.name + " holds the original.";
  const CString may_still = ", but Windows may still write the change to it" + holds_original;
  *restore_failed = false;
  if (CompareFile(platform, ini_path, backup.original) == ERROR_SUCCESS) {
    CString advice = WriteFailureAdvice(platform, ini_path, status);
    if (!advice.empty()) advice.insert(0, "\n");
    if (nine_x && !read_back_as_backed_up) {
      return "system.ini is unchanged so far" + may_still +
             "\nOnce Windows has restarted, delete " + backup.name +
             " if system.ini still names kvtncdrv.386." + advice;
    }
    // This run's copy, identical to the file, is not needed: left behind,
    // each such run would take one more of the 999 names.
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
    return nine_x && !ReadsAsBackedUp(platform, backup) ? restored + may_still : restored + ".";
  }
  *restore_failed = true;
  return "Restoring system.ini from " + backup.name + " failed with error code " +
         std::to_string(status) + holds_original;
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

BackupOutcome BackupSystemIni(Platform& platform, const DeviceSection& asked,
                              const CString& asked_bytes, SystemIniBackup* backup) {
  static_cast<BackupName&>(*backup) = FindFreeBackupName(platform);
  const CString ini_path = backup->directory + kSystemIniName;
  // A profile write of another program may still be in the cache: the
  // backup must hold it, or the check after the rewrite would find the
  // other sections changed and the restore would lose it.
  platform.FlushProfileCache(kSystemIniName);
  Status status = platform.ReadFileBytes(ini_path, &backup->original);
  if (status == ERROR_SUCCESS) {
    const bool read = ReadSectionEntries(platform, &backup->section);
    // Both must lack the driver: a flush that did not finish leaves another
    // program's write in the 9x cache, which the profile calls read and the
    // bytes lack.
    if (read && !BytesNameTheDriver(backup->original) && !FindDriverReference(backup->section)) {
      return BackupOutcome::kNothingToRemove;
    }
    // The section written must be the one asked about (a read that failed
    // has no entries, and `asked` names the driver); and a later "386Enh"
    // may name the driver now.
    const CString problem =
        backup->section != asked || !SameSectionEntries(asked_bytes, backup->original)
            ? ReadErrorText(ERROR_INVALID_DATA,
                            "Another program changed system.ini while this program was waiting "
                            "for your answer; nothing was written. Run this program again.")
            : FileCheckProblem(backup->original, asked);
    if (!problem.empty()) {
      ShowSystemIniError(platform, problem);
      return BackupOutcome::kFailed;
    }
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
                          const DeviceSection& section) {
  Status status = WriteDeviceSection(platform, section);
  // On the 9x family the write may still be in the profile cache: check the
  // bytes as the disk will hold them, and that the profile calls read the
  // section as written (an entry the platform dropped, or a line it cut at
  // a NUL, which the bytes cannot show).
  platform.FlushProfileCache(kSystemIniName);
  DeviceSection read_back;
  const bool read = ReadSectionEntries(platform, &read_back);
  if (status == ERROR_SUCCESS) status = CheckWholeFile(platform, backup);
  if (status == ERROR_SUCCESS && !(read && read_back == section)) status = kBytesDiffer;
  if (status == ERROR_SUCCESS) return true;
  bool restore_failed = false;
  const CString undone =
      UndoRewrite(platform, backup, status, read && read_back == backup.section, &restore_failed);
  // A damaged system.ini matters to the NT family too.
  ShowSystemIniError(platform,
                     "Error writing section 386Enh of system.ini.\nError code: " +
                         std::to_string(status) + "\n" + undone,
                     !restore_failed);
  return false;
}

void ShowBackupMessage(Platform& platform, const CString& name) {
  AfxMessageBox(platform, "System file has been backed up to " + name, MB_OK);
}
