// A minimal program that makes the reads every nothing-to-do run must make
// and nothing else: the driver service's key (absent here), the "386Enh"
// section through the profile call, and system.ini's own bytes. A
// nothing-to-do run of DriverRemoval.exe should cost little more.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {
char section[10240];
char bytes[65536];
char path[MAX_PATH + 16];
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\kvtncdrv", 0,
                    KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
  GetPrivateProfileSectionA("386Enh", section, sizeof section - 1, "system.ini");
  const UINT length = GetWindowsDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 0;
  lstrcatA(path, "\\system.ini");
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD read = 0;
  ReadFile(file, bytes, sizeof bytes, &read, nullptr);
  CloseHandle(file);
  return 0;
}
