#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/PrivateTempDir.h"

int main(int argc, char** argv) {
    qv::test::UsePrivateTempDir();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
