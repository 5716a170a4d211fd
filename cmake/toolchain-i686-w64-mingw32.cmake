# Windows x86 (32-bit) with mingw-w64, POSIX threads variant; tests run
# under 32-bit Wine.
set(TARNLET_MINGW_TARGET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TARNLET_WINE_RUNNER wine-run32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
