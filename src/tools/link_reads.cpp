// Winsock before <windows.h>, which the other headers bring in.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include "tools/link_reads.h"

#include "platform/hub_links.h"
#include "platform/module.h"
#include "platform/system_error.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"

namespace {

// The network libraries, loaded from the system folder when a link is first looked at rather than
// at every start of the program: most starts never watch a link.
struct Network {
    decltype(&::WSAStartup) startup = nullptr;
    decltype(&::getaddrinfo) getAddrInfo = nullptr;
    decltype(&::freeaddrinfo) freeAddrInfo = nullptr;
    decltype(&::GetExtendedTcpTable) tcpTable = nullptr;
    decltype(&::IcmpCreateFile) icmpCreate = nullptr;
    decltype(&::IcmpSendEcho2) icmpSend = nullptr;
    decltype(&::IcmpSendEcho) icmpSendNow = nullptr;
    decltype(&::IcmpParseReplies) icmpParse = nullptr;
    decltype(&::IcmpCloseHandle) icmpClose = nullptr;
};
const Network& TheNetwork() {
    static const Network network = [] {
        Network n;
        if (HMODULE winsock = platform::SystemLibrary("ws2_32.dll")) {
            n.startup = platform::ProcAddress<decltype(n.startup)>(winsock, "WSAStartup");
            n.getAddrInfo = platform::ProcAddress<decltype(n.getAddrInfo)>(winsock, "getaddrinfo");
            n.freeAddrInfo = platform::ProcAddress<decltype(n.freeAddrInfo)>(winsock, "freeaddrinfo");
        }
        if (HMODULE helper = platform::SystemLibrary("iphlpapi.dll")) {
            n.tcpTable = platform::ProcAddress<decltype(n.tcpTable)>(helper, "GetExtendedTcpTable");
            n.icmpCreate = platform::ProcAddress<decltype(n.icmpCreate)>(helper, "IcmpCreateFile");
            n.icmpSend = platform::ProcAddress<decltype(n.icmpSend)>(helper, "IcmpSendEcho2");
            n.icmpSendNow = platform::ProcAddress<decltype(n.icmpSendNow)>(helper, "IcmpSendEcho");
            n.icmpParse = platform::ProcAddress<decltype(n.icmpParse)>(helper, "IcmpParseReplies");
            n.icmpClose = platform::ProcAddress<decltype(n.icmpClose)>(helper, "IcmpCloseHandle");
        }
        return n;
    }();
    return network;
}

// A number in network byte order (big-endian) as a number.
std::uint32_t FromNetwork32(std::uint32_t value) {
    const auto* b = reinterpret_cast<const unsigned char*>(&value);
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}
std::uint16_t FromNetwork16(std::uint32_t value) {
    const auto* b = reinterpret_cast<const unsigned char*>(&value);
    return static_cast<std::uint16_t>(b[0] << 8 | b[1]);
}

std::optional<std::uint32_t> AskResolver(const std::string& host) {
    const Network& network = TheNetwork();
    static const bool started = [&network] {
        WSADATA data;
        return network.startup && network.getAddrInfo && network.freeAddrInfo &&
               network.startup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (network.getAddrInfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    std::uint32_t address = FromNetwork32(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    network.freeAddrInfo(found);
    return address;
}

}  // namespace

std::vector<TTcpConnection> TcpConnections() {
    std::vector<TTcpConnection> connections;
    const auto tcpTable = TheNetwork().tcpTable;
    if (!tcpTable) return connections;
    thread_local std::vector<unsigned char> buffer(16 * 1024);
    for (int attempt = 0; attempt < 4; ++attempt) {
        ULONG size = static_cast<ULONG>(buffer.size());
        DWORD error = tcpTable(buffer.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_CONNECTIONS, 0);
        if (error == ERROR_INSUFFICIENT_BUFFER) {
            buffer.resize(size + size / 4);  // the table may grow before the next call
            continue;
        }
        if (error != NO_ERROR) break;
        const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const MIB_TCPROW_OWNER_PID& row = table->table[i];
            connections.push_back({FromNetwork32(row.dwRemoteAddr), FromNetwork16(row.dwRemotePort), row.dwOwningPid,
                                   row.dwState == MIB_TCP_STATE_ESTAB, FromNetwork16(row.dwLocalPort)});
        }
        break;
    }
    return connections;
}

std::optional<std::uint32_t> LookUpHost(const std::string& host) {
    if (std::optional<std::uint32_t> address = ParseIPv4(host)) return address;
    return host.empty() ? std::nullopt : AskResolver(host);
}

namespace {

constexpr DWORD EchoTimeoutMs = 1000;

// One echo under way: its own handle, event and reply.
struct Echo {
    HANDLE icmp = INVALID_HANDLE_VALUE;
    platform::Handle done;
    unsigned char reply[sizeof(ICMP_ECHO_REPLY) + 64] = {};
    bool pending = false;
};

}  // namespace

namespace {

// Whether an echo's failure is the system's refusal to send it (the user may not send echoes, or
// has no means to), rather than what became of it on the network (timed out, unreachable).
bool Refusal(DWORD error) {
    return error != 0 && error != ERROR_IO_PENDING && (error < IP_STATUS_BASE || error >= IP_STATUS_BASE + 1000);
}

}  // namespace

TEchoRound SendEchoes(const std::vector<std::uint32_t>& hosts) {
    const Network& network = TheNetwork();
    TEchoRound round;
    for (std::uint32_t host : hosts) round.Echoes.push_back({host, false});
    if (!network.icmpCreate || !network.icmpSend || !network.icmpSendNow || !network.icmpParse || !network.icmpClose) {
        round.Refused = platform::SystemErrorText(ERROR_PROC_NOT_FOUND);
        return round;
    }
    std::vector<Echo> echoes(hosts.size());
    std::vector<IPAddr> to(hosts.size(), 0);  // in network byte order
    static char data[] = "Pontis";
    DWORD refused = 0;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        Echo& echo = echoes[i];
        echo.icmp = network.icmpCreate();
        if (echo.icmp == INVALID_HANDLE_VALUE) refused = ::GetLastError();
        echo.done.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (echo.icmp == INVALID_HANDLE_VALUE || !echo.done) continue;
        auto* bytes = reinterpret_cast<unsigned char*>(&to[i]);
        for (int b = 0; b < 4; ++b) bytes[b] = static_cast<unsigned char>(hosts[i] >> (24 - 8 * b));
        const DWORD sent = network.icmpSend(echo.icmp, echo.done.get(), nullptr, nullptr, to[i], data, sizeof data - 1,
                                            nullptr, echo.reply, sizeof echo.reply, EchoTimeoutMs);
        const DWORD error = sent == 0 ? ::GetLastError() : 0;
        echo.pending = error == ERROR_IO_PENDING;
        if (Refusal(error)) refused = error;
        if (sent != 0)
            round.Echoes[i].Answered = reinterpret_cast<const ICMP_ECHO_REPLY*>(echo.reply)->Status == IP_SUCCESS;
    }
    // All were sent at once, so the waits overlap; each echo ends by its own time-out, and its
    // reply is not let go before. One that ends with no reply and no word of the network's may
    // have been refused on its way out (Wine says so only to a waiting call): one echo that waits
    // a moment tells.
    std::optional<std::size_t> unclear;
    for (std::size_t i = 0; i < echoes.size(); ++i) {
        Echo& echo = echoes[i];
        if (echo.pending && ::WaitForSingleObject(echo.done.get(), EchoTimeoutMs + 1000) == WAIT_OBJECT_0) {
            if (network.icmpParse(echo.reply, sizeof echo.reply) > 0)
                round.Echoes[i].Answered = reinterpret_cast<const ICMP_ECHO_REPLY*>(echo.reply)->Status == IP_SUCCESS;
            else if (::GetLastError() < IP_STATUS_BASE)
                unclear = i;
        }
        if (echo.icmp != INVALID_HANDLE_VALUE) network.icmpClose(echo.icmp);
    }
    if (unclear && !refused) {
        const HANDLE icmp = network.icmpCreate();
        unsigned char reply[sizeof(ICMP_ECHO_REPLY) + 64] = {};
        if (icmp != INVALID_HANDLE_VALUE &&
            network.icmpSendNow(icmp, to[*unclear], data, sizeof data - 1, nullptr, reply, sizeof reply, 10) == 0 &&
            Refusal(::GetLastError()))
            refused = ::GetLastError();
        if (icmp != INVALID_HANDLE_VALUE) network.icmpClose(icmp);
    }
    if (refused) {
        round.Refused = platform::SystemErrorText(refused);
        for (TEcho& echo : round.Echoes) echo.Answered = false;
    }
    return round;
}

TTcpTable ReadTcpTable() {
    TTcpTable table;
    table.Connections = TcpConnections();
    // Wine names the owners of some connections (of other Windows programs) and not of others (its
    // caller's own, and those of programs that are not Windows programs): 0 for those.
    const bool owners = OwnersReported(table.Connections);
    for (DWORD id : FindHubs()) {
        if (owners) table.HubPids.push_back(id);
        platform::HubRecordProblem problem = platform::HubRecordProblem::Missing;
        if (std::optional<std::vector<platform::HubLink>> links = platform::ReadHubLinks(id, problem)) {
            if (!table.HubLinks) table.HubLinks.emplace();
            table.HubLinks->insert(table.HubLinks->end(), links->begin(), links->end());
        }
        if (problem != platform::HubRecordProblem::None && problem != platform::HubRecordProblem::Missing)
            table.RecordProblem = problem;
    }
    return table;
}

bool HubPortLost() {
    for (DWORD id : FindHubs()) {
        platform::HubRecordProblem problem = platform::HubRecordProblem::Missing;
        if (std::optional<std::vector<platform::HubLink>> links = platform::ReadHubLinks(id, problem))
            for (const platform::HubLink& link : *links)
                if (link.State == platform::HubLinkState::PortLost) return true;
    }
    return false;
}
