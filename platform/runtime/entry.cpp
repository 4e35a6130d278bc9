// The process entry point, in place of the C runtime's start-up code (which
// also sets up the x87 unit, the command line, the environment and stdio,
// none of which the program uses).

#include "platform/runtime/runtime.h"
#include "platform/win32_values.h"

// libgcc: runs the static constructors, in the order the linker listed
// them, and hands their destructors' walk to atexit().
extern "C" void __main();
// Runs the functions atexit() took, last first.
void RunExitList();

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

extern "C" void WinMainCRTStartup() {
  __main();
  // The program reads no command line and opens no window of its own.
  char no_command_line[] = "";
  const int status = WinMain(GetModuleHandleA(nullptr), nullptr, no_command_line, SW_SHOWDEFAULT);
  RunExitList();
  ExitProcess(static_cast<UINT>(status));
}
