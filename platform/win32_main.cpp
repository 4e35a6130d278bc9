// The program's WinMain, which the entry point calls: limits the DLL search
// first, then hands the real platform to the framework.

#include "platform/framework.h"
#include "platform/win32_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LimitDllSearchToSystemFolder();
  Win32Platform platform;
  return AfxWinMain(platform);
}
