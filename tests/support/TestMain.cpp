#include <gtest/gtest.h>

#include "tests/support/PrivateTempDir.h"

int main(int argc, char** argv) {
    qv::test::UsePrivateTempDir();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
