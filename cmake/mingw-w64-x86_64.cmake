# Cross-builds Kestrum for 64-bit Windows with MinGW-w64 (posix thread model) and runs the
# resulting executables, tests included, under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTRUM_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix thread model gives std::thread and std::mutex; the win32 one lacks them on GCC 12.
set(CMAKE_C_COMPILER ${KESTRUM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRUM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRUM_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRUM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# MinGW's GCC 12 raises false -Wrestrict warnings inside the standard library's inlined string
# concatenation (GCC bug 105329), fatal with -Werror; the explicit -Wno wins over -Wall.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")

# Executables carry their C and C++ runtimes (and winpthread) inside, so they need no MinGW
# DLLs next to them: only the system's own DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Every executable that ctest or a custom command runs goes through Wine, in a prefix that
# belongs to this build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wineprefix)

# After project(Kestrum): GoogleTest built from source with this compiler.
set(CMAKE_PROJECT_Kestrum_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/WineTest.cmake)
