// The least a Windows program can do: start and return. The yardstick for
// how long a nothing-to-do run of DriverRemoval.exe takes.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
