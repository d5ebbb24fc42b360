# Cross-compiles the Windows programs with mingw-w64 (i686, POSIX threads) and runs their tests
# under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages too: the host's x86_64 GoogleTest must not be taken for a Windows one.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The emulator (Wine, with a prefix in the build folder) is set in the top-level CMakeLists.txt.
