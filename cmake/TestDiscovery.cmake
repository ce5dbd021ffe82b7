# qv_discover_tests(TARGET [options of gtest_discover_tests...]): the test cases of one test
# executable as CTest tests, listed when the tests run. Under an emulator every process start is
# slow (Wine: a few tenths of a second), so there each executable runs whole as one CTest test
# instead of one process per test case and one more to list them; --output-on-failure still
# names the failing cases.
include(GoogleTest)

function(qv_discover_tests target)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target} COMMAND ${target})
    else()
        gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST ${ARGN})
    endif()
endfunction()
