# Cross build of the 32-bit Windows DLL with mingw-w64 (i686, posix threads); tests run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KV_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine32-run.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
