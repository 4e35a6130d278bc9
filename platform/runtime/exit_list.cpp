// atexit(), in place of the C runtime's: the compiler registers each static
// object's destructor here as the object is constructed, and libgcc its
// walk over the destructor list. The entry point runs them, last first,
// before the process ends.

#include <cstddef>

namespace {

using ExitFunction = void (*)();

// Far more than the program's few static objects need; a full list is an
// error the caller sees, not a destructor silently lost.
constexpr std::size_t kExitListSize = 32;
ExitFunction exit_list[kExitListSize];
std::size_t exit_count = 0;

}  // namespace

extern "C" int atexit(ExitFunction function) {
  if (exit_count == kExitListSize) return -1;
  exit_list[exit_count++] = function;
  return 0;
}

void RunExitList() {
  while (exit_count > 0) exit_list[--exit_count]();
}
