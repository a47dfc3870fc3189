// Winsock before <windows.h>, which the other headers bring in.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include "tools/link_state.h"

#include "platform/module.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// How long a name the resolver could not find waits before it is looked up again.
constexpr auto RetryAfter = std::chrono::seconds(10);

struct Lookup {
    bool pending = true;
    std::optional<std::uint32_t> address;
    Clock::time_point answered;
};

// The network libraries, loaded when a link is first looked at rather than at every start of the
// program: most starts never watch a link.
struct Network {
    decltype(&::WSAStartup) startup = nullptr;
    decltype(&::getaddrinfo) getAddrInfo = nullptr;
    decltype(&::freeaddrinfo) freeAddrInfo = nullptr;
    decltype(&::GetExtendedTcpTable) tcpTable = nullptr;
};
const Network& TheNetwork() {
    static const Network network = [] {
        Network n;
        if (HMODULE winsock = ::LoadLibraryA("ws2_32.dll")) {
            n.startup = platform::ProcAddress<decltype(n.startup)>(winsock, "WSAStartup");
            n.getAddrInfo = platform::ProcAddress<decltype(n.getAddrInfo)>(winsock, "getaddrinfo");
            n.freeAddrInfo = platform::ProcAddress<decltype(n.freeAddrInfo)>(winsock, "freeaddrinfo");
        }
        if (HMODULE helper = ::LoadLibraryA("iphlpapi.dll"))
            n.tcpTable = platform::ProcAddress<decltype(n.tcpTable)>(helper, "GetExtendedTcpTable");
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

// The names looked up so far. Never destroyed: a worker may still answer while the program ends.
struct Resolved {
    std::mutex mutex;
    std::map<std::string, Lookup> names;
    unsigned generation = 0;  // a lookup started before the last forget is dropped
};
Resolved& TheResolved() {
    static Resolved* resolved = new Resolved;
    return *resolved;
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

void LookUpOnWorker(const std::string& host, unsigned generation) {
    std::thread([host, generation] {
        std::optional<std::uint32_t> address = AskResolver(host);
        Resolved& resolved = TheResolved();
        std::lock_guard<std::mutex> lock(resolved.mutex);
        if (resolved.generation != generation) return;
        Lookup& lookup = resolved.names[host];
        lookup.pending = false;
        lookup.address = address;
        lookup.answered = Clock::now();
    }).detach();
}

}  // namespace

std::vector<TTcpConnection> EstablishedConnections() {
    std::vector<TTcpConnection> established;
    const auto tcpTable = TheNetwork().tcpTable;
    if (!tcpTable) return established;
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
            if (row.dwState != MIB_TCP_STATE_ESTAB) continue;
            established.push_back({FromNetwork32(row.dwRemoteAddr), FromNetwork16(row.dwRemotePort), row.dwOwningPid});
        }
        break;
    }
    return established;
}

std::optional<std::uint32_t> ResolveHost(const std::string& host) {
    if (std::optional<std::uint32_t> address = ParseIPv4(host)) return address;
    if (host.empty()) return std::nullopt;
    Resolved& resolved = TheResolved();
    std::lock_guard<std::mutex> lock(resolved.mutex);
    auto found = resolved.names.find(host);
    if (found != resolved.names.end()) {
        const Lookup& lookup = found->second;
        if (lookup.pending || lookup.address || Clock::now() - lookup.answered < RetryAfter) return lookup.address;
    }
    resolved.names[host] = Lookup{};
    LookUpOnWorker(host, resolved.generation);
    return std::nullopt;
}

void ForgetResolvedHosts() {
    Resolved& resolved = TheResolved();
    std::lock_guard<std::mutex> lock(resolved.mutex);
    resolved.names.clear();
    ++resolved.generation;
}

TTcpTable ReadTcpTable() {
    TTcpTable table;
    table.Established = EstablishedConnections();
    if (OwnersReported(table.Established))  // never under Wine, which names no owners
        for (DWORD id : FindProcesses(HubExeName)) table.HubPids.push_back(id);
    return table;
}

namespace {

std::vector<TLinkEnd> LinkEnds(const std::vector<TLinkTarget>& targets, bool hubRunning) {
    std::vector<TLinkEnd> ends;
    ends.reserve(targets.size());
    for (const TLinkTarget& target : targets)
        ends.push_back({hubRunning ? ResolveHost(target.Host) : std::nullopt, target.Port});
    return ends;
}

}  // namespace

std::vector<TLinkState> LinkStates(const std::vector<TLinkTarget>& targets, bool hubRunning) {
    const std::vector<TLinkEnd> ends = LinkEnds(targets, hubRunning);
    if (!hubRunning) return MatchLinks(ends, {}, {}, false);
    const TTcpTable table = ReadTcpTable();
    return MatchLinks(ends, table.Established, table.HubPids, true);
}

struct TLinkWatcher::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool wanted = false;  // a read is asked for
    unsigned generation = 0;
    std::optional<TTcpTable> last;
    std::optional<bool> hubSeen;
};

TLinkWatcher::TLinkWatcher(std::function<void()> onRead)
    : shared_(std::make_unique<Shared>()), onRead_(std::move(onRead)) {}

// The worker starts with the first look asked for: a program whose bridges never run needs none.
void TLinkWatcher::StartWorker() {
    worker_ = std::thread([&shared = *shared_, onRead = onRead_] {
        std::unique_lock<std::mutex> lock(shared.mutex);
        for (;;) {
            shared.wake.wait(lock, [&] { return shared.stop || shared.wanted; });
            if (shared.stop) return;
            shared.wanted = false;
            const unsigned generation = shared.generation;
            lock.unlock();
            const bool hub = FindProcess(HubExeName) != 0;
            TTcpTable table = ReadTcpTable();
            lock.lock();
            if (generation != shared.generation) continue;
            shared.last = std::move(table);
            shared.hubSeen = hub;
            if (onRead) {
                lock.unlock();
                onRead();
                lock.lock();
            }
        }
    });
}

TLinkWatcher::~TLinkWatcher() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stop = true;
    }
    shared_->wake.notify_one();
    if (worker_.joinable()) worker_.join();
}

void TLinkWatcher::Ask() {
    if (!worker_.joinable()) StartWorker();
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->wanted = true;
    }
    shared_->wake.notify_one();
}

std::vector<TLinkState> TLinkWatcher::States(const std::vector<TLinkTarget>& targets, bool hubRunning) const {
    const std::vector<TLinkEnd> ends = LinkEnds(targets, hubRunning);
    if (!hubRunning) return MatchLinks(ends, {}, {}, false);
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->last ? MatchLinks(ends, shared_->last->Established, shared_->last->HubPids, true)
                         : MatchLinks(ends, {}, {}, true);
}

std::optional<bool> TLinkWatcher::HubSeen() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->hubSeen;
}

void TLinkWatcher::Restart() {
    ForgetResolvedHosts();
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->last.reset();
        shared_->hubSeen.reset();
        ++shared_->generation;
    }
    Ask();
}
