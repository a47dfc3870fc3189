// The bridges' store, through the real registry of the test prefix.
#include "config/bridge_fields.h"
#include "config/config_store.h"
#include "config/number.h"
#include "config/reg_ini_file.h"
#include "support/every_field.h"
#include "support/test_registry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

using namespace testreg;
const char* const kKey = kProgramKey;

std::string Slot(int n) { return SlotKey(n); }


class ConfigStore : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillon");
        ClearBridges();
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillon");
        ClearBridges();
    }

    // A save of every slot, each written whole.
    static void SaveAll() {
        for (int n = 1; n <= 10; ++n) SaveBridge(n);
    }

    std::vector<std::string> Load() {
        std::vector<std::string> rows;
        LoadBridges([&](const TBridge& b) { rows.push_back(b.COM.str()); });
        return rows;
    }

    // Every field of a record, by name, in the table's order.
    static std::string Fields(const TBridge& b) {
        std::string text;
        for (const TBridgeField& field : BridgeFields) text += std::string(field.Name) + "=" + FieldText(b, field) + " ";
        return text;
    }

    // A bridge of the table's defaults on pair n.
    static void Define(int n, const char* com, std::int32_t port) {
        for (const TBridgeField& field : BridgeFields) SetFieldText(Bridges[n], field, field.Default, ParseNumber);
        Bridges[n].Index = static_cast<std::uint8_t>(n);
        Bridges[n].COM = com;
        Bridges[n].Port = port;
    }
};

TEST_F(ConfigStore, SavesTheExampleSlotValueByValue) {
    Define(1, "COM3", 9761);
    SaveAll();

    EXPECT_EQ(Fields(Bridges[1]), "Index=1 COM=COM3 Baud=9600 Emulate=1 Name= Connect=0 IP=192.168.0.99 Port=9761 "
                                  "Delay=500 TXDelay=10 RXDelay=10 Enabled=1 RFC2217=0 ");
    for (const TBridgeField& field : BridgeFields) {
        const std::string text = FieldText(Bridges[1], field);
        const RawValue v = ReadRaw(Slot(1), field.Name);
        ASSERT_TRUE(v.exists) << field.Name;
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ)) << field.Name;
        EXPECT_EQ(v.data.size(), text.size() + 1) << field.Name;
        EXPECT_EQ(v.data, text + '\0') << field.Name;
    }
    for (int n = 2; n <= 10; ++n) EXPECT_FALSE(KeyExists(Slot(n))) << n;
}

TEST_F(ConfigStore, RoundTripsEveryField) {
    Bridges[4] = EveryFieldSet();
    Bridges[4].COM = "COM12";
    Bridges[4].Port = 4001;
    Bridges[4].Index = 7;
    Bridges[4].Baud = 115200;
    Bridges[4].Emulate = false;
    Bridges[4].Connect = 4;
    Bridges[4].IP = "host.example";
    Bridges[4].Name = "Scale";
    Bridges[4].Delay = -3;
    Bridges[4].TXDelay = 0;
    Bridges[4].RXDelay = 2147483647;
    Bridges[4].Enabled = false;
    const TBridge saved = Bridges[4];
    SaveAll();
    ClearBridges();

    EXPECT_EQ(Load(), std::vector<std::string>{"COM12"});
    EXPECT_EQ(Fields(Bridges[4]), Fields(saved));
    }

TEST_F(ConfigStore, LoadWithoutTheKeyCreatesItEmpty) {
    EXPECT_TRUE(Load().empty());
    EXPECT_TRUE(KeyExists(kKey));
    EXPECT_EQ(FirstFreeSlot(), 1);
}

TEST_F(ConfigStore, PortDecidesWhetherASlotIsRead) {
    struct Case {
        const char* port;
        bool readable;
        std::int32_t value;
    };
    const Case cases[] = {{"9761", true, 9761}, {" 9761", true, 9761}, {"0x2621", true, 9761}, {"0", false, 0},
                          {"-5", false, 0},     {"9761 ", false, 0},   {"$FFFFFFFF", false, 0}, {"-1", false, 0},
                          {"abc", false, 0},    {"", false, 0}};
    for (const Case& c : cases) {
        SetUp();
        WriteText(Slot(2), "Port", c.port);
        WriteText(Slot(2), "COM", "COM7");
        WriteText(Slot(2), "Index", "x");
        EXPECT_EQ(Load(), std::vector<std::string>{"COM7"}) << "a Port that is there lists its slot: " << c.port;
        EXPECT_EQ(Bridges[2].Port, c.value) << c.port;
        EXPECT_EQ(Unreadable[2], !c.readable) << c.port;
        if (!c.readable) {
            EXPECT_FALSE(IsFreeSlot(2)) << c.port;
            EXPECT_EQ(UnreadReason(2), "Port '" + std::string(c.port) + "' cannot be read");
            EXPECT_EQ(Bridges[2].Index, 0) << "no pair known to be its own";
            SaveBridge(2);
            EXPECT_EQ(ReadText(Slot(2), "Port"), c.port) << "kept as stored";
        }
    }
}

TEST_F(ConfigStore, KeyWithoutPortOrWithOnlyPort) {
    WriteText(Slot(1), "COM", "COM5");  // no Port: skipped
    WriteText(Slot(2), "Port", "9761");
    EXPECT_EQ(Load(), std::vector<std::string>{"COM3"});
    TBridge defaults{};
    for (const TBridgeField& field : BridgeFields) SetFieldText(defaults, field, field.Default, ParseNumber);
    defaults.Port = 9761;
    EXPECT_EQ(Fields(Bridges[2]), Fields(defaults)) << "every missing value is its field's default";
}

TEST_F(ConfigStore, NumbersAndTextsAreTakenAsSpecifiedWhenLoading) {
    WriteText(Slot(1), "Port", "9761");
    WriteText(Slot(1), "Index", "300");
    WriteText(Slot(1), "Connect", "7");
    WriteText(Slot(1), "Emulate", "yes");
    WriteText(Slot(1), "COM", "COM123456789");
    WriteText(Slot(1), "IP", std::string(300, 'i'));
    WriteText(Slot(1), "Name", std::string(30, 'n'));
    WriteText(Slot(2), "Port", "1");
    WriteText(Slot(2), "Emulate", "2");
    WriteText(Slot(3), "Port", "1");
    WriteText(Slot(3), "Emulate", "0");
    Load();
    EXPECT_EQ(Bridges[1].Index, 44);
    EXPECT_EQ(Bridges[1].Connect, 7);
    EXPECT_TRUE(Bridges[1].Emulate);
    EXPECT_EQ(Bridges[1].COM, "COM1234567");
    EXPECT_EQ(Bridges[1].IP, std::string(254, 'i')) << "a host name in full, and one more: the start refuses it";
    EXPECT_EQ(Bridges[1].Name, std::string(21, 'n'));
    EXPECT_TRUE(Bridges[2].Emulate);
    EXPECT_FALSE(Bridges[3].Emulate);
}

TEST_F(ConfigStore, ZeroLengthAndExpandableTexts) {
    WriteText(Slot(1), "Port", "9761");
    WriteRaw(Slot(1), "COM", REG_EXPAND_SZ, std::string("%PORT%\0", 7));  // returned unexpanded
    WriteRaw(Slot(1), "IP", REG_SZ, "");            // zero bytes: the empty text, not the default address
    WriteRaw(Slot(1), "Name", REG_SZ, "Scale");      // no terminating zero
    WriteRaw(Slot(1), "Baud", REG_SZ, "");           // a number from the empty text takes the default
    WriteRaw(Slot(1), "Delay", REG_SZ, std::string("7\0junk", 6));
    Load();
    EXPECT_EQ(Bridges[1].COM, "%PORT%");
    EXPECT_EQ(Bridges[1].IP.str(), "");
    EXPECT_EQ(Bridges[1].Name, "Scale");
    EXPECT_EQ(Bridges[1].Baud, 9600);
    EXPECT_EQ(Bridges[1].Delay, 7);
}

TEST_F(ConfigStore, AValueStoredAsNoTextIsTheReasonOfItsSlotAlone) {
    const struct {
        const char* value;
        DWORD type;
        const char* reason;
    } cases[] = {
        {"Baud", REG_DWORD, "Baud is stored as a number, not as text"},
        {"Port", REG_DWORD, "Port is stored as a number, not as text"},
        {"COM", REG_BINARY, "COM is stored as binary data, not as text"},
        {"IP", REG_MULTI_SZ, "IP is stored as a list of texts, not as text"},
        {"Name", REG_QWORD, "Name is stored as a number, not as text"},
        {"Index", REG_NONE, "Index is stored as data of no type, not as text"},
    };
    for (const auto& c : cases) {
        SetUp();
        WriteBridge(1, "COM1");
        WriteRaw(Slot(1), c.value, c.type, std::string("\x21\x26\0\0\0\0\0\0", 8));
        WriteBridge(2, "COM2");
        EXPECT_EQ(Load().size(), 2u) << c.value << ": no exception, both listed";
        EXPECT_TRUE(Unreadable[1]) << c.value;
        EXPECT_EQ(UnreadReason(1), c.reason);
        EXPECT_FALSE(IsUnread(2)) << c.value;
        SaveBridge(1);
        EXPECT_EQ(ReadRaw(Slot(1), c.value).type, c.type) << "kept as stored";
    }
}

TEST_F(ConfigStore, AnEditOfABridgeDeletedOrChangedMeanwhileIsStoredWhole) {
    for (bool deleted : {true, false}) {
        SetUp();
        WriteBridge(3, "COM3");
        Load();
        const TBridge before = Bridges[3];
        if (deleted) RegDeleteTreeA(HKEY_CURRENT_USER, Slot(3).c_str());
        else WriteText(Slot(3), "Baud", "300");
        Bridges[3].Name = "renamed";
        SaveBridge(3, &before);
        ClearBridges();
        Load();
        Bridges[3].Name = "";
        EXPECT_EQ(Fields(Bridges[3]), Fields(before)) << (deleted ? "deleted" : "changed");
    }
}

TEST_F(ConfigStore, ProgramKeyThatCannotBeOpenedHoldsBackEverySlot) {
    WriteBridge(2, "COM2");
    WriteBridge(10, "COM10");
    DenyAccess(kKey, true);
    EXPECT_THROW(Load(), ERegistryException);
    DenyAccess(kKey, false);
    for (int n = 1; n <= 10; ++n) EXPECT_TRUE(HeldBack[n]) << n;
    EXPECT_EQ(FirstFreeSlot(), 11) << "no add";
    SaveAll();
    EXPECT_EQ(ReadText(Slot(2), "COM"), "COM2");
    EXPECT_EQ(ReadText(Slot(10), "COM"), "COM10");
}

TEST_F(ConfigStore, SaveKeepsWhatTheWindowCannotShowOrChangeAndDropsFreedSlots) {
    WriteText(Slot(2), "Port", "0");
    WriteText(Slot(2), "COM", "COM2");
    WriteText(Slot(2) + "\\Inner\\Deeper", "x", "y");
    WriteText(Slot(3), "Port", "-4");
    WriteText(Slot(4), "Port", "9761");
    WriteText(Slot(4), "COM", "");
    WriteText(Slot(5), "Port", "4710 2");
    EXPECT_EQ(Load(), (std::vector<std::string>{"COM2", "COM3", "", "COM3"})) << "every slot with a Port is listed";
    EXPECT_FALSE(IsFreeSlot(4)) << "an empty COM text is unreadable";
    EXPECT_EQ(HeldBackText(4), "Bridge slot 4 cannot be read: COM ''");
    EXPECT_EQ(LeftOutText(5), "Bridge slot 5 was left out: Port '4710 2' cannot be read");
    EXPECT_EQ(RowOf(Bridges[5])[2], "4710 2") << "the server port shown as stored";
    SaveAll();
    EXPECT_EQ(ReadText(Slot(2), "Port"), "0") << "a listed bridge without a valid port stays as stored";
    EXPECT_EQ(ReadText(Slot(3), "COM"), "<missing>") << "and is not rewritten";
    EXPECT_EQ(ReadText(Slot(4), "Port"), "9761");

    ZeroSlot(2);  // deleted
    ZeroSlot(3);
    SaveAll();
    EXPECT_FALSE(KeyExists(Slot(2))) << "dropped with its subkeys";
    EXPECT_FALSE(KeyExists(Slot(3)));
    EXPECT_TRUE(KeyExists(Slot(4)));
    EXPECT_TRUE(KeyExists(std::string(kKey) + "\\Bridges"));
}

TEST_F(ConfigStore, KeysOutsideOneToTenAreNeitherReadNorRemoved) {
    for (const char* name : {"0", "11", "01"}) {
        const std::string path = std::string(kKey) + "\\Bridges\\" + name;
        WriteText(path, "Port", "9761");
        WriteText(path, "COM", name);
    }
    EXPECT_TRUE(Load().empty());
    SaveAll();
    for (const char* name : {"0", "11", "01"})
        EXPECT_TRUE(KeyExists(std::string(kKey) + "\\Bridges\\" + name)) << name;
}

TEST_F(ConfigStore, SaveOverwritesInPlaceAndKeepsOtherValues) {
    WriteRaw(Slot(1), "Port", REG_DWORD, std::string(4, '\0'));
    WriteText(Slot(1), "Extra", "kept");
    Define(1, "COM3", 9761);
    SaveAll();
    EXPECT_EQ(ReadRaw(Slot(1), "Port").type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ReadRaw(Slot(1), "Extra").data, std::string("kept\0", 5));

    // A save of one bridge writes its changed values and nothing else: a Name in UTF-16 (as an
    // import writes it) and one past the field's length stay byte for byte.
    const std::wstring wide = L"\x0412\x0435\x0441\x044B-\x2116\x0031";
    const std::string utf16(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * sizeof(wchar_t));
    WriteRaw(Slot(1), "Name", REG_SZ, utf16);
    WriteText(Slot(3), "Port", "4003");
    WriteText(Slot(3), "COM", "COM4");
    WriteText(Slot(3), "Name", std::string(255, 'n'));
    ClearBridges();
    Load();
    for (int n : {1, 3}) {
        const TBridge before = Bridges[n];
        Bridges[n].Port = 4100 + n;
        SaveBridge(n, &before);
    }
    Define(2, "COM5", 4002);
    SaveBridge(2);
    EXPECT_EQ(ReadRaw(Slot(1), "Name").data, utf16);
    EXPECT_EQ(ReadText(Slot(3), "Name"), std::string(255, 'n'));
    EXPECT_EQ(ReadText(Slot(3), "Port"), "4103");
}

TEST(RegIniFile, ReportsTheFourFailures) {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillon");
    TRegIniFile store(kKey);
    WriteRaw(std::string(kKey) + "\\S", "bin", REG_BINARY, "abc");
    try {
        store.GetText("S", "bin", "");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'bin'");
    }
    EXPECT_EQ(store.GetText("S", "missing", "def"), "def");
    EXPECT_EQ(store.GetText("Missing", "x", "def"), "def");

    // A value name longer than the registry allows cannot be stored.
    try {
        store.PutText("S", std::string(20000, 'v'), "x");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Failed to set data for '", 0), 0u);
    }
    // A section below a value-only path that cannot be a key name: empty components are refused.
    try {
        store.PutText(std::string(300, 'k'), "x", "y");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to create key " + std::string(300, 'k'));
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillon");
}

}  // namespace
