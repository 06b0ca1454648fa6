# Cross build of the 32-bit add-in and window support library (for 32-bit Office).
# Static runtime, as for the 64-bit binaries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KESTOVA_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTOVA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTOVA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTOVA_MINGW_PREFIX}-windres)
set(KESTOVA_WIDL ${KESTOVA_MINGW_PREFIX}-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${KESTOVA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest and test discovery run the Windows test programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-exec)
