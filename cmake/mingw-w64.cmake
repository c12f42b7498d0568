# What both MinGW-w64 toolchain files share; they set RODAROVE_MINGW_PREFIX
# and CMAKE_SYSTEM_PROCESSOR, then include this file. Tests run under Wine
# when CMAKE_CROSSCOMPILING_EMULATOR names it (scripts/test-windows.sh does).
set(CMAKE_SYSTEM_NAME Windows)

# The posix flavour gives std::thread and std::mutex.
find_program(CMAKE_CXX_COMPILER NAMES ${RODAROVE_MINGW_PREFIX}-g++-posix ${RODAROVE_MINGW_PREFIX}-g++)
find_program(CMAKE_C_COMPILER NAMES ${RODAROVE_MINGW_PREFIX}-gcc-posix ${RODAROVE_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${RODAROVE_MINGW_PREFIX}-windres)
find_program(RODAROVE_MINGW_OBJDUMP NAMES ${RODAROVE_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${RODAROVE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable and DLL carries its C and C++ runtimes, so it imports
# only the system's DLLs and Wine needs no MinGW DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
