#pragma once
// The program's own small runtime, used by the shipped executables in place
// of the toolchain's C and C++ runtime: that one is built for the Pentium Pro
// and needs msvcrt.dll, while the program must run on any 80386 and on
// Windows 95 as first shipped. Each piece lives in its own file and says
// what it replaces.

// Ends the process at once with status 3, as the C runtime's abort() would:
// for failures the program cannot go on from (memory exhausted, a length
// error inside the library), which its own code never causes.
[[noreturn]] void RuntimeFailure();
