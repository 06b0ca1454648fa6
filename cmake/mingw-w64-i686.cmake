# Cross build of the 32-bit add-in and window support library (for 32-bit Office).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KESTOVA_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
