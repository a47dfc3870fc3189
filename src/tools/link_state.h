#pragma once
// The live state of each bridge's link, read from the system's TCP table: whether the hub holds
// an established connection to the bridge's server. Usable with or without a window.
#include "tools/link_match.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A bridge's server as the bridge gives it: a dotted IPv4 address or a host name, and a port.
struct TLinkTarget {
    std::string Host;
    int Port = 0;
};

// The established IPv4 connections of the system; none when the table cannot be read.
std::vector<TTcpConnection> EstablishedConnections();

// One read of the system's table: the established connections and, where the system names
// their owners, the hub's process ids.
struct TTcpTable {
    std::vector<TTcpConnection> Established;
    std::vector<std::uint32_t> HubPids;
};
TTcpTable ReadTcpTable();

// The address of a server, never waiting for the resolver: a dotted address is read at once;
// a host name is looked up on a worker thread, and its address is given once that has answered.
// Until then, and for a while after the resolver failed (the name is then tried again), nothing.
std::optional<std::uint32_t> ResolveHost(const std::string& host);

// Forgets every resolved name, so that each is looked up afresh (the watcher's Restart does it at
// every start of the bridges).
void ForgetResolvedHosts();

// The state of each target's link, in order: stopped without a running hub; otherwise connected
// when the hub (or, where the system names no owners, any process) holds an established
// connection to the target's address and port, and waiting else, also while a host name
// resolves. Reads the system's table once (under Wine that takes tens of milliseconds) and never
// waits for the resolver.
std::vector<TLinkState> LinkStates(const std::vector<TLinkTarget>& targets, bool hubRunning);

// The same states for a window's timer, which must not wait for the system: the table is read,
// and the hub looked for, on a worker thread of the watcher's own, each time a read is asked for.
// Its calls come from one thread, the window's.
class TLinkWatcher {
public:
    // onRead runs on the worker thread after each finished read.
    explicit TLinkWatcher(std::function<void()> onRead = nullptr);
    ~TLinkWatcher();  // waits for a read under way
    TLinkWatcher(const TLinkWatcher&) = delete;
    TLinkWatcher& operator=(const TLinkWatcher&) = delete;

    // Asks for a read; returns at once.
    void Ask();

    // The states from the last finished read, at once (every running link waits until there is one).
    std::vector<TLinkState> States(const std::vector<TLinkTarget>& targets, bool hubRunning) const;

    // Whether the last finished read found a hub running; nothing before the first.
    std::optional<bool> HubSeen() const;

    // Drops the last read and any read under way, forgets the resolved names and asks for a new
    // look, so that the answers wait for a read after now: call it when the bridges start.
    void Restart();

private:
    void StartWorker();

    struct Shared;
    std::unique_ptr<Shared> shared_;
    std::function<void()> onRead_;
    std::thread worker_;
};
