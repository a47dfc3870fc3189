// The setup tool's port pairs: the state file's text and the three commands' effect.
#include "common/pair_state.h"
#include "setupc/setup_command.h"
#include "support/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace setupc;

namespace {

// The pairs' numbers and port names, "1:COM3 2:COM4", for compact expectations.
std::string Names(const PairList& pairs) {
    std::string text;
    for (const PortPair& p : pairs) text += (text.empty() ? "" : " ") + std::to_string(p.Number) + ":" + p.Port.PortName;
    return text;
}

const PairList kSample = {
    {1, {"COM3", true, 0, 10}},
    {2, {"com12", false, 0, -25}},
    {10, {"COM20", true, 2147483647, INT32_MIN}},
};

TEST(SetupStateText, ReadsBackWhatWasWritten) {
    EXPECT_EQ(ReadState(WriteState(kSample)), kSample);
    EXPECT_EQ(ReadState(WriteState({})), PairList{});
}

TEST(SetupStateText, NoFileHoldsNoPairs) {
    EXPECT_EQ(ReadState(""), PairList{});
    EXPECT_EQ(ReadState("# nothing yet\r\n\r\n"), PairList{});
}

TEST(SetupStateText, ReadsHandWrittenLinesInAnyOrder) {
    PairList pairs = ReadState(
        "# edited by hand\n"
        "10 AddRITO=5 PortName=COM20 AddRTTO=0 EmuBR=no\n"
        "\n"
        "2 PortName=COM4 EmuBR=yes AddRTTO=0 AddRITO=0\r\n"
        "1 PortName=COM3 EmuBR=no AddRTTO=0 AddRITO=10");
    EXPECT_EQ(Names(pairs), "1:COM3 2:COM4 10:COM20");
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[2].Port, (PortSettings{"COM20", false, 0, 5}));
}

struct Damaged {
    const char* why;
    const char* text;
    const char* line;  // the line the error names
};

void PrintTo(const Damaged& c, std::ostream* os) { *os << c.why; }

class SetupStateDamaged : public testing::TestWithParam<Damaged> {};

TEST_P(SetupStateDamaged, IsRefusedNamingTheLine) {
    try {
        ReadState(GetParam().text);
        FAIL() << GetParam().why << ": read without complaint";
    } catch (const SetupError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().line), std::string::npos) << GetParam().why << ": " << e.what();
    }
}

const Damaged kDamaged[] = {
    {"missing field", "1 PortName=COM3 EmuBR=yes AddRTTO=0\n", "line 1:"},
    {"unknown field", "# pairs\n1 PortName=COM3 EmuBR=yes AddRTTO=0 AddRITO=10 Colour=red\n", "line 2:"},
    {"number alone", "1\n", "line 1:"},
    {"no number", "PortName=COM3 EmuBR=yes AddRTTO=0 AddRITO=10\n", "line 1:"},
    {"pair 0", "0 PortName=COM3 EmuBR=yes AddRTTO=0 AddRITO=10\n", "line 1:"},
    {"bad value", "1 PortName=COM3 EmuBR=yes AddRTTO=0 AddRITO=x\n", "line 1:"},
    {"commas for blanks", "1 PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10\n", "line 1:"},
    {"double blank", "1  PortName=COM3 EmuBR=yes AddRTTO=0 AddRITO=10\n", "line 1:"},
    {"truncated last line", "1 PortName=COM3 EmuBR=yes AddRTTO=0 AddRITO=10\n2 PortName=COM4 EmuB", "line 2:"},
    {"number twice", "1 PortName=COM3 EmuBR=yes AddRTTO=0 AddRITO=10\n1 PortName=COM4 EmuBR=yes AddRTTO=0 AddRITO=10\n",
     "line 2:"},
    {"port name twice", "1 PortName=COM3 EmuBR=yes AddRTTO=0 AddRITO=10\n2 PortName=com3 EmuBR=yes AddRTTO=0 AddRITO=10\n",
     "line 2:"},
    {"not ours", "\x7f" "ELF\x02\x01\x01", "line 1:"},
};
INSTANTIATE_TEST_SUITE_P(Table, SetupStateDamaged, testing::ValuesIn(kDamaged));

// Each command applied to pairs 1 (COM3) and 2 (COM4).
struct Step {
    const char* line;
    bool done;
    const char* after;
};

void PrintTo(const Step& c, std::ostream* os) { *os << c.line; }

class SetupApplyStep : public testing::TestWithParam<Step> {};

TEST_P(SetupApplyStep, ChangesThePairsOnlyWhenAllowed) {
    PairList pairs = {{1, {"COM3", true, 0, 10}}, {2, {"COM4", false, 0, 0}}};
    Command command = ParseCommand(SplitCommandLine(GetParam().line));
    if (GetParam().done)
        EXPECT_NO_THROW(Apply(command, pairs)) << GetParam().line;
    else
        EXPECT_THROW(Apply(command, pairs), SetupError) << GetParam().line;
    EXPECT_EQ(Names(pairs), GetParam().after) << GetParam().line;
}

const Step kSteps[] = {
    {"install 3 HiddenMode=yes PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=10", true, "1:COM3 2:COM4 3:COM5"},
    {"install 9 HiddenMode=yes PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=10", true, "1:COM3 2:COM4 9:COM5"},
    {"install 1 HiddenMode=yes PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=10", false, "1:COM3 2:COM4"},
    {"install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10", false, "1:COM3 2:COM4"},
    {"install 3 HiddenMode=yes PortName=COM4,EmuBR=yes,AddRTTO=0,AddRITO=10", false, "1:COM3 2:COM4"},
    {"install 3 HiddenMode=yes PortName=com4,EmuBR=yes,AddRTTO=0,AddRITO=10", false, "1:COM3 2:COM4"},
    {"change CNCB1 PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=10", true, "1:COM5 2:COM4"},
    {"change CNCB1 PortName=com3,EmuBR=yes,AddRTTO=0,AddRITO=10", true, "1:com3 2:COM4"},
    {"change CNCB1 PortName=COM4,EmuBR=yes,AddRTTO=0,AddRITO=10", false, "1:COM3 2:COM4"},
    {"change CNCB2 PortName=Com3,EmuBR=yes,AddRTTO=0,AddRITO=10", false, "1:COM3 2:COM4"},
    {"change CNCB3 PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=10", false, "1:COM3 2:COM4"},
    {"remove 1", true, "2:COM4"},
    {"remove 2", true, "1:COM3"},
    {"remove 3", false, "1:COM3 2:COM4"},
};
INSTANTIATE_TEST_SUITE_P(Table, SetupApplyStep, testing::ValuesIn(kSteps));

TEST(SetupApply, ChangeReplacesEverySetting) {
    PairList pairs = {{1, {"COM3", true, 0, 10}}};
    Apply(ParseCommand(SplitCommandLine("change CNCB1 PortName=COM3,EmuBR=no,AddRTTO=7,AddRITO=-1")), pairs);
    EXPECT_EQ(pairs, (PairList{{1, {"COM3", false, 7, -1}}}));
}

TEST(SetupApply, AChangedNameIsFreeForTheNextInstall) {
    PairList pairs = {{1, {"COM3", true, 0, 10}}};
    Apply(ParseCommand(SplitCommandLine("change CNCB1 PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=10")), pairs);
    Apply(ParseCommand(SplitCommandLine("install 2 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10")), pairs);
    EXPECT_EQ(Names(pairs), "1:COM5 2:COM3");
}

}  // namespace
