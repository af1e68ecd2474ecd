set(CMAKE_C_COMPILER ${TESSIT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSIT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSIT_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TESSIT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Every executable stands alone: no MinGW runtime DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests and other built programs run under Wine, in the test run's private
# prefix: 64-bit programs through wine64, 32-bit ones through wine32.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
