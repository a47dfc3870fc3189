// The setup tool's command lines: what it accepts and what it refuses.
#include "setupc/setup_command.h"
#include "support/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace setupc;

namespace {

struct Accepted {
    const char* line;
    Verb verb;
    std::int32_t pair;
    PortSettings port;
};

void PrintTo(const Accepted& c, std::ostream* os) { *os << c.line; }

class SetupCommandAccepted : public testing::TestWithParam<Accepted> {};

TEST_P(SetupCommandAccepted, ReadsEveryValue) {
    const Accepted& c = GetParam();
    Command command = ParseCommand(SplitCommandLine(c.line));
    EXPECT_EQ(command.verb, c.verb);
    EXPECT_EQ(command.pair, c.pair);
    EXPECT_EQ(command.port, c.port);
}

const Accepted kAccepted[] = {
    {"install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10", Verb::Install, 1, {"COM3", true, 0, 10}},
    {"install 10 HiddenMode=yes AddRITO=-5,EmuBR=no,PortName=COM20,AddRTTO=0", Verb::Install, 10, {"COM20", false, 0, -5}},
    {"install 2147483647 HiddenMode=yes PortName=COM255,EmuBR=no,AddRTTO=2147483647,AddRITO=-2147483648",
     Verb::Install, 2147483647, {"COM255", false, 2147483647, INT32_MIN}},
    {"change CNCB2 PortName=COM12,EmuBR=no,AddRTTO=0,AddRITO=25", Verb::Change, 2, {"COM12", false, 0, 25}},
    {"change CNCB7 AddRTTO=3,AddRITO=0,PortName=com7,EmuBR=yes", Verb::Change, 7, {"com7", true, 3, 0}},
    {"remove 3", Verb::Remove, 3, {}},
    {"remove 12", Verb::Remove, 12, {}},
};
INSTANTIATE_TEST_SUITE_P(Table, SetupCommandAccepted, testing::ValuesIn(kAccepted));

struct Refused {
    const char* why;
    const char* line;
};

void PrintTo(const Refused& c, std::ostream* os) { *os << c.why; }

class SetupCommandRefused : public testing::TestWithParam<Refused> {};

TEST_P(SetupCommandRefused, IsMalformed) {
    EXPECT_THROW(ParseCommand(SplitCommandLine(GetParam().line)), SetupError) << GetParam().why << ": " << GetParam().line;
}

const Refused kRefused[] = {
    {"nothing", ""},
    {"unknown verb", "uninstall 1"},
    {"verb in capitals", "Install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"install alone", "install"},
    {"missing HiddenMode group", "install 1 PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"missing port group", "install 1 HiddenMode=yes"},
    {"groups swapped", "install 1 PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10 HiddenMode=yes"},
    {"HiddenMode=no", "install 1 HiddenMode=no PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"HiddenMode twice", "install 1 HiddenMode=yes,HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"more in the HiddenMode group", "install 1 HiddenMode=yes,EmuBR=yes PortName=COM3,AddRTTO=0,AddRITO=10"},
    {"extra argument", "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10 now"},
    {"pair 0", "install 0 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"negative pair", "install -1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"pair with leading zero", "install 01 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"pair with sign", "install +1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"pair not a number", "install one HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"pair past 32 bits", "install 2147483648 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"missing key", "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0"},
    {"unknown key", "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10,Baud=9600"},
    {"key in other case", "install 1 HiddenMode=yes portname=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"duplicated key", "install 1 HiddenMode=yes PortName=COM3,PortName=COM4,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"duplicated key, same value", "change CNCB1 PortName=COM3,EmuBR=yes,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"EmuBR=maybe", "install 1 HiddenMode=yes PortName=COM3,EmuBR=maybe,AddRTTO=0,AddRITO=10"},
    {"EmuBR=YES", "install 1 HiddenMode=yes PortName=COM3,EmuBR=YES,AddRTTO=0,AddRITO=10"},
    {"non-numeric AddRITO", "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=ten"},
    {"empty AddRITO", "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO="},
    {"fractional AddRTTO", "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=1.5,AddRITO=10"},
    {"AddRITO with plus", "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=+10"},
    {"AddRITO minus zero", "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=-0"},
    {"AddRITO past 32 bits", "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=2147483648"},
    {"PortName without digits", "install 1 HiddenMode=yes PortName=COM,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"PortName with letters", "install 1 HiddenMode=yes PortName=COM3a,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"PortName not COM", "install 1 HiddenMode=yes PortName=LPT1,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"PortName a bare number", "install 1 HiddenMode=yes PortName=3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"empty field", "install 1 HiddenMode=yes PortName=COM3,,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"trailing comma", "install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10,"},
    {"field without =", "install 1 HiddenMode=yes PortName=COM3,EmuBR,AddRTTO=0,AddRITO=10"},
    {"empty key", "install 1 HiddenMode=yes PortName=COM3,=yes,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"CNCA instead of CNCB", "change CNCA1 PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"CNCB in lower case", "change cncb1 PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"CNCB without number", "change CNCB PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"CNCB0", "change CNCB0 PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"change by bare number", "change 1 PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"HiddenMode on change", "change CNCB1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"HiddenMode in change's group", "change CNCB1 HiddenMode=yes,PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"},
    {"change without group", "change CNCB1"},
    {"remove alone", "remove"},
    {"remove two", "remove 3 4"},
    {"remove by end name", "remove CNCB3"},
    {"remove 0", "remove 0"},
};
INSTANTIATE_TEST_SUITE_P(Table, SetupCommandRefused, testing::ValuesIn(kRefused));

TEST(SetupPortName, IgnoresLetterCaseOnly) {
    EXPECT_TRUE(SamePortName("COM3", "com3"));
    EXPECT_TRUE(SamePortName("Com12", "cOM12"));
    EXPECT_FALSE(SamePortName("COM3", "COM03"));
    EXPECT_FALSE(SamePortName("COM1", "COM12"));
}

struct Tail {
    const char* why;
    const char* commandLine;
    const char* arguments;
};

void PrintTo(const Tail& c, std::ostream* os) { *os << c.why; }

class SetupArgumentsOf : public testing::TestWithParam<Tail> {};

TEST_P(SetupArgumentsOf, SkipsTheProgramPath) {
    EXPECT_EQ(ArgumentsOf(GetParam().commandLine), GetParam().arguments);
}

const Tail kTails[] = {
    {"quoted path with blanks", R"("C:\Program Files\Pontis\driver\setupc.exe" install 1 HiddenMode=yes)",
     "install 1 HiddenMode=yes"},
    {"plain path", R"(C:\Pontis\driver\setupc.exe remove 3)", "remove 3"},
    {"tabs and blanks", "setupc.exe\t \tremove 3", "remove 3"},
    {"nothing between quote and arguments", R"("C:\a b\setupc.exe"remove 3)", "remove 3"},
    {"quoted path alone", R"("C:\a b\setupc.exe")", ""},
    {"plain path alone", "setupc.exe", ""},
    {"no closing quote", R"("C:\a b\setupc.exe remove 3)", ""},  // all of it is the path
    {"empty", "", ""},
};
INSTANTIATE_TEST_SUITE_P(Table, SetupArgumentsOf, testing::ValuesIn(kTails));

}  // namespace
