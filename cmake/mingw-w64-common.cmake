# What both MinGW-w64 cross builds share; the including toolchain file sets CMAKE_SYSTEM_PROCESSOR
# and KESTOVA_MINGW_PREFIX (posix threads flavour, static runtime).
set(CMAKE_SYSTEM_NAME Windows)
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
