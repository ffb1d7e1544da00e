# One line registers a test: tenvari_add_core_test(name source...) for GoogleTest
# suites of the core, tenvari_add_ui_test(name source...) for Qt Test suites that
# run on the offscreen platform.

function(tenvari_add_core_test name)
    find_package(GTest REQUIRED)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE tenvari_core GTest::gtest GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "LC_ALL=C")
endfunction()

function(tenvari_add_ui_test name)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE tenvari_ui Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;ASAN_OPTIONS=detect_leaks=0")
endfunction()
