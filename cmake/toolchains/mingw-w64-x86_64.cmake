# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64),
# programs and tests run under Wine (Debian: wine64 or wine).
#
#   cmake --preset windows && cmake --build --preset windows && ctest --preset windows
#
# The "-posix" compilers carry the complete C++ thread support; the programs
# link statically, so the .exe files run from the program folder alone.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LW_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(LW_MINGW_CXX NAMES ${LW_MINGW_TRIPLE}-g++-posix ${LW_MINGW_TRIPLE}-g++ REQUIRED)
find_program(LW_MINGW_CC NAMES ${LW_MINGW_TRIPLE}-gcc-posix ${LW_MINGW_TRIPLE}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${LW_MINGW_CXX})
set(CMAKE_C_COMPILER ${LW_MINGW_CC})
find_program(CMAKE_RC_COMPILER NAMES ${LW_MINGW_TRIPLE}-windres)

# The standard-conforming printf family (%zu, %lld), as on every other platform.
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
# -O2 as in the native release build: GCC 12's -O3 reports false buffer
# overflows inside std::vector, which warnings-as-errors would turn fatal.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for release builds")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for release builds")

set(CMAKE_FIND_ROOT_PATH /usr/${LW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Build-time generators (tools/), test discovery and ctest run the .exe files
# through this wrapper: a quiet Wine with a prefix of its own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh)

# GoogleTest is built from the sources Debian ships (/usr/src/googletest):
# there is no packaged MinGW build of it.
list(APPEND CMAKE_PROJECT_TOP_LEVEL_INCLUDES ${CMAKE_CURRENT_LIST_DIR}/../googletest-from-source.cmake)
