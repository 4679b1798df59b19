# Cross build for 64-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-x86-64-posix).
# The "-posix" compilers use the winpthreads threading model; the default "-win32" ones have no
# std::thread. Everything is linked statically, so the .exe files need no MinGW DLLs beside them.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORLIN_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QUORLIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORLIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORLIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORLIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 10 and later: CancelIoEx, GetOverlappedResultEx.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX
                        UNICODE _UNICODE)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine on the build machine.
find_program(QUORLIN_WINE NAMES wine wine64)
if(QUORLIN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORLIN_WINE})
endif()
