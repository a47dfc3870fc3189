// The hub's argument string and the checks that guard it, from the bridge table.
#include "tools/hub_args.h"

#include "config/bridge.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::string kGlobal =
    " --reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect --add-filters=";

struct Slot {
    int n;
    int index;
    const char* com;
    std::int32_t baud;
    int connect;
    std::int32_t delay;
    std::int32_t rxDelay;
    const char* ip;
    std::int32_t port;
    bool on = true;
    bool rfc2217 = false;
};

struct Case {
    const char* name;
    std::vector<Slot> slots;
    std::vector<std::string> rows;  // captions in displayed order
    std::string expected;
};

// The slots the list holds for these captions.
std::vector<int> Rows(const std::vector<std::string>& captions) {
    std::vector<int> slots;
    for (const std::string& caption : captions) slots.push_back(FindBridge(caption));
    return slots;
}

void Fill(const Slot& s) {
    TBridge& b = Bridges[s.n];
    b.Index = static_cast<std::uint8_t>(s.index);
    b.COM = s.com;
    b.Baud = s.baud;
    b.Emulate = true;
    b.Connect = static_cast<std::uint8_t>(s.connect);
    b.IP = s.ip;
    b.Port = s.port;
    b.Delay = s.delay;
    b.TXDelay = 77;  // never enters the hub's line
    b.RXDelay = s.rxDelay;
    b.Name = "ignored";
    b.Enabled = s.on;
    b.Rfc2217 = s.rfc2217;
}

const Case kCases[] = {
    {"FirstWorkedExample",
     {{1, 1, "COM3", 9600, 0, 500, 10, "192.168.0.99", 9761}},
     {"COM3"},
     " --reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect --add-filters=0:pinmap "
     "--create-filter=pin2con,pc1:\"--connect=dsr --delay-disconnect=500\" --add-filters=0:pc1 --bi-route=0:1 "
     "--use-driver=serial --ito=10 --baud=9600 \\\\.\\CNCA1 --use-driver=tcp 192.168.0.99:9761"},
    {"ABridgeSwitchedOffIsLeftOut",
     {{1, 1, "COM3", 9600, 0, 500, 10, "192.168.0.99", 9761}, {2, 2, "COM2", 9600, 0, 500, 10, "192.168.0.98", 1, false}},
     {"COM2", "COM3"},
     " --reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect --add-filters=0:pinmap "
     "--create-filter=pin2con,pc1:\"--connect=dsr --delay-disconnect=500\" --add-filters=0:pc1 --bi-route=0:1 "
     "--use-driver=serial --ito=10 --baud=9600 \\\\.\\CNCA1 --use-driver=tcp 192.168.0.99:9761"},
    {"SecondWorkedExample",
     {{1, 1, "COM5", 115200, 4, 500, 20, "192.168.0.98", 4001}, {2, 2, "COM3", 9600, 2, 0, 10, "192.168.0.99", 9761}},
     {"COM3", "COM5"},
     " --reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect --add-filters=0,2:pinmap "
     "--create-filter=pin2con,pc2:\"--connect=dcd\" --add-filters=0:pc2 --bi-route=0:1 --use-driver=serial --ito=10 "
     "--baud=9600 \\\\.\\CNCA2 --use-driver=tcp 192.168.0.99:9761 --bi-route=2:3 --use-driver=serial --ito=20 "
     "--baud=115200 \\\\.\\CNCA1 --use-driver=tcp 192.168.0.98:4001"},
    {"ThreeBridgesOutOfSlotOrder",
     {{2, 2, "COM1", 300, 1, 1, 0, "h1", 1},
      {5, 5, "COM2", 1200, 3, 250, 5, "h2", 2},
      {9, 9, "COM7", 57600, 4, 0, 15, "h3", 65535}},
     {"COM7", "COM1", "COM2"},
     kGlobal + "0,2,4:pinmap --bi-route=0:1 --use-driver=serial --ito=15 --baud=57600 \\\\.\\CNCA9 --use-driver=tcp h3:65535"
               " --create-filter=pin2con,pc2:\"--connect=cts --delay-disconnect=1\" --add-filters=2:pc2 --bi-route=2:3"
               " --use-driver=serial --ito=0 --baud=300 \\\\.\\CNCA2 --use-driver=tcp h1:1"
               " --create-filter=pin2con,pc5:\"--connect=ring --delay-disconnect=250\" --add-filters=4:pc5"
               " --bi-route=4:5 --use-driver=serial --ito=5 --baud=1200 \\\\.\\CNCA5 --use-driver=tcp h2:2"},
    {"ConnectAboveFourIsAlways",
     {{1, 1, "COM4", 9600, 7, 500, 10, "10.0.0.1", 23}},
     {"COM4"},
     kGlobal + "0:pinmap --bi-route=0:1 --use-driver=serial --ito=10 --baud=9600 \\\\.\\CNCA1 --use-driver=tcp 10.0.0.1:23"},
    {"DelayZeroLeavesOnlyTheConnectOption",
     {{1, 1, "COM4", 9600, 0, 0, 10, "h", 23}},
     {"COM4"},
     kGlobal + "0:pinmap --create-filter=pin2con,pc1:\"--connect=dsr\" --add-filters=0:pc1 --bi-route=0:1"
               " --use-driver=serial --ito=10 --baud=9600 \\\\.\\CNCA1 --use-driver=tcp h:23"},
    {"NegativeDelayLeavesOnlyTheConnectOption",
     {{1, 1, "COM4", 9600, 0, -500, 10, "h", 23}},
     {"COM4"},
     kGlobal + "0:pinmap --create-filter=pin2con,pc1:\"--connect=dsr\" --add-filters=0:pc1 --bi-route=0:1"
               " --use-driver=serial --ito=10 --baud=9600 \\\\.\\CNCA1 --use-driver=tcp h:23"},
    {"LargestNumbersInFull",
     {{1, 1, "COM4", 2147483647, 4, 0, 0, "h", 1}},
     {"COM4"},
     kGlobal + "0:pinmap --bi-route=0:1 --use-driver=serial --ito=0 --baud=2147483647 \\\\.\\CNCA1 --use-driver=tcp h:1"},
    {"PortUsesTheIndexFilterTheSlot",
     {{3, 7, "COM8", 19200, 2, 100, 10, "h", 5000}},
     {"COM8"},
     kGlobal + "0:pinmap --create-filter=pin2con,pc3:\"--connect=dcd --delay-disconnect=100\" --add-filters=0:pc3"
               " --bi-route=0:1 --use-driver=serial --ito=10 --baud=19200 \\\\.\\CNCA7 --use-driver=tcp h:5000"},
    {"TwoDigitSlotAndIndex",
     {{10, 10, "COM20", 38400, 1, 0, 10, "h", 5000}},
     {"COM20"},
     kGlobal + "0:pinmap --create-filter=pin2con,pc10:\"--connect=cts\" --add-filters=0:pc10"
               " --bi-route=0:1 --use-driver=serial --ito=10 --baud=38400 \\\\.\\CNCA10 --use-driver=tcp h:5000"},
    {"PortControlChainStandsBeforeItsRoute",
     {{1, 1, "COM3", 9600, 4, 0, 10, "h", 1}, {3, 3, "COM5", 19200, 0, 100, 10, "10.0.0.2", 2217, true, true}},
     {"COM3", "COM5"},
     kGlobal + "0,2:pinmap --bi-route=0:1 --use-driver=serial --ito=10 --baud=9600 \\\\.\\CNCA1 --use-driver=tcp h:1"
               " --create-filter=pin2con,pc3:\"--connect=dsr --delay-disconnect=100\" --add-filters=2:pc3"
               " --create-filter=escparse,com3,parse --create-filter=linectl,com3,lc:\"--br=local --lc=local\""
               " --add-filters=2:com3 --create-filter=telnet,tcp3,telnet:\"--comport=client\""
               " --create-filter=pinmap,tcp3,pinmap:\"--rts=cts --dtr=dsr --break=break\""
               " --create-filter=linectl,tcp3,lc:\"--br=remote --lc=remote\" --add-filters=3:tcp3"
               " --bi-route=2:3 --use-driver=serial --ito=10 --baud=19200 \\\\.\\CNCA3 --use-driver=tcp 10.0.0.2:2217"},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class HubArguments : public testing::TestWithParam<Case> {
protected:
    void SetUp() override { ClearBridges(); }
    void TearDown() override { ClearBridges(); }
};

TEST_P(HubArguments, AreBuiltToTheByte) {
    for (const Slot& s : GetParam().slots) Fill(s);
    ASSERT_EQ(CheckHubRows(Rows(GetParam().rows)), std::nullopt);
    EXPECT_EQ(BuildHubArguments(Rows(GetParam().rows)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, HubArguments, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(HubArgumentsPinmap, ListsEverySerialPortWithoutATrailingComma) {
    ClearBridges();
    std::vector<std::string> rows;
    for (int n = 1; n <= 10; ++n) rows.push_back("COM" + std::to_string(n));
    for (int n = 1; n <= 10; ++n) Fill({n, n, rows[n - 1].c_str(), 9600, 4, 0, 10, "h", 1});
    const std::string head = kGlobal + "0,2,4,6,8,10,12,14,16,18:pinmap --bi-route=0:1 ";
    const std::string args = BuildHubArguments(Rows(rows));
    EXPECT_EQ(args.substr(0, head.size()), head);
    EXPECT_NE(args.find(" --bi-route=18:19 "), std::string::npos);
    ClearBridges();
}

TEST(ServerAddress, RefusesWhatWouldSplitOrBreakTheLine) {
    struct {
        std::string address;
        bool valid;
    } const cases[] = {
        {"192.168.0.99", true},
        {"host.example", true},
        {"[::1]", false},  // a colon: the hub would read the port from it
        {"caf\xE9", true},  // ANSI letters stand unquoted
        {"", false},
        {" ", false},
        {"192.168.0.99 --x", false},
        {"a\"b", false},
        {"a\tb", false},
        {std::string("a\0b", 3), false},
        {"a\x1F", false},
        {"a\x7F", false},
        {"-host", false},  // an option to the hub
        {"host-1", true},
        {"127.0.0.1:80", false},  // the hub would read a second port
        {"999.1.2.3", false},     // four numbers, but no address
        {"10.0.0.256", false},
        {"1.2.3.4.300", true},  // five numbers: a name
        {"255.255.255.255", true},
        {std::string(253, 'h'), true},  // the longest host name
        {std::string(254, 'h'), false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidServerAddress(c.address), c.valid) << c.address;
}

class HubRows : public testing::Test {
protected:
    void SetUp() override {
        ClearBridges();
        Fill({1, 1, "COM3", 9600, 0, 500, 10, "192.168.0.99", 9761});
        Fill({2, 2, "COM9", 9600, 0, 500, 10, "192.168.0.98", 9761});
    }
    void TearDown() override { ClearBridges(); }
};

TEST_F(HubRows, AcceptDefinedBridgesWithValidAddresses) {
    Bridges[2].Name = "B\n2026";  // the dialog refuses it, a stored one starts
    EXPECT_EQ(CheckHubRows(Rows({"COM3", "COM9"})), std::nullopt);
}

TEST_F(HubRows, NameTheFirstRowWithoutABridge) {
    EXPECT_EQ(CheckHubRows({1, 3, 2}), "Bridge slot 3 is not defined");
    EXPECT_EQ(CheckHubRows({0}), "Bridge slot 0 is not defined");
    EXPECT_EQ(CheckHubRows({11}), "Bridge slot 11 is not defined");
    EXPECT_EQ(CheckHubRows({2, 2}), "Bridge 'COM9' is defined twice");
    EXPECT_THROW(BuildHubArguments({1, 4}), std::invalid_argument);
}

TEST_F(HubRows, NameTheRowWhoseServerAddressWouldBreakTheLine) {
    Bridges[2].IP = "1.2.3.4 --reconnect=1";
    EXPECT_EQ(CheckHubRows(Rows({"COM3", "COM9"})), "Bridge 'COM9' has an invalid server address");
    Bridges[2].IP = "";
    EXPECT_EQ(CheckHubRows(Rows({"COM9"})), "Bridge 'COM9' has an invalid server address");
    Bridges[2].IP = "\"x";
    EXPECT_THROW(BuildHubArguments(Rows({"COM9"})), std::invalid_argument);
}

TEST_F(HubRows, NameTheRowWhosePortOrRXDelayTheHubWouldRefuse) {
    Bridges[2].Port = 0;
    EXPECT_EQ(CheckHubRows(Rows({"COM3", "COM9"})), "Bridge 'COM9' has an invalid server port");
    Bridges[2].Port = 65536;
    EXPECT_EQ(CheckHubRows(Rows({"COM9"})), "Bridge 'COM9' has an invalid server port");
    Bridges[1].RXDelay = -1;
    EXPECT_EQ(CheckHubRows(Rows({"COM3", "COM9"})), "Bridge 'COM3' has an invalid RX delay");
}

}  // namespace
