# Cross build of the Windows program: 32-bit MinGW-w64, static runtime. This
# is the program that ships, since the host's libraries are 32-bit.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
