#include "common/unix_side.h"
#include "support/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace setupc;

namespace {

TEST(UnixSide, QuotesArgumentsSoTheyComeBackWhole) {
    const struct {
        std::string arg, quoted;
    } cases[] = {
        {"", "\"\""},
        {"make", "\"make\""},
        {"/home/a b/.wine/dosdevices", "\"/home/a b/.wine/dosdevices\""},
        {"Z:\\bin\\bash", "\"Z:\\bin\\bash\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},
        {"ends in \\", "\"ends in \\\\\""},
        {"\\\\server\\", "\"\\\\server\\\\\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteArgument(c.arg), c.quoted) << c.arg;
        EXPECT_EQ(SplitCommandLine(QuoteArgument(c.arg)), std::vector<std::string>{c.arg}) << c.arg;
    }
    std::vector<std::string> args = {"/usr/x y/pty-pairs.sh", "", "end", "3", "tail\\"};
    EXPECT_EQ(SplitCommandLine(JoinArguments(args)), args);
}

TEST(UnixSide, LinksPortsInLowerCase) {
    EXPECT_EQ(LinkName("COM3"), "com3");
    EXPECT_EQ(LinkName("Com12"), "com12");
    EXPECT_EQ(LinkName("com7"), "com7");
}

TEST(UnixSide, ReadsTheScriptsAnswer) {
    const struct {
        std::string text;
        bool ok;
        std::string reason;
    } cases[] = {
        {"0\n", true, ""},
        {"0", true, ""},
        {"0\r\n", true, ""},
        {"1 pair 1 exists\n", false, "pair 1 exists"},
        {"1 com1 exists in /p/dosdevices and is not pair 2's\n", false, "com1 exists in /p/dosdevices and is not pair 2's"},
        {"", false, "no answer"},
        {"1\n", false, "unexpected answer \"1\""},
        {"00\n", false, "unexpected answer \"00\""},
        {"2 what\n", false, "unexpected answer \"2 what\""},
    };
    for (const auto& c : cases) {
        Answer a = ReadAnswer(c.text);
        EXPECT_EQ(a.ok, c.ok) << c.text;
        EXPECT_EQ(a.reason, c.reason) << c.text;
    }
}

TEST(UnixSide, RefusesToInstallOrChangeWhereNoPairCanBeMade) {
    for (Verb verb : {Verb::Install, Verb::Change}) {
        EXPECT_EQ(WhyRefused(verb, Host::WineWithScript), "");
        EXPECT_NE(WhyRefused(verb, Host::Wine).find("pty-pairs.sh is not beside the tool"), std::string::npos);
        EXPECT_NE(WhyRefused(verb, Host::Windows).find("real setup tool"), std::string::npos);
    }
    for (Host host : {Host::Windows, Host::Wine}) EXPECT_EQ(WhyRefused(Verb::Remove, host), "");
}

}  // namespace
