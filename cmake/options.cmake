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

# Applies the project's warnings to one of our own targets (not to third-party code).
function(kestova_target target)
    target_compile_options(${target} PRIVATE ${KESTOVA_WARNINGS})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
