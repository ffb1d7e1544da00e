# One line registers a test: tenvari_add_core_test(name source...) for GoogleTest
# suites of the core, tenvari_add_ui_test(name source...) for Qt Test suites that
# run on the offscreen platform. Every test sees an empty user data folder, never the tester's
# own units; a test that needs user files points XDG_DATA_HOME at a folder of its own.

function(tenvari_add_core_test name)
    find_package(GTest REQUIRED)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE tenvari_core GTest::gtest GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "LC_ALL=C;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-user-data")
endfunction()

function(tenvari_add_ui_test name)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE tenvari_ui Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;ASAN_OPTIONS=detect_leaks=0;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-user-data")
endfunction()
