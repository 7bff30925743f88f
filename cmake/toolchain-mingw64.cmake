# Cross build of the Windows DLL with mingw-w64 (x86_64, posix threads); tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
