# One interface target that every target of the project links: warnings, Qt defines, visibility.
add_library(velmora_options INTERFACE)
target_compile_options(velmora_options INTERFACE -Wall -Wextra)
target_compile_definitions(velmora_options INTERFACE
    QT_DEPRECATED_WARNINGS
    QT_NO_FOREACH
    QT_MESSAGELOGCONTEXT)
# The engine library resolves its own helper names (SysAllocString, VariantClear, IID_*) through the
# dynamic linker: nothing of ours may be exported under a name it could pick up instead.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

if(VELMORA_SANITIZE)
    # vptr is off: the engine's objects carry type information the sanitizer cannot match.
    set(_velmora_san -fsanitize=address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer)
    target_compile_options(velmora_options INTERFACE ${_velmora_san})
    target_link_options(velmora_options INTERFACE ${_velmora_san})
endif()

# libsodium, for the release signatures: Debian's on Linux, the static one tools/windows/build-deps.sh
# makes for Windows.
add_library(velmora_sodium INTERFACE)
if(WIN32)
    set(VELMORA_SODIUM_PREFIX "" CACHE PATH "libsodium built for Windows")
    target_include_directories(velmora_sodium INTERFACE ${VELMORA_SODIUM_PREFIX}/include)
    target_link_libraries(velmora_sodium INTERFACE ${VELMORA_SODIUM_PREFIX}/lib/libsodium.a)
    target_compile_definitions(velmora_sodium INTERFACE SODIUM_STATIC)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(Sodium REQUIRED IMPORTED_TARGET libsodium)
    target_link_libraries(velmora_sodium INTERFACE PkgConfig::Sodium)
endif()

if(VELMORA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "VELMORA_FUZZ needs Clang (libFuzzer): -DCMAKE_CXX_COMPILER=clang++-14")
    endif()
    # Coverage for libFuzzer everywhere; each fuzz target links the fuzzer's own main.
    target_compile_options(velmora_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
        -fno-sanitize=vptr -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(velmora_options INTERFACE -fsanitize=address,undefined)
endif()

# Each subsystem folder is one static library: velmora_add_library(NAME SOURCES files... PUBLIC libs...
# PRIVATE libs...). PUBLIC names what the library's own headers include; everything else is PRIVATE.
function(velmora_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
    target_link_libraries(${name} PUBLIC velmora_options ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()

# The launcher looks for the engine beside itself first (on Windows only there): each executable that
# loads it gets a copy, or on Linux a link, of VELMORA_ENGINE_LIBRARY in its own directory.
function(velmora_place_engine_beside target)
    get_filename_component(_name "${VELMORA_ENGINE_LIBRARY}" NAME)
    if(WIN32)
        set(_how copy_if_different)
    else()
        set(_how create_symlink)
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E ${_how} ${VELMORA_ENGINE_LIBRARY} $<TARGET_FILE_DIR:${target}>/${_name}
        VERBATIM)
endfunction()

# A static Qt imports its default platform plugin (Windows) into each executable by itself; the offscreen
# one, for the tests and the hash mode, is imported by linking this. With a shared Qt it is empty.
add_library(velmora_offscreen_platform INTERFACE)
get_target_property(_qt_core_type Qt5::Core TYPE)
if(_qt_core_type STREQUAL "STATIC_LIBRARY")
    target_link_libraries(velmora_offscreen_platform INTERFACE Qt5::QOffscreenIntegrationPlugin)
endif()
