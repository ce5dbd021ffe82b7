# Under an emulator every process start is slow (Wine: a few tenths of a second), so each test
# executable runs whole as one CTest test instead of one process per test case and one more to
# list them; --output-on-failure still names the failing cases.
function(gtest_discover_tests target)
    add_test(NAME ${target} COMMAND ${target})
endfunction()
