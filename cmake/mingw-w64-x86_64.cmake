# Cross build of the command, the core and their tests for 64-bit Windows
# with Debian's mingw-w64 compilers (POSIX threads), tested under wine64.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# Libraries and headers of the target only: Debian's mingw-w64 folder and the
# dependencies built for Windows by scripts/build-windows-deps.sh.
set(TOPONYX_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build-windows-deps/install" CACHE PATH
    "Where the dependencies built for Windows are installed")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TOPONYX_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Everything linked in: the programs run with nothing installed beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests and build-time tools run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh")
set(ZLIB_USE_STATIC_LIBS ON)
