// A minimal program that does the one thing every nothing-to-do run on the
// NT family must: open the driver service's key (absent here), which loads
// ADVAPI32 and what it brings along. It shows how much of a nothing-to-do
// run is that load rather than the program's own work.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\kvtncdrv", 0,
                    KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
  return 0;
}
