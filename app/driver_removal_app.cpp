#include "app/driver_removal_app.h"

#include "section/device_section.h"
#include "section/section_read_check.h"
#include "section/system_backup.h"
#include "services/service_start.h"

namespace {

const char kQuestion[] =
    "An obsolete serial driver has been detected.\n"
    "It MUST be disabled before running ZRQ.\n"
    "Disable now?";
const char kReminder[] =
    "Reminder: the KESTRIX/NT serial device driver must be disabled from running at startup,\n"
    "otherwise ZRQ may not be able to open the serial port.";
const char kSuccess[] = "Obsolete serial port driver successfully disabled!";

}  // namespace

CDriverRemovalApp theApp;

BOOL CDriverRemovalApp::InitInstance() {
  DisableObsoleteDriver(GetPlatform());
  // Nothing is left to do once the run has shown its last box.
  return FALSE;
}

void DisableObsoleteDriver(Platform& platform) {
  bool bDriverServiceActive = false;
  if (platform.Version().platform_id == VER_PLATFORM_WIN32_NT) {
    switch (ProbeDriverService(platform)) {
      case DriverServiceProbe::kEndRun:
        return;
      case DriverServiceProbe::kActive:
        bDriverServiceActive = true;
        break;
      case DriverServiceProbe::kNotInstalled:
      case DriverServiceProbe::kInactive:
        break;
    }
  }

  // On the NT family the driver loads through its service alone, which
  // ignores [386Enh]: a section that cannot be edited, its box shown, must not
  // keep the service from being fixed. On the 9x family, or with no active
  // service, the section is all there is to fix, and the run ends there.
  DeviceSection section;
  CString asked_bytes;  // system.ini as the question is asked on it
  if (!ReadDeviceSection(platform, &section) ||
      !SectionReadMatchesFile(platform, section, &asked_bytes)) {
    if (!bDriverServiceActive) return;
    section.clear();  // left alone: nothing to remove
  }
  if (!FindDriverReference(section) && !bDriverServiceActive) return;

  if (AfxMessageBox(platform, kQuestion, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    AfxMessageBox(platform, kReminder, MB_OK);
    return;
  }

  DeviceSection kept = section;
  const bool bSectionChanged = RemoveDriverLines(&kept);
  if (bSectionChanged) {
    // No rewrite without a backup of the file as it was. A file that no
    // longer names the driver is no failure: the run goes on as if the
    // section had named nothing.
    SystemIniBackup backup;
    const BackupOutcome outcome = BackupSystemIni(platform, section, asked_bytes, &backup);
    if (outcome == BackupOutcome::kBackedUp && RewriteDeviceSection(platform, backup, kept)) {
      ShowBackupMessage(platform, backup.name);
    } else if (outcome != BackupOutcome::kNothingToRemove && !bDriverServiceActive) {
      return;
    }
  }

  if (bDriverServiceActive) {
    if (!DisableDriverService(platform)) return;
    if (!EnableSerialService(platform)) return;
  }

  AfxMessageBox(platform, kSuccess, MB_OK);
}
