#include "hub/telnet.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using namespace hub::telnet;

namespace hub::telnet {
void PrintTo(const Verdict& v, std::ostream* os) { *os << VerdictText(v) << " (kind " << static_cast<int>(v.kind) << ")"; }
}  // namespace hub::telnet

namespace {

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

// Asked on connecting: a baud rate whose value holds two IACs.
const LineSettings kAsked{0xFFFF, StopBits::Two, FlowControl::Hardware};

using Kind = Verdict::Kind;
Verdict V(Kind kind, std::uint8_t command = 0, std::uint32_t asked = 0, std::uint32_t kept = 0) {
    return {kind, command, asked, kept, false};
}
const Verdict kSettled{Kind::Right, 0, 0, 0, true};

struct Row {
    const char* name;
    std::string toServer, coded;  // the serial port's data, as it goes out once fromServer is read
    std::string fromServer;
    std::string data, reply;  // what the client makes of it
    Verdict verdict;          // the answers judged when their time has run out
};

const Row kRows[] = {
    {"data with runs of IAC both ways, other commands dropped; no telnet while data flows", B({'a', 255, 255, 255, 'b'}),
     B({'a', 255, 255, 255, 255, 255, 255, 'b'}), B({'x', 255, 255, 255, 255, 255, 241, 'y', 255, 249}),
     B({'x', 255, 255, 'y'}), "", V(Kind::NoTelnet)},
    {"acknowledgements as asked, one with IACs in its value; states dropped", "", "",
     B({255, 250, 44, 101, 0, 0, 255, 255, 255, 255, 255, 240, 255, 250, 44, 102, 8, 255, 240,
        255, 250, 44, 103, 1, 255, 240, 255, 250, 44, 104, 2, 255, 240, 255, 250, 44, 105, 3, 255, 240,
        255, 250, 44, 105, 11, 255, 240, 255, 250, 44, 106, 255, 255, 255, 240, 255, 250, 44, 107, 48, 255, 240, 'z'}),
     "z", "", kSettled},
    {"an acknowledgement that differs: kept", "", "",
     B({255, 250, 44, 101, 0, 0, 37, 128, 255, 240, 255, 250, 44, 105, 1, 255, 240}), "", "",
     V(Kind::Kept, 1, 65535, 9600)},
    {"kept, then acknowledged as asked: right again", "", "",
     B({255, 250, 44, 101, 0, 0, 37, 128, 255, 240, 255, 250, 44, 101, 0, 0, 255, 255, 255, 255, 255, 240,
        255, 250, 44, 102, 8, 255, 240, 255, 250, 44, 103, 1, 255, 240, 255, 250, 44, 104, 2, 255, 240,
        255, 250, 44, 105, 3, 255, 240}), "", "", kSettled},
    {"negotiation: binary answers taken, no go-ahead agreed once, the rest refused; port control refused", "", "",
     B({255, 253, 0, 255, 253, 3, 255, 251, 0, 255, 251, 3, 255, 253, 24, 255, 251, 1, 255, 253, 44,
        255, 254, 44, 255, 252, 44, 255, 251, 44, 255, 253, 0, 255, 251, 3, 'k'}),
     "k", B({255, 251, 3, 255, 253, 3, 255, 252, 24, 255, 254, 1}), V(Kind::NoPortControl)},
    {"binary refused both ways: CR NUL both ways, CR LF kept; port control taken, never acknowledged",
     B({'x', 13, 'y', 13, 10, 255}), B({'x', 13, 0, 'y', 13, 0, 10, 255, 255}),
     B({255, 254, 0, 255, 252, 0, 255, 253, 44, 'a', 13, 0, 'b', 13, 10, 13, 255, 255, 0, 13}),
     B({'a', 13, 'b', 13, 10, 13, 255, 0, 13}), "", V(Kind::NotAcknowledged, 1, 65535)},
    {"binary refused from the server only: its CR NUL read as CR, the client's CR as it is", B({13, 0}), B({13, 0}),
     B({255, 252, 0, 255, 253, 44, 13, 0, 0}), B({13, 0}), "", V(Kind::NotAcknowledged, 1, 65535)},
    {"silence: port control not taken", "", "", "", "", "", V(Kind::NoPortControl)},
    {"an echo of the client's own start: no telnet", "", "", Client().Start(kAsked, 0, 0) + "e", "e", "",
     V(Kind::NoTelnet)},
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class TelnetCoding : public testing::TestWithParam<Row> {};

// Whole, and cut in two at every byte: the same data, answers and verdict.
TEST_P(TelnetCoding, ReadsAndWritesTheBytes) {
    const Row& row = GetParam();
    for (std::size_t cut = 0; cut <= row.fromServer.size(); ++cut) {
        Client client;
        client.Start(kAsked, 0, 0);
        std::string data, reply, coded;
        client.Read(row.fromServer.substr(0, cut), data, reply);
        client.Read(row.fromServer.substr(cut), data, reply);
        client.Code(row.toServer, coded);
        EXPECT_EQ(coded, row.coded) << cut;
        EXPECT_EQ(data, row.data) << cut;
        EXPECT_EQ(reply, row.reply) << cut;
        EXPECT_EQ(client.Judge(AnswerMs), row.verdict) << cut;
    }
}
INSTANTIATE_TEST_SUITE_P(Table, TelnetCoding, testing::ValuesIn(kRows));

TEST(TelnetCoding, ConnectingOffersPortControlAndBinaryAndSetsThePort) {
    Client client;
    EXPECT_EQ(client.Start(kAsked, 0, 0),
              B({255, 251, 44, 255, 251, 0, 255, 253, 0, 255, 250, 44, 1, 0, 0, 255, 255, 255, 255, 255, 240,
                 255, 250, 44, 2, 8, 255, 240, 255, 250, 44, 3, 1, 255, 240, 255, 250, 44, 4, 2, 255, 240,
                 255, 250, 44, 5, 3, 255, 240, 255, 250, 44, 0, 255, 240}));  // ... and asks for the signature
    EXPECT_EQ(client.Judge(AnswerMs - 1), Verdict());

    // What the server says of its port: its settings, once each is acknowledged, its signature
    // and its modem lines.
    std::string data, reply;
    client.Read(B({255, 250, 44, 101, 0, 0, 255, 255, 255, 255, 255, 240, 255, 250, 44, 102, 8, 255, 240,
                   255, 250, 44, 103, 1, 255, 240, 255, 250, 44, 104, 2, 255, 240, 255, 250, 44, 105, 3, 255, 240,
                   255, 250, 44, 100, 's', 'e', 'r', 255, 240, 255, 250, 44, 107, 0x30, 255, 240}),
                data, reply);
    EXPECT_EQ(client.AcknowledgedSettings(), (platform::HubSettings{0xFFFF, 8, 'N', 2, 1}));
    EXPECT_EQ(client.Signature() + data, "ser");
    EXPECT_EQ(client.ModemState(), std::optional<std::uint8_t>(0x30));
}

// A port that reads no rate: the last rate asked, else the bridge's, else no SET-BAUDRATE at all.
TEST(TelnetCoding, ARateOf0IsNeverAsked) {
    const LineSettings none{0, StopBits::One, FlowControl::None}, fast{57600, StopBits::One, FlowControl::None};
    const std::string setRate = B({255, 250, 44, 1});
    Client client, expected;
    EXPECT_EQ(client.Start(none, 0, 0).find(setRate), std::string::npos);
    EXPECT_EQ(client.Start(none, 57600, 0), expected.Start(fast, 0, 0));
    client.Start(fast, 9600, 0);
    EXPECT_EQ(client.Set(none, 0), expected.Set(fast, 0));
    EXPECT_EQ(client.Asked(), fast);
}

TEST(TelnetCoding, ARateReadBackOtherThanAskedIsNoted) {
    EXPECT_EQ(ReadBackNote(12345, 38400), "the port holds 38400 baud, not 12345 as asked; the server is asked for 38400");
    EXPECT_EQ(ReadBackNote(57600, 57600), "");
}

}  // namespace
