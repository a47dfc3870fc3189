#pragma once
// The live state of each bridge's link, told from the established TCP connections of the
// system: which bridge's server the hub is connected to, and what the hub's record says of each
// bridge's port and its server's answers. Pure logic, no system calls.
#include "platform/hub_record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The state of one bridge's link; the value is the row's image index.
enum class TLinkState : int {
    Stopped = 0,       // no hub runs
    Waiting = 1,       // a hub runs, but is not connected to this bridge's server
    Connected = 2,     // the hub holds an established connection to the server
    NotAnswering = 3,  // ... but the server's host has stopped answering echoes
    Off = 4,           // the bridge is switched off: not on the hub's line
    Refused = 5,       // connected, but the server did not take or acknowledge the port's settings
    Mismatched = 6,    // connected, but the server speaks RFC 2217 and the bridge not, or the other way
};
constexpr int LinkStateCount = 7;

// One connection: its remote end (IPv4 address with the first number in the
// highest byte, port in host order) and its owning process, 0 where the system does not say.
struct TTcpConnection {
    std::uint32_t RemoteAddress = 0;
    std::uint16_t RemotePort = 0;
    std::uint32_t OwnerPid = 0;
    bool Established = true;
    std::uint16_t LocalPort = 0;  // false while it opens or closes (CLOSE_WAIT after the server closed it)
};

// A bridge's server as far as it is known: its address is missing while a host name has not
// (yet) been resolved; and its port as the hub's line names it ("\\.\CNCA3").
struct TLinkEnd {
    std::optional<std::uint32_t> Address;
    int Port = 0;
    std::string HubPort = {};
};

// The dotted address a.b.c.d, each number 0 to 255 in decimal, or nothing.
std::optional<std::uint32_t> ParseIPv4(std::string_view text);

// The state of each end, in order. Without a running hub every link is stopped. Otherwise an
// end is connected when an established connection goes to its address and port and is the hub's:
// its owner is one of hubPids, or unknown (0), in which case, when the hub's record is given
// (hubLinks), the entry of the end's hub port holds that connection (its local port and server),
// else the remote end alone decides. The entry then has the last word: a lost port waits, a
// connection whose server refused port control is refused, one whose server speaks otherwise
// than the bridge is mismatched. localPorts, when given, gets the local port of each connected
// end's connection (0 for none); entries the record's entry of each end (an idle one for none).
std::vector<TLinkState> MatchLinks(const std::vector<TLinkEnd>& ends, const std::vector<TTcpConnection>& connections,
                                   const std::vector<std::uint32_t>& hubPids, bool hubRunning,
                                   std::vector<std::uint16_t>* localPorts = nullptr,
                                   const std::vector<platform::HubLink>* hubLinks = nullptr,
                                   std::vector<platform::HubLink>* entries = nullptr);

// Whether the connections name owners, so that the hub's process ids are needed to match them.
bool OwnersReported(const std::vector<TTcpConnection>& connections);

// The row's info tip: "Connected to 127.0.0.1:4001", "Waiting for 127.0.0.1:4001",
// "127.0.0.1:4001 is not answering (since 14:02:11)", "Switched off" or "Bridges are stopped"; host is the
// server as the bridge gives it, since the time of day the state began; with ", port control
// on" after a server that takes the port's settings.
std::string LinkTip(TLinkState state, std::string_view host, int port, std::string_view since = {},
                    bool portControl = false);

// The tip of a waiting link whose server's name the resolver did not find: "Name not found:
// nosuchhost.invalid".
std::string NameNotFoundTip(std::string_view host);

// What the server answered, as the hub's entry tells it, after the server's "10.0.0.7:4001":
// "kept 9600 baud (asked 57600)", "does not take port control", "did not acknowledge the
// parity", "speaks RFC 2217: turn Port control on", "does not speak RFC 2217: turn Port control
// off"; empty for an entry that tells none.
std::string AnswerText(const platform::HubLink& entry);

// The row's info tip where the hub's entry says more than the connections: "Waiting for
// COM5's port" while the port is lost, the server and its answer while refused or mismatched;
// empty otherwise.
std::string EntryTip(TLinkState state, const platform::HubLink& entry, std::string_view server, std::string_view com);

// The state in words: "stopped", "waiting", "connected", "not answering", "off", "port
// control refused" or "mismatched".
const char* LinkWord(TLinkState state);
