# Cross-builds the Windows programs on Debian with mingw-w64 (the POSIX
# threads flavour, which std::thread needs). Everything is linked statically,
# so that the programs need nothing beside them but Windows itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Windows 10 is the oldest system the programs run on; every Windows call
# takes UTF-16 text.
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -DUNICODE -D_UNICODE -DNOMINMAX")
# Where mingw-w64's GCC 12 inlines the standard library's memcpy and memcmp
# into std::string and std::vector code (a string joined to a temporary, a
# vector grown after it was sized, two byte vectors compared), it reports
# overlaps and bounds that no call can reach (GCC bugs 105329, 105651). The
# native build of the same sources keeps these warnings on.
string(APPEND CMAKE_CXX_FLAGS_INIT " -Wno-restrict -Wno-array-bounds -Wno-stringop-overread")

# Test programs run under Wine on the build machine, in a prefix kept in the
# build tree (see run-under-wine.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/run-under-wine.sh ${CMAKE_BINARY_DIR}/wineprefix)
