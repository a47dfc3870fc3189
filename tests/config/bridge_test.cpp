#include "config/bridge.h"
#include "config/bridge_fields.h"

#include <gtest/gtest.h>

namespace {

class BridgeTable : public testing::Test {
protected:
    void SetUp() override { ClearBridges(); }
    void TearDown() override { ClearBridges(); }

    static void Use(int n, const char* com) {
        Bridges[n].COM = com;
        Bridges[n].Port = 9761;
        Bridges[n].Index = static_cast<std::uint8_t>(n);
    }
};

TEST_F(BridgeTable, ShortTextsAreCutToTheirLimits) {
    TBridge b;
    b.COM = "COM12345678";  // 11 characters
    b.IP = std::string(300, 'h');  // a host name runs to 253 characters
    b.Name = "a name that is much longer than allowed";
    EXPECT_EQ(b.COM, "COM1234567");
    EXPECT_EQ(b.IP, std::string(254, 'h'));
    EXPECT_EQ(b.Name, "a name that is much l");
    EXPECT_STREQ(b.COM.c_str(), "COM1234567");
}

TEST_F(BridgeTable, FindBridgeMatchesExactlyAndPrefersTheLowerSlot) {
    Use(2, "COM3");
    Use(5, "COM3");
    Use(7, "COM12");
    Use(10, "COM10");
    EXPECT_EQ(FindBridge("COM3"), 2);
    EXPECT_EQ(FindBridge("COM12"), 7);
    EXPECT_EQ(FindBridge("COM10"), 10);
    EXPECT_EQ(FindBridge("com3"), -1);
    EXPECT_EQ(FindBridge("COM1"), -1);
    EXPECT_EQ(FindBridge("COM33"), -1);
    EXPECT_EQ(FindBridge(""), -1);  // free slots never match
}

TEST_F(BridgeTable, FirstFreeSlotIsTheLowestClearedOne) {
    EXPECT_EQ(FirstFreeSlot(), 1);
    Use(1, "COM1");
    Use(2, "COM2");
    Use(4, "COM4");
    EXPECT_EQ(FirstFreeSlot(), 3);
    for (int n = 1; n <= 10; ++n) Use(n, "COM1");
    EXPECT_EQ(FirstFreeSlot(), 11);
    ZeroSlot(6);
    EXPECT_EQ(FirstFreeSlot(), 6);
}

TEST_F(BridgeTable, ASlotWithPortZeroButAComTextIsNotFree) {
    Bridges[1].COM = "COM3";  // loaded with Port 0: listed, so not free
    EXPECT_EQ(FirstFreeSlot(), 2);
}

TEST_F(BridgeTable, HeldBackSlotsAreNotFreeUntilCleared) {
    HeldBack[1] = true;
    HeldBack[2] = true;
    EXPECT_EQ(FirstFreeSlot(), 3);
    ClearBridges();
    EXPECT_EQ(FirstFreeSlot(), 1);
}

TEST_F(BridgeTable, ClearKeepsTheScratchSlotAndCopyIsWhole) {
    Bridges[0].COM = "COM9";
    Bridges[0].flag = true;
    Bridges[0].TXDelay = -4;
    Use(3, "COM3");
    ClearBridges();
    EXPECT_EQ(Bridges[0].COM, "COM9");
    EXPECT_EQ(Bridges[3].COM, "");
    EXPECT_EQ(Bridges[3].Port, 0);

    CopySlot(0, 4);
    EXPECT_EQ(Bridges[4].COM, "COM9");
    EXPECT_TRUE(Bridges[4].flag);
    EXPECT_EQ(Bridges[4].TXDelay, -4);
    EXPECT_EQ(SlotNumber(Bridges[4]), 4);
}

TEST_F(BridgeTable, RowShowsTheListedFieldsInColumnOrder) {
    Use(1, "COM3");
    Bridges[1].IP = "10.0.0.1";
    Bridges[1].Port = -7;
    Bridges[1].Name = "Scale";
    EXPECT_EQ(RowOf(Bridges[1]), (std::vector<std::string>{"COM3", "10.0.0.1", "-7", "Scale"}));
    MarkUnreadable(1, "Port", "4710 2");  // shown as stored, in the first slot as in any
    EXPECT_EQ(RowOf(Bridges[1]), (std::vector<std::string>{"COM3", "10.0.0.1", "4710 2", "Scale"}));
    MarkStoredAs(1, "Baud", "a number");
    EXPECT_EQ(UnreadReason(1), "Baud is stored as a number, not as text");
    EXPECT_EQ(LeftOutText(1), "Bridge slot 1 was left out: Baud is stored as a number, not as text");
}

}  // namespace
