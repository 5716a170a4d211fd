# What both mingw-w64 toolchain files share (POSIX threads variant). The
# including file names the target first: TARNLET_MINGW_TARGET (the
# compilers' prefix), CMAKE_SYSTEM_PROCESSOR and TARNLET_WINE_RUNNER (the
# script in scripts/ that runs its programs under Wine).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TARNLET_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNLET_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNLET_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARNLET_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/${TARNLET_WINE_RUNNER})
