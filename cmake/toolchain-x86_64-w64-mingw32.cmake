# Windows x64 with mingw-w64, POSIX threads variant; tests run under wine64.
set(TARNLET_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TARNLET_WINE_RUNNER wine-run)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
