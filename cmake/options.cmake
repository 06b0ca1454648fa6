# Compile options shared by every target of the project.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

set(KESTOVA_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wno-missing-field-initializers)

if(WIN32)
    add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00
                            WINVER=0x0A00)
    # No MinGW runtime DLL may be needed beside our binaries.
    add_link_options(-static -static-libgcc -static-libstdc++)
    set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
else()
    option(KESTOVA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
    if(KESTOVA_SANITIZE)
        add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                            -fno-sanitize-recover=undefined)
        add_link_options(-fsanitize=address,undefined)
    endif()
endif()

if(MSVC)
    set(KESTOVA_NO_OPTIMISATION /Od)
else()
    set(KESTOVA_NO_OPTIMISATION -O0)
endif()

# Applies the project's warnings to one of our own targets (not to third-party code).
function(kestova_target target)
    target_compile_options(${target} PRIVATE ${KESTOVA_WARNINGS})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# Precompiled headers: the heavy system headers are parsed once per tree, by a small object
# library of the same flags (cmake/pch.cmake), and every target of its kind reuses the result.
# Windows product code (libraries, DLLs, programs): kestova_win_target.
function(kestova_win_target target)
    kestova_target(${target})
    target_precompile_headers(${target} REUSE_FROM kestova_pch_win)
endfunction()

# Test programs and test-only tools: in the Windows trees without optimisation (their compile
# time is what counts; the product code they link is the Release build). Test programs
# precompile the GoogleTest headers too.
function(kestova_test_flags target)
    kestova_target(${target})
    if(WIN32)
        target_compile_options(${target} PRIVATE ${KESTOVA_NO_OPTIMISATION})
    endif()
endfunction()

# Test-only Windows programs without GoogleTest (the stand-in, probes, clients).
function(kestova_tool_target target)
    kestova_test_flags(${target})
    target_precompile_headers(${target} REUSE_FROM kestova_pch_tool)
endfunction()

function(kestova_test_target target)
    kestova_test_flags(${target})
    target_precompile_headers(${target} REUSE_FROM kestova_pch_test)
endfunction()
