#pragma once
// The system reads behind the link state: the established TCP connections and the address of a server's name. Each may take a while; the watcher makes them on a
// thread of its own.
#include "tools/link_match.h"
#include "tools/liveness.h"
#include "platform/hub_record.h"

#include <optional>
#include <string>
#include <vector>

// A bridge's server as the bridge gives it: a dotted IPv4 address or a host name, and a port;
// and its port as the hub's line names it.
struct TLinkTarget {
    std::string Host;
    int Port = 0;
    std::string HubPort = {};
};

// The IPv4 connections of the system, established or not; none when the table cannot be read.
std::vector<TTcpConnection> TcpConnections();

// One read of the system's table: the connections and, where the system names their owners,
// the hub's process ids.
struct TTcpTable {
    std::vector<TTcpConnection> Connections;
    std::vector<std::uint32_t> HubPids;
    // The running hubs' records, in their lines' order, when they keep them; a record that could
    // not be taken as the hub's (another version, another process's) is not read, and says why.
    std::optional<std::vector<platform::HubLink>> HubLinks;
    platform::HubRecordProblem RecordProblem = platform::HubRecordProblem::None;
};
TTcpTable ReadTcpTable();

// Whether a running hub's record says that the port of one of its bridges is lost: that bridge
// carries nothing until the hub opens it again.
bool HubPortLost();

// One round of echoes: whether each host answered, and, when the system refuses to send echoes
// at all (the user may not), the system's reason; the hosts then tell nothing.
struct TEchoRound {
    std::vector<TEcho> Echoes;
    std::string Refused;
};

// Sends one echo to each host at once and gives whether each answered within a second or so.
TEchoRound SendEchoes(const std::vector<std::uint32_t>& hosts);

// The address of a server: a dotted address at once, a host name as the system's resolver
// answers, waiting for it; nothing when it has none.
std::optional<std::uint32_t> LookUpHost(const std::string& host);
