# One line registers a test: tenvari_add_core_test(name source...) for GoogleTest suites of the
# core, tenvari_add_ui_test(name source...) for Qt Test suites that run on the offscreen platform.
# SLOW right after the name labels a suite that takes far longer than the rest; `./test quick`
# (ctest -LE slow) leaves those out. SKIPPABLE marks a window suite that, when a test dependency
# (not a build dependency) is missing, prints one line naming it and exits with
# TENVARI_SKIP_CODE, which CTest counts as skipped; `./test` fails on any skipped suite. Every
# test sees an empty user data folder, never the tester's own units, and no history but one in
# the build folder; a test that needs user files points XDG_DATA_HOME (or XDG_STATE_HOME) at a
# folder of its own.

# Leaks inside third-party libraries, so that the sanitizer build checks the window tests for
# leaks of the program's own.
set(TENVARI_LSAN_SUPPRESSIONS "${PROJECT_SOURCE_DIR}/tests/ui/lsan.supp")
# The history goes to a state folder of the build, never the tester's ~/.local/state.
set(TENVARI_TEST_USER_DATA
    "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-user-data;XDG_STATE_HOME=${CMAKE_BINARY_DIR}/test-user-state")

# CTest's skip code (SKIP_RETURN_CODE), as automake's test driver uses it.
set(TENVARI_SKIP_CODE 77)

function(_tenvari_register_test name slow skippable environment)
    add_test(NAME ${name} COMMAND ${name})
    set(labels ${ARGN})
    if(slow)
        list(APPEND labels slow)
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" LABELS "${labels}")
    if(skippable)
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE ${TENVARI_SKIP_CODE})
    endif()
endfunction()

function(tenvari_add_core_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "SLOW" "" "")
    find_package(GTest REQUIRED)
    add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE tenvari_core tenvari_warnings GTest::gtest
        GTest::gtest_main)
    target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support")
    _tenvari_register_test(${name} "${arg_SLOW}" "" "LC_ALL=C;${TENVARI_TEST_USER_DATA}" core)
endfunction()

function(tenvari_add_ui_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "SLOW;SKIPPABLE" "" "")
    find_package(Qt6 REQUIRED COMPONENTS Test)
    add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE tenvari_ui tenvari_warnings Qt6::Test)
    target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support")
    _tenvari_register_test(${name} "${arg_SLOW}" "${arg_SKIPPABLE}"
        "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LSAN_OPTIONS=suppressions=${TENVARI_LSAN_SUPPRESSIONS};${TENVARI_TEST_USER_DATA}"
        window)
endfunction()
