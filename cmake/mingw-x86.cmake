set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
# The shipped program uses the win32 thread model: the posix one links in
# winpthreads, whose imports (GetTickCount64 and others) old Windows lacks.
# Test-only tools may ask for posix (GoogleTest needs std::mutex).
if(NOT DR_MINGW_THREADS)
  set(DR_MINGW_THREADS win32)
endif()
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${DR_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${DR_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
