#include <gtest/gtest.h>

#include <QKeyEvent>
#include <stdexcept>

#include "app/CommandLine.h"
#include "app/ExceptionBox.h"
#include "app/KeyRoute.h"
#include "app/QtDialogs.h"
#include "app/TypedNumberField.h"
#include "tests/app/QtPrinters.h"

namespace qv::test {
namespace {

TEST(TypedNumber, HexTextMustBeHexDigitsOnly) {
    EXPECT_EQ(TypedHexValue("1FF"), 0x1FFu);
    EXPECT_EQ(TypedHexValue("a7"), 0xA7u);
    EXPECT_EQ(TypedHexValue("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(TypedHexValue("000000000012"), 0x12u);  // leading zeros do not overflow
    for (const char* bad : {"", "0x12", " 12", "12 ", "1G", "-1", "100000000"}) {
        EXPECT_FALSE(TypedHexValue(bad)) << bad;
    }
    EXPECT_EQ(InvalidIntegerMessage("0x0x12"), "'0x0x12' is not a valid integer value");
}

TEST(TypedNumber, DecimalTextIsANonNegativeInteger) {
    EXPECT_EQ(TypedDecimalValue("64"), 64u);
    EXPECT_EQ(TypedDecimalValue("2147483647"), 2147483647u);
    for (const char* bad : {"", "-1", "+5", "1x", "2147483648", "0x10"}) {
        EXPECT_FALSE(TypedDecimalValue(bad)) << bad;
    }
}

TEST(Dialogs, PipeSeparatedFiltersBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilters(OpenBinFileDialog.filter),
              QStringList({"Hex File (*.hex *.h00)", "Binary File (*.bin)"}));
    EXPECT_EQ(QtNameFilters(SaveBinFIleDialog.filter), QStringList({"Binary File (*.bin)"}));
}

TEST(KeyRoute, KeysArriveAsVirtualKeyCodes) {
    const auto code = [](int key) {
        return VirtualKeyOf(QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    };
    EXPECT_EQ(code(Qt::Key_Return), 13);
    EXPECT_EQ(code(Qt::Key_Enter), 13);
    EXPECT_EQ(code(Qt::Key_Insert), 0x2D);
    EXPECT_EQ(code(Qt::Key_Delete), 0x2E);
    EXPECT_EQ(code(Qt::Key_A), 'A');
    EXPECT_EQ(code(Qt::Key_7), '7');
    EXPECT_EQ(code(Qt::Key_F1), 0);
}

TEST(ExceptionBox, StandardExceptionsShowTheirMessageOthersNothing) {
    EXPECT_EQ(ExceptionMessage(std::make_exception_ptr(std::runtime_error("disk full"))),
              "disk full");
    EXPECT_EQ(ExceptionMessage(std::make_exception_ptr(42)), "");
}

Expected<AppOptions, QString> Parse(QStringList arguments) {
    arguments.prepend("qvupdate");
    return ParseCommandLine(arguments);
}

TEST(CommandLine, VersionAndHelpAreAskedFor) {
    const auto version = Parse({"--version"});
    ASSERT_TRUE(version.ok());
    EXPECT_TRUE(version->version);
    EXPECT_FALSE(version->help);
    const auto help = Parse({"--help"});
    ASSERT_TRUE(help.ok());
    EXPECT_TRUE(help->helpText.contains("--version"));
}

TEST(CommandLine, NoOptionRunsTheDeliveredPanelOnTheRealBus) {
    const auto options = Parse({});
    ASSERT_TRUE(options.ok());
    EXPECT_FALSE(options->service);
    EXPECT_TRUE(options->device.virtualDevices.empty());
}

TEST(CommandLine, SimulateTakesAnOptionalNameWithoutSwallowingTheNextOption) {
    auto options = Parse({"--simulate", "--service"});
    ASSERT_TRUE(options.ok()) << options.problem().toStdString();
    ASSERT_EQ(options->device.virtualDevices.size(), 1u);
    EXPECT_TRUE(options->service);
    EXPECT_TRUE(options->device.virtualDevices[0].product.empty());
    EXPECT_TRUE(options->device.virtualDevices[0].realTime);

    options = Parse(
        {"--simulate=isp-a7d6", "--sim-log", "/tmp/log.txt", "--sim-fault=a:1", "--sim-fault=b"});
    ASSERT_TRUE(options.ok()) << options.problem().toStdString();
    ASSERT_EQ(options->device.virtualDevices.size(), 1u);
    EXPECT_EQ(options->device.virtualDevices[0].product, "isp-a7d6");
    EXPECT_EQ(options->device.ioLog, "/tmp/log.txt");
    EXPECT_EQ(options->device.virtualDevices[0].faults, (std::vector<std::string>{"a:1", "b"}));
}

TEST(CommandLine, MistakesAreRefusedWithAReason) {
    const struct {
        QStringList arguments;
        const char* reason;
    } cases[] = {
        {{"--bogus"}, "bogus"},
        {{"--sim-fault=x"}, "--sim-fault needs --simulate."},
        {{"--sim-state", "bench.qv"}, "--sim-state needs --simulate."},
        {{"extra"}, "Unexpected argument 'extra'."},
        {{"--simulate", "--replay", "log.txt"}, "--replay and --simulate exclude each other."},
        {{"--simulate", "--simulate=isp-a7d6"}, "give --simulate once."},
        // Virtual time is for qvtool's tests; the window always runs in real time.
        {{"--simulate", "--sim-virtual-time"}, "sim-virtual-time"},
    };
    for (const auto& c : cases) {
        const auto options = Parse(c.arguments);
        ASSERT_FALSE(options.ok()) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(options.problem().contains(QLatin1String(c.reason)))
            << options.problem().toStdString();
    }
}

}  // namespace
}  // namespace qv::test
