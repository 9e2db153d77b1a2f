# The engine contract: the real engine library through our own interface declarations and streams.
add_library(tst_enginecontract_fakeengine MODULE enginecontract_fakeengine.cpp)
target_include_directories(tst_enginecontract_fakeengine PRIVATE ${PROJECT_SOURCE_DIR})
set_target_properties(tst_enginecontract_fakeengine PROPERTIES PREFIX "" OUTPUT_NAME "7z" SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/other-layout-engine)

velmora_add_qtest(tst_enginecontract SOURCES tst_enginecontract.cpp LIBS velmora_archive)
target_compile_definitions(tst_enginecontract PRIVATE
    VELMORA_OTHER_LAYOUT_ENGINE_DIR="${CMAKE_CURRENT_BINARY_DIR}/other-layout-engine")
add_dependencies(tst_enginecontract tst_enginecontract_fakeengine)

# The same test under valgrind: no invalid access or free across the boundary. Not in the sanitizer build
# (valgrind cannot run AddressSanitizer binaries).
find_program(VELMORA_VALGRIND valgrind)
if(VELMORA_VALGRIND AND NOT VELMORA_SANITIZE)
    add_test(NAME tst_enginecontract_valgrind
        COMMAND ${VELMORA_VALGRIND} --error-exitcode=1 --leak-check=no
                --suppressions=${CMAKE_CURRENT_SOURCE_DIR}/enginecontract.valgrind.supp
                $<TARGET_FILE:tst_enginecontract>)
    set_tests_properties(tst_enginecontract_valgrind PROPERTIES
        ENVIRONMENT "${VELMORA_TEST_ENV}" LABELS "valgrind" TIMEOUT 300)
else()
    message(STATUS "tst_enginecontract_valgrind not added (valgrind missing or sanitizer build)")
endif()
