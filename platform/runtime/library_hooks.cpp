// What the C++ library's headers call out of line, in place of the C++
// runtime's: its error hooks (which would throw), the handler of a pure
// virtual call, and the nothrow tag. The program is built without
// exceptions, so each error ends the process at once.

#include <new>

#include "platform/runtime/runtime.h"
#include "platform/win32_values.h"

void RuntimeFailure() { ExitProcess(3); }

namespace std {

const nothrow_t nothrow{};

void __throw_bad_alloc() { RuntimeFailure(); }
void __throw_bad_array_new_length() { RuntimeFailure(); }
void __throw_length_error(const char*) { RuntimeFailure(); }
void __throw_logic_error(const char*) { RuntimeFailure(); }
void __throw_out_of_range(const char*) { RuntimeFailure(); }
void __throw_out_of_range_fmt(const char*, ...) { RuntimeFailure(); }

}  // namespace std

extern "C" void __cxa_pure_virtual() { RuntimeFailure(); }
