// The executable's entry point: hands the real platform to the framework.

#include <cstdlib>

#include "platform/framework.h"
#include "platform/win32_platform.h"

// Our code throws nothing; should the runtime throw (out of memory), the
// process ends at once. Defining the handler also keeps the runtime's name
// demangler, a quarter of the executable, out of it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Win32Platform platform;
  return AfxWinMain(platform);
}
