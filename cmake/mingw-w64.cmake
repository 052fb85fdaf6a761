# Cross-building 64-bit Windows programs with Debian's mingw-w64 (posix threads: std::thread and
# std::mutex need them). Programs link statically, so a PC needs nothing but the .exe.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 10 and later; Unicode API names.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")  # no symbols in the programs handed out

# Test programs (and the test discovery) run under wine, through a script that starts a program
# again when wine itself failed before the program ran.
find_program(VELTRA_WINE NAMES wine64 wine)
find_program(VELTRA_BASH NAMES bash)
if(VELTRA_WINE AND VELTRA_BASH)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELTRA_BASH} ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh
        ${VELTRA_WINE})
endif()
