# The object libraries that own the precompiled headers (kestova_win_target, kestova_tool_target
# and kestova_test_target in options.cmake). A reusing target must have the same compile flags:
# GCC refuses a .gch made with others, and -Winvalid-pch with -Werror makes that a build error.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/pch_anchor.cpp CONTENT "// owns a pch\n")
set(anchor ${CMAKE_BINARY_DIR}/generated/pch_anchor.cpp)

# The standard headers first, as the sources include them: MinGW's inline wmemcpy seen before
# <string> trips a -Warray-bounds false positive at -O3.
set(std_headers <string> <vector> <memory> <functional> <algorithm> <optional> <cstdint>)
set(win_headers)
if(WIN32)
    set(win_headers <windows.h> <oleauto.h> <ocidl.h> <olectl.h> <shellapi.h>)

    add_library(kestova_pch_win OBJECT ${anchor})
    kestova_target(kestova_pch_win)
    target_precompile_headers(kestova_pch_win PRIVATE ${std_headers} ${win_headers})

    add_library(kestova_pch_tool OBJECT ${anchor})
    kestova_test_flags(kestova_pch_tool)
    target_precompile_headers(kestova_pch_tool PRIVATE ${std_headers} ${win_headers})
endif()

add_library(kestova_pch_test OBJECT ${anchor})
kestova_test_flags(kestova_pch_test)
target_link_libraries(kestova_pch_test PRIVATE GTest::gtest GTest::gmock)
target_precompile_headers(kestova_pch_test PRIVATE ${std_headers} <gtest/gtest.h> <gmock/gmock.h>
                          ${win_headers})
