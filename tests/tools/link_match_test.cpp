// Telling each bridge's link from the established connections, and the words for it.
#include "tools/link_match.h"

#include "support/hub_entry.h"

#include <gtest/gtest.h>

namespace {

using S = TLinkState;

using H = platform::HubLinkState;

TEST(LinkMatch, States) {
    const std::uint32_t server = 0xC0A80063, other = 0x0A000001;  // 192.168.0.99, 10.0.0.1
    const TLinkEnd resolved{server, 9761, "\\\\.\\cnca1"}, unresolved{std::nullopt, 9761};
    const auto with = [&](H state) { return HubEntry(state, 50002, server, 9761, "\\\\.\\CNCA1"); };
    const platform::HubLink linked = with(H::Connected), elsewhere = HubEntry(H::Connected, 50002, other, 9761, "\\\\.\\CNCA1");
    struct {
        const char* what;
        TLinkEnd end;
        std::vector<TTcpConnection> established;
        std::vector<std::uint32_t> hubPids;
        bool running;
        S state;
        std::optional<std::vector<platform::HubLink>> record = {};  // the hub's entries, as it tells them
    } const cases[] = {
        {"no hub runs", resolved, {{server, 9761, 0}}, {}, false, S::Stopped},
        {"owners unknown: the remote end decides", resolved, {{server, 9761, 0}}, {}, true, S::Connected},
        {"owners unknown, whatever the hub's ids", resolved, {{server, 9761, 0}}, {42}, true, S::Connected},
        {"owners named: the hub's", resolved, {{server, 9761, 7}, {server, 9761, 42}}, {41, 42}, true, S::Connected},
        {"owners named: another process's", resolved, {{server, 9761, 7}}, {42}, true, S::Waiting},
        {"another port", resolved, {{server, 9762, 0}, {server, 9760, 0}}, {}, true, S::Waiting},
        {"another address", resolved, {{other, 9761, 0}}, {}, true, S::Waiting},
        {"no connection", resolved, {}, {}, true, S::Waiting},
        {"a connection the server closed", resolved, {{server, 9761, 0, false}}, {}, true, S::Waiting},
        {"host name not resolved yet", unresolved, {{0, 9761, 0}, {server, 9761, 0}}, {}, true, S::Waiting},
        {"owners unknown, the hub tells its own: another's", resolved, {{server, 9761, 0, true, 50001}}, {}, true, S::Waiting, {{linked}}},
        {"owners unknown, the hub tells its own: its own", resolved, {{server, 9761, 0, true, 50001}, {server, 9761, 0, true, 50002}}, {}, true, S::Connected, {{linked}}},
        {"owners unknown, the hub tells none connected", resolved, {{server, 9761, 0, true, 50001}}, {}, true, S::Waiting, {{}}},
        {"owners named: the ids decide, not the ports", resolved, {{server, 9761, 42, true, 50001}}, {42}, true, S::Connected, {{}}},
        {"some owners named, another's unnamed", resolved, {{server, 9761, 0, true, 50001}, {other, 2, 42}}, {42}, true, S::Waiting, {{linked}}},
        {"the hub's local port, but its entry's server another", resolved, {{server, 9761, 0, true, 50002}}, {}, true, S::Waiting, {{elsewhere}}},
        {"the hub's local port, the server of another bridge's entry", resolved, {{server, 9761, 0, true, 50002}}, {}, true, S::Waiting, {{HubEntry(H::Idle, 0, 0, 0, "\\\\.\\CNCA1"), HubEntry(H::Connected, 50002, server, 9761, "\\\\.\\CNCA2")}}},
        {"its port lost", resolved, {{server, 9761, 0, true, 50002}}, {}, true, S::Waiting, {{with(H::PortLost)}}},
        {"its server refused port control", resolved, {{server, 9761, 0, true, 50002}}, {}, true, S::Refused, {{with(H::Refused)}}},
        {"owners named: the ids decide, the entry its state", resolved, {{server, 9761, 42, true, 50001}}, {42}, true, S::Refused, {{with(H::Refused)}}},
        {"refused, but the connection gone", resolved, {}, {}, true, S::Waiting, {{with(H::Refused)}}},
        {"its server speaks telnet", resolved, {{server, 9761, 0, true, 50002}}, {}, true, S::Mismatched, {{with(H::SpeaksTelnet)}}},
    };
    for (const auto& c : cases) {
        const std::vector<TLinkEnd> ends = {c.end, {other, 1}};
        const S second = c.running ? S::Waiting : S::Stopped;
        EXPECT_EQ(MatchLinks(ends, c.established, c.hubPids, c.running, nullptr, c.record ? &*c.record : nullptr),
                  (std::vector<S>{c.state, second})) << c.what;
    }
    EXPECT_FALSE(OwnersReported({{server, 9761, 0}, {other, 1, 0}}));
    EXPECT_TRUE(OwnersReported({{server, 9761, 0}, {other, 1, 4}}));
}

TEST(LinkMatch, DottedAddresses) {
    EXPECT_EQ(ParseIPv4("127.0.0.1"), 0x7F000001u);
    EXPECT_EQ(ParseIPv4("192.168.0.99"), 0xC0A80063u);
    EXPECT_EQ(ParseIPv4("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseIPv4("0.0.0.0"), 0u);
    for (const char* name : {"", "localhost", "256.0.0.1", "1.2.3", "1.2.3.4.5", "1.2.3.4 ", " 1.2.3.4", "1..3.4",
                             "1.2.3.", "0001.2.3.4", "1.2.3.-4", "1.2.3.4:80"})
        EXPECT_EQ(ParseIPv4(name), std::nullopt) << name;
}

TEST(LinkMatch, Words) {
    EXPECT_EQ(LinkTip(S::Connected, "127.0.0.1", 4001), "Connected to 127.0.0.1:4001");
    EXPECT_EQ(LinkTip(S::Connected, "10.0.0.7", 4001, "", true), "Connected to 10.0.0.7:4001, port control on");
    EXPECT_EQ(LinkTip(S::Waiting, "server.example", 9761), "Waiting for server.example:9761");
    EXPECT_EQ(LinkTip(S::Stopped, "127.0.0.1", 4001), "Bridges are stopped");
    using R = platform::HubRefusal;
    const auto tip = [](S state, platform::HubLink entry) { return EntryTip(state, entry, "10.0.0.7:4001", "COM5"); };
    EXPECT_EQ(tip(S::Waiting, HubEntry(H::PortLost, 0, 0, 0, "")), "Waiting for COM5's port");
    EXPECT_EQ(tip(S::Refused, HubEntry(H::Refused, 1, 0, 0, "", R::Kept, 1, 57600, 9600)), "10.0.0.7:4001 kept 9600 baud (asked 57600)");
    EXPECT_EQ(tip(S::Refused, HubEntry(H::Refused, 1, 0, 0, "", R::NoPortControl)), "10.0.0.7:4001 does not take port control");
    EXPECT_EQ(tip(S::Refused, HubEntry(H::Refused, 1, 0, 0, "", R::NotAcknowledged, 5)), "10.0.0.7:4001 did not acknowledge flow control");
    EXPECT_EQ(tip(S::Mismatched, HubEntry(H::SpeaksTelnet, 0, 0, 0, "")), "10.0.0.7:4001 speaks RFC 2217: turn Port control on");
    EXPECT_EQ(tip(S::Mismatched, HubEntry(H::NoTelnet, 0, 0, 0, "")), "10.0.0.7:4001 does not speak RFC 2217: turn Port control off");
}

}  // namespace
