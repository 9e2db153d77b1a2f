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

# Each subsystem folder is one static library built from the sources in it.
function(velmora_add_library name)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB _sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    list(FILTER _sources EXCLUDE REGEX "/main\\.cpp$")
    add_library(${name} STATIC ${_sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
    target_link_libraries(${name} PUBLIC velmora_options ${ARG_LIBS})
endfunction()
