#include "hub/hub_cmdline.h"
#include "support/command_line.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using hub::Signal;

// The manager's lines for one bridge (COM3 in slot 1) and for two (COM3 in slot 2, COM5 in slot 1).
const std::string kExample1 =
    R"(--reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect --add-filters=0:pinmap )"
    R"(--create-filter=pin2con,pc1:"--connect=dsr --delay-disconnect=500" --add-filters=0:pc1 --bi-route=0:1 )"
    R"(--use-driver=serial --ito=10 --baud=9600 \\.\CNCA1 --use-driver=tcp 192.168.0.99:9761)";
const std::string kExample2 =
    R"(--reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect )"
    R"(--add-filters=0,2:pinmap --create-filter=pin2con,pc2:"--connect=dcd" --add-filters=0:pc2 --bi-route=0:1 )"
    R"(--use-driver=serial --ito=10 --baud=9600 \\.\CNCA2 --use-driver=tcp 192.168.0.99:9761 --bi-route=2:3 )"
    R"(--use-driver=serial --ito=20 --baud=115200 \\.\CNCA1 --use-driver=tcp 192.168.0.98:4001)";

// The same as Windows splits them: the double quotes are gone and the options are one argument.
const std::vector<std::string> kExample1Args = {
    "--reconnect=10000", "--no-default-fc-route=All:All", "--create-filter=pinmap:--dtr=connect",
    "--add-filters=0:pinmap", "--create-filter=pin2con,pc1:--connect=dsr --delay-disconnect=500",
    "--add-filters=0:pc1", "--bi-route=0:1", "--use-driver=serial", "--ito=10", "--baud=9600", R"(\\.\CNCA1)",
    "--use-driver=tcp", "192.168.0.99:9761"};
const std::vector<std::string> kExample2Args = {
    "--reconnect=10000", "--no-default-fc-route=All:All", "--create-filter=pinmap:--dtr=connect",
    "--add-filters=0,2:pinmap", "--create-filter=pin2con,pc2:--connect=dcd", "--add-filters=0:pc2",
    "--bi-route=0:1", "--use-driver=serial", "--ito=10", "--baud=9600", R"(\\.\CNCA2)", "--use-driver=tcp",
    "192.168.0.99:9761", "--bi-route=2:3", "--use-driver=serial", "--ito=20", "--baud=115200", R"(\\.\CNCA1)",
    "--use-driver=tcp", "192.168.0.98:4001"};

// The manager's port-control chains for slot 1 on hub ports 0 and 1, as they stand before the route.
const std::string kChain1 =
    R"(--create-filter=escparse,com1,parse --create-filter=linectl,com1,lc:"--br=local --lc=local" )"
    R"(--add-filters=0:com1 --create-filter=telnet,tcp1,telnet:"--comport=client" )"
    R"(--create-filter=pinmap,tcp1,pinmap:"--rts=cts --dtr=dsr --break=break" )"
    R"(--create-filter=linectl,tcp1,lc:"--br=remote --lc=remote" --add-filters=1:tcp1 --bi-route=0:1)";

// The text with every from made to.
std::string With(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Replaced(std::string line, const std::string& from, const std::string& to) {
    std::size_t at = line.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) line.replace(at, from.size(), to);
    return line;
}

TEST(HubLine, ExamplesSplitAsWindowsSplitsThem) {
    EXPECT_EQ(SplitCommandLine(kExample1), kExample1Args);
    EXPECT_EQ(SplitCommandLine(kExample2), kExample2Args);
}

TEST(HubLine, Example1IsOneBridgeWithADelayedDsrConnect) {
    hub::ParseResult r = hub::ParseArguments(kExample1Args);
    ASSERT_TRUE(r.model) << r.error;
    std::vector<hub::Bridge> bridges = hub::Bridges(*r.model);
    ASSERT_EQ(bridges.size(), 1u);
    const hub::Bridge& b = bridges[0];
    EXPECT_EQ(b.serialPort, 0);
    EXPECT_EQ(b.tcpPort, 1);
    EXPECT_EQ(b.path, R"(\\.\CNCA1)");
    EXPECT_EQ(b.baud, 9600);
    EXPECT_EQ(b.ito, 10);
    EXPECT_EQ(b.host, "192.168.0.99");
    EXPECT_EQ(b.port, 9761);
    EXPECT_EQ(b.reconnect, 10000);
    EXPECT_TRUE(b.dtrOnConnect);
    EXPECT_EQ(b.connect, Signal::Dsr);
    EXPECT_EQ(b.delayDisconnect, 500);
    EXPECT_EQ(hub::Describe(b),
              R"(ports 0:1: serial \\.\CNCA1 baud 9600 ito 10, server 192.168.0.99:9761 reconnect 10000, )"
              R"(connect on dsr, disconnect after 500 ms, dtr on connect)");
}

TEST(HubLine, Example2HasPortsInRowOrderAndOneBridgeAlwaysConnected) {
    hub::ParseResult r = hub::ParseArguments(kExample2Args);
    ASSERT_TRUE(r.model) << r.error;
    std::vector<hub::Bridge> bridges = hub::Bridges(*r.model);
    ASSERT_EQ(bridges.size(), 2u);

    const hub::Bridge& first = bridges[0];
    EXPECT_EQ(first.serialPort, 0);
    EXPECT_EQ(first.tcpPort, 1);
    EXPECT_EQ(first.path, R"(\\.\CNCA2)");
    EXPECT_EQ(first.baud, 9600);
    EXPECT_EQ(first.ito, 10);
    EXPECT_EQ(first.host, "192.168.0.99");
    EXPECT_EQ(first.port, 9761);
    EXPECT_TRUE(first.dtrOnConnect);
    EXPECT_EQ(first.connect, Signal::Dcd);
    EXPECT_EQ(first.delayDisconnect, 0);

    const hub::Bridge& second = bridges[1];
    EXPECT_EQ(second.serialPort, 2);
    EXPECT_EQ(second.tcpPort, 3);
    EXPECT_EQ(second.path, R"(\\.\CNCA1)");
    EXPECT_EQ(second.baud, 115200);
    EXPECT_EQ(second.ito, 20);
    EXPECT_EQ(second.host, "192.168.0.98");
    EXPECT_EQ(second.port, 4001);
    EXPECT_EQ(second.reconnect, 10000);
    EXPECT_TRUE(second.dtrOnConnect);
    EXPECT_EQ(second.connect, std::nullopt);
    EXPECT_EQ(hub::Describe(second),
              R"(ports 2:3: serial \\.\CNCA1 baud 115200 ito 20, server 192.168.0.98:4001 reconnect 10000, )"
              R"(connect always, dtr on connect)");
}

// Broken lines, each made from example 1 by one change, and what the hub says about them.
struct Broken {
    const char* from;
    std::string to;
    const char* message;
};

const Broken kBroken[] = {
    {"--reconnect=10000", "--bogus=1", "Unknown option '--bogus=1'"},
    {"--reconnect=10000", "-x", "Unknown option '-x'"},
    {"--reconnect=10000", "--reconnect", "Unknown option '--reconnect'"},
    {"All:All", "0:1", "Unknown option '--no-default-fc-route=0:1'"},
    {R"("--connect=dsr --delay-disconnect=500")", R"("--connect=dsr" --delay-disconnect=500)",
     "Unknown option '--delay-disconnect=500'"},
    {"--bi-route=0:1", "--bi-route=0:2", "Port 2 in '--bi-route=0:2' does not exist (2 ports given)"},
    {"--bi-route=0:1", "--bi-route=0", "Route '--bi-route=0' does not name two ports"},
    {"--bi-route=0:1", "--bi-route=0:0", "Route '--bi-route=0:0' does not join a serial port and a tcp port"},
    {"--bi-route=0:1", "--bi-route=0:1 --bi-route=1:0", "Port 1 is in a second route in '--bi-route=1:0'"},
    {"--bi-route=0:1 ", "", R"(Port 0 (\\.\CNCA1) is in no route)"},
    {"192.168.0.99:9761", "192.168.0.99:9761 192.168.0.98:4001", "Port 2 (192.168.0.98:4001) is in no route"},
    {"192.168.0.99:9761", "192.168.0.99", "Server '192.168.0.99' has no port"},
    {"192.168.0.99:9761", ":9761", "Server ':9761' has no valid host name"},
    {"192.168.0.99:9761", "192.168.0.99:0", "'0' in '192.168.0.99:0' is not a number from 1 to 65535"},
    {"192.168.0.99:9761", "192.168.0.99:65536", "'65536' in '192.168.0.99:65536' is not a number from 1 to 65535"},
    {"--add-filters=0:pc1", "--add-filters=0:pc9", "Filter 'pc9' in '--add-filters=0:pc9' is not defined"},
    {"--add-filters=0:pc1", "--add-filters=0,2:pc1", "Port 2 in '--add-filters=0,2:pc1' does not exist (2 ports given)"},
    {"--add-filters=0:pc1", "--add-filters=1:pc1", "Port 1 in '--add-filters=1:pc1' is not a serial port"},
    {"--add-filters=0:pc1", "--add-filters=0,0:pc1", "Port 0 gets a second pin2con filter in '--add-filters=0,0:pc1'"},
    {"--add-filters=0:pc1", "--add-filters=pc1", "No filter named in '--add-filters=pc1'"},
    {"--add-filters=0:pc1", "--add-filters=,0:pc1", "'' in '--add-filters=,0:pc1' is not a number from 0 to 2147483647"},
    {"pin2con,pc1:", "pin2con,pinmap:", "Filter 'pinmap' is defined twice"},
    {"pin2con,pc1:", "pin2con,p-1:", "Bad filter name 'p-1' in "
                                     "'--create-filter=pin2con,p-1:--connect=dsr --delay-disconnect=500'"},
    {"pin2con,pc1:", "pin3con,pc1:", "Unknown filter type 'pin3con' in "
                                     "'--create-filter=pin3con,pc1:--connect=dsr --delay-disconnect=500'"},
    {"--connect=dsr", "--connect=rts", "Unknown signal 'rts' in "
                                       "'--create-filter=pin2con,pc1:--connect=rts --delay-disconnect=500'"},
    {"--connect=dsr ", "", "Filter 'pc1' needs --connect="},
    {"--delay-disconnect=500", "--delay-disconnect=-5",
     "'-5' in '--create-filter=pin2con,pc1:--connect=dsr --delay-disconnect=-5' is not a number from 0 to 2147483647"},
    {"--delay-disconnect=500", "--delay-disconnect=500 --delay-disconnect=7",
     "Filter option '--delay-disconnect=7' is given twice in "
     "'--create-filter=pin2con,pc1:--connect=dsr --delay-disconnect=500 --delay-disconnect=7'"},
    {"--delay-disconnect=500", "--dtr=connect",
     "Unknown filter option '--dtr=connect' in '--create-filter=pin2con,pc1:--connect=dsr --dtr=connect'"},
    {"pinmap:--dtr=connect", "pinmap:--dtr=high",
     "Unknown filter option '--dtr=high' in '--create-filter=pinmap:--dtr=high'"},
    {"pinmap:--dtr=connect", "pinmap", "Filter 'pinmap' needs --dtr=connect"},
    {"--use-driver=serial", "--use-driver=usb", "Unknown driver 'usb' in '--use-driver=usb'"},
    {"--use-driver=serial ", "", R"(Port '\\.\CNCA1' comes before any --use-driver=)"},
    {R"(\\.\CNCA1)", "COM3", R"(Serial port 'COM3' is not \\.\CNCA followed by a number)"},
    {R"(\\.\CNCA1)", R"(\\.\CNCA)", R"(Serial port '\\.\CNCA' is not \\.\CNCA followed by a number)"},
    {R"(\\.\CNCA1)", R"(\\.\CNCA01)", R"(Serial port '\\.\CNCA01' is not \\.\CNCA followed by a number)"},
    {"--baud=9600", "--baud=0", "'0' in '--baud=0' is not a number from 1 to 2147483647"},
    {"--baud=9600", "--baud=09600", "'09600' in '--baud=09600' is not a number from 1 to 2147483647"},
    {"--baud=9600", "--baud=2147483648", "'2147483648' in '--baud=2147483648' is not a number from 1 to 2147483647"},
    {"--ito=10", "--ito=+10", "'+10' in '--ito=+10' is not a number from 0 to 2147483647"},
    {"--ito=10", "--ito=", "'' in '--ito=' is not a number from 0 to 2147483647"},
    {"--ito=10", "--ito=-1", "'-1' in '--ito=-1' is not a number from 0 to 2147483647"},
    {"pin2con,pc1:", "pin2con,pc1,x:", "Unknown filter name 'x' for 'pin2con' in "
                                       "'--create-filter=pin2con,pc1,x:--connect=dsr --delay-disconnect=500'"},
    {"--bi-route=0:1", With(kChain1, "client", "server"),
     "Unknown filter options '--comport=server' in '--create-filter=telnet,tcp1,telnet:--comport=server'"},
    {"--bi-route=0:1", With(kChain1, "escparse,com1,parse --create-filter=linectl,com1,lc:", "linectl,com1,lc:"),
     "Filters 'com1' are not the chain escparse, linectl"},
    {"--bi-route=0:1", With(kChain1, R"(pinmap,tcp1,pinmap:"--rts=cts --dtr=dsr --break=break")",
                               R"(linectl,tcp1,lc:"--br=remote --lc=remote")"), "Filter 'tcp1' is defined twice"},
    {"--bi-route=0:1", With(kChain1, "com1", "ser1"), "Filters 'ser1' are not named com<n>"},
    {"--bi-route=0:1", With(kChain1, "tcp1", "tcp2"),
     "Route '--bi-route=0:1' joins the chains 'com1' and 'tcp2', not com<n> and tcp<n>"},
    {"--bi-route=0:1", With(kChain1, " --add-filters=1:tcp1", ""),
     "Route '--bi-route=0:1' joins the chains 'com1' and '', not com<n> and tcp<n>"},
    {"--bi-route=0:1", With(kChain1, "0:com1", "1:com1"), "Port 1 in '--add-filters=1:com1' is not a serial port"},
    {"--bi-route=0:1", With(kChain1, "1:tcp1", "1,1:tcp1"),
     "Filters 'tcp1' go on more than one port in '--add-filters=1,1:tcp1'"},
};

// Names the case after its message, in the test's name.
void PrintTo(const Broken& c, std::ostream* os) { *os << c.message; }

class BrokenLine : public testing::TestWithParam<Broken> {};

TEST_P(BrokenLine, IsRejectedWithItsFault) {
    std::string line = Replaced(kExample1, GetParam().from, GetParam().to);
    hub::ParseResult r = hub::ParseArguments(SplitCommandLine(line));
    EXPECT_FALSE(r.model) << line;
    EXPECT_EQ(r.error, GetParam().message) << line;
}
INSTANTIATE_TEST_SUITE_P(Table, BrokenLine, testing::ValuesIn(kBroken));

TEST(HubLine, NoPortsAtAll) {
    EXPECT_EQ(hub::ParseArguments({}).error, "No ports given");
    EXPECT_EQ(hub::ParseArguments({"--reconnect=10000"}).error, "No ports given");
}

struct Accepted {
    const char* name;
    std::string line;
};
void PrintTo(const Accepted& c, std::ostream* os) { *os << c.name; }

// Lines the hub accepts, though the manager writes them in another order or not at all.
const Accepted kAccepted[] = {
    {"three bridges with ring, delay 0 and no delay",
     R"(--reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect )"
     R"(--add-filters=0,2,4:pinmap --create-filter=pin2con,pc3:"--connect=ring --delay-disconnect=0" )"
     R"(--add-filters=0:pc3 --bi-route=0:1 --use-driver=serial --ito=10 --baud=9600 \\.\CNCA3 --use-driver=tcp )"
     R"(192.168.0.99:9761 --bi-route=2:3 --use-driver=serial --ito=0 --baud=300 \\.\CNCA7 --use-driver=tcp )"
     R"(localhost:1 --create-filter=pin2con,pc1:--connect=cts --add-filters=4:pc1 --bi-route=4:5 )"
     R"(--use-driver=serial --ito=10 --baud=9600 \\.\CNCA1 --use-driver=tcp --reconnect=0 host:65535)"},
    {"names before definitions, the tcp port first, the filter id defaulted",
     R"(--bi-route=0:1 --add-filters=1:pin2con --create-filter=pin2con:"--delay-disconnect=5 --connect=dcd" )"
     R"(--use-driver=tcp 10.0.0.1:80 --use-driver=serial \\.\CNCA0)"},
    {"later ports keeping the settings in force",
     R"(--use-driver=serial --baud=19200 \\.\CNCA1 \\.\CNCA2 --use-driver=tcp a:1 b:2 --bi-route=0:2 --bi-route=3:1)"},
    {"what the bridge dialog lets through: an RX delay of 0, an address with colons",
     R"(--use-driver=serial --ito=0 \\.\CNCA1 --use-driver=tcp [::1]:9761 --bi-route=0:1)"},
    {"a bridge with port control", With(kExample1, "--bi-route=0:1", kChain1)},
};

class AcceptedLine : public testing::TestWithParam<Accepted> {};

TEST_P(AcceptedLine, RebuildsToTheSameModel) {
    hub::ParseResult r = hub::ParseArguments(SplitCommandLine(GetParam().line));
    ASSERT_TRUE(r.model) << r.error;
    std::vector<std::string> rebuilt = hub::BuildArguments(*r.model);
    hub::ParseResult again = hub::ParseArguments(rebuilt);
    ASSERT_TRUE(again.model) << again.error;
    EXPECT_EQ(*again.model, *r.model);
    EXPECT_EQ(SplitCommandLine(hub::BuildLine(*r.model)), rebuilt);
}
INSTANTIATE_TEST_SUITE_P(Examples, AcceptedLine, 
                         testing::Values(Accepted{"example 1", kExample1}, Accepted{"example 2", kExample2}));
INSTANTIATE_TEST_SUITE_P(Others, AcceptedLine, testing::ValuesIn(kAccepted));

TEST(HubLine, LaterPortsKeepTheSettingsInForce) {
    hub::ParseResult r = hub::ParseArguments(SplitCommandLine(kAccepted[2].line));
    ASSERT_TRUE(r.model) << r.error;
    std::vector<hub::Bridge> bridges = hub::Bridges(*r.model);
    ASSERT_EQ(bridges.size(), 2u);
    EXPECT_EQ(bridges[1].path, R"(\\.\CNCA2)");
    EXPECT_EQ(bridges[1].baud, 19200);
    EXPECT_EQ(bridges[1].ito, std::nullopt);
    EXPECT_EQ(bridges[1].host, "b");
    EXPECT_EQ(bridges[1].serialPort, 1);
    EXPECT_EQ(bridges[1].tcpPort, 3);
    EXPECT_FALSE(bridges[1].dtrOnConnect);
    EXPECT_EQ(bridges[1].connect, std::nullopt);
}

TEST(HubLine, RebuiltLineOfExample1) {
    hub::ParseResult r = hub::ParseArguments(kExample1Args);
    ASSERT_TRUE(r.model) << r.error;
    EXPECT_EQ(hub::BuildLine(*r.model),
              R"(--no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect )"
              R"(--create-filter=pin2con,pc1:"--connect=dsr --delay-disconnect=500" --add-filters=0:pinmap )"
              R"(--add-filters=0:pc1 --bi-route=0:1 --use-driver=serial --ito=10 --baud=9600 \\.\CNCA1 )"
              R"(--use-driver=tcp --reconnect=10000 192.168.0.99:9761)");
}

}  // namespace
