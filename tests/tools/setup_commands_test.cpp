// The setup tool's three command lines after the program path, and how its exit codes count.
#include "tools/setup_commands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TBridge Record(int index, const char* com, bool emulate, std::int32_t txDelay) {
    TBridge r;
    r.Index = static_cast<std::uint8_t>(index);
    r.COM = com;
    r.Emulate = emulate;
    r.TXDelay = txDelay;
    r.RXDelay = 55;  // none of these reach the tool
    r.Delay = 66;
    r.Baud = 115200;
    r.IP = "10.0.0.1";
    r.Port = 23;
    return r;
}

TEST(SetupCommands, WorkedExamples) {
    EXPECT_EQ(InstallArguments(1, Record(1, "COM3", true, 10)),
              "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10");
    EXPECT_EQ(ChangeArguments(Record(2, "COM12", false, 25)), "change CNCB2 PortName=COM12,EmuBR=no,AddRTTO=0,AddRITO=25");
    EXPECT_EQ(RemoveArguments(3), "remove 3");
}

TEST(SetupCommands, PortParametersFromTheRecord) {
    struct {
        const char* com;
        bool emulate;
        std::int32_t txDelay;
        const char* group;
    } const cases[] = {
        {"COM3", true, 10, "PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
        {"COM12", false, 25, "PortName=COM12,EmuBR=no,AddRTTO=0,AddRITO=25"},
        {"COM20", true, 0, "PortName=COM20,EmuBR=yes,AddRTTO=0,AddRITO=0"},
        {"COM7", false, -5, "PortName=COM7,EmuBR=no,AddRTTO=0,AddRITO=-5"},
        {"COM123", true, 10, "PortName=COM12,EmuBR=yes,AddRTTO=0,AddRITO=10"},  // two characters at most
        {"COM", true, 10, "PortName=COM,EmuBR=yes,AddRTTO=0,AddRITO=10"},
        {"", true, 10, "PortName=COM,EmuBR=yes,AddRTTO=0,AddRITO=10"},
        {"XYZ5", true, 10, "PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=10"},  // the first three are not looked at
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InstallArguments(4, Record(4, c.com, c.emulate, c.txDelay)), "install 4 HiddenMode=yes " + std::string(c.group))
            << c.com;
        EXPECT_EQ(ChangeArguments(Record(4, c.com, c.emulate, c.txDelay)), "change CNCB4 " + std::string(c.group)) << c.com;
    }
}

TEST(SetupCommands, ChangeAndRemoveAddressThePairByIndex) {
    TBridge r = Record(7, "COM3", true, 10);  // a record whose Index differs from the pair being installed
    EXPECT_EQ(InstallArguments(2, r), "install 2 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10");
    EXPECT_EQ(ChangeArguments(r), "change CNCB7 PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10");
    EXPECT_EQ(RemoveArguments(r.Index), "remove 7");
    EXPECT_EQ(RemoveArguments(10), "remove 10");
}

TEST(SetupCommands, ExitCodeVerdicts) {
    struct {
        std::uint32_t code;
        bool install, change, remove;
    } const cases[] = {
        {0, true, true, true},         {1, false, false, true},       {9, false, false, true},
        {10, false, false, false},     {999, false, false, false},    {0xFFFFFFFFu, false, false, false},
        {0x80000000u, false, false, false},  // a negative exit code compares as unsigned
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InstallSucceeded(c.code), c.install) << c.code;
        EXPECT_EQ(ChangeSucceeded(c.code), c.change) << c.code;
        EXPECT_EQ(RemoveSucceeded(c.code), c.remove) << c.code;
    }
}

}  // namespace
