#include "hub/telnet.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using namespace hub::telnet;

namespace {

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

// Asked on connecting: a baud rate whose value holds two IACs.
const LineSettings kAsked{0xFFFF, StopBits::Two, FlowControl::Hardware};

struct Row {
    const char* name;
    std::string toServer, escaped;  // the serial port's data, as it goes out
    std::string fromServer;
    std::string data, reply;  // what the client makes of it
    std::vector<std::string> notes;
};

const Row kRows[] = {
    {"data with runs of IAC both ways, other commands dropped", B({'a', 255, 255, 255, 'b'}),
     B({'a', 255, 255, 255, 255, 255, 255, 'b'}), B({'x', 255, 255, 255, 255, 255, 241, 'y', 255, 249}),
     B({'x', 255, 255, 'y'}), "", {}},
    {"acknowledgements as asked, one with IACs in its value; states dropped", "", "",
     B({255, 250, 44, 101, 0, 0, 255, 255, 255, 255, 255, 240, 255, 250, 44, 102, 8, 255, 240,
        255, 250, 44, 103, 1, 255, 240, 255, 250, 44, 104, 2, 255, 240, 255, 250, 44, 105, 3, 255, 240,
        255, 250, 44, 105, 11, 255, 240, 255, 250, 44, 106, 255, 255, 255, 240, 255, 250, 44, 107, 48, 255, 240, 'z'}),
     "z", "", {}},
    {"an acknowledgement that differs", "", "",
     B({255, 250, 44, 101, 0, 0, 37, 128, 255, 240, 255, 250, 44, 105, 1, 255, 240}), "", "",
     {"the server set baud rate 9600, not 65535 as asked", "the server set flow control 1, not 3 as asked"}},
    {"negotiation: binary and no go-ahead agreed once, the rest refused, the offer kept", "", "",
     B({255, 253, 0, 255, 253, 3, 255, 251, 0, 255, 251, 3, 255, 253, 24, 255, 251, 1, 255, 253, 44,
        255, 254, 44, 255, 252, 44, 255, 251, 44, 255, 253, 0, 255, 251, 3, 'k'}),
     "k", B({255, 251, 0, 255, 251, 3, 255, 253, 0, 255, 253, 3, 255, 252, 24, 255, 254, 1, 255, 254, 44}), {}},
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class TelnetCoding : public testing::TestWithParam<Row> {};

// Whole, and cut in two at every byte: the same data, answers and notes.
TEST_P(TelnetCoding, ReadsAndWritesTheBytes) {
    const Row& row = GetParam();
    std::string escaped;
    Escape(row.toServer, escaped);
    EXPECT_EQ(escaped, row.escaped);
    for (std::size_t cut = 0; cut <= row.fromServer.size(); ++cut) {
        Client client;
        client.Start(kAsked);
        std::string data, reply;
        std::vector<std::string> notes;
        client.Read(row.fromServer.substr(0, cut), data, reply, notes);
        client.Read(row.fromServer.substr(cut), data, reply, notes);
        EXPECT_EQ(data, row.data) << cut;
        EXPECT_EQ(reply, row.reply) << cut;
        EXPECT_EQ(notes, row.notes) << cut;
    }
}
INSTANTIATE_TEST_SUITE_P(Table, TelnetCoding, testing::ValuesIn(kRows));

TEST(TelnetCoding, ConnectingOffersPortControlAndSetsThePort) {
    EXPECT_EQ(Client().Start(kAsked),
              B({255, 251, 44, 255, 250, 44, 1, 0, 0, 255, 255, 255, 255, 255, 240, 255, 250, 44, 2, 8, 255, 240,
                 255, 250, 44, 3, 1, 255, 240, 255, 250, 44, 4, 2, 255, 240, 255, 250, 44, 5, 3, 255, 240}));
}

}  // namespace
