# Cross build for 32-bit Windows with MinGW-w64 (Debian:
# g++-mingw-w64-i686-posix). Slots are __thiscall and exports __cdecl here,
# as the public headers spell out.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RODAROVE_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
