#pragma once
// The links' states for a caller that must not wait for the system: the host names are looked
// up, the table read and the hub looked for on one worker thread of the watcher's own, each time
// a look is asked for. Its calls come from one thread.
#include "platform/handles.h"
#include "tools/link_reads.h"
#include "tools/liveness.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// What a look reads, and how long a name the resolver could not find waits before it is looked
// up again: the system's, unless a test gives its own.
struct TLinkReads {
    std::function<bool()> HubRuns = HubRunning;
    std::function<TTcpTable()> Table = ReadTcpTable;
    std::function<std::optional<std::uint32_t>(const std::string&)> LookUp = LookUpHost;
    std::function<std::vector<TEcho>(const std::vector<std::uint32_t>&)> Echo = SendEchoes;
    std::chrono::milliseconds RetryAfter{10000};
};

// One bridge's link as the last look saw it: its state, its server's address as far as it is
// known, and the local port of the hub's connection to it (0 for none).
struct TLinkLook {
    TLinkState State = TLinkState::Stopped;
    std::optional<std::uint32_t> Address;
    std::uint16_t LocalPort = 0;
};

class TLinkWatcher {
public:
    // onRead runs on the worker thread after each finished look.
    explicit TLinkWatcher(std::function<void()> onRead = nullptr, TLinkReads reads = {});
    // Ends the worker, waiting a few seconds at most: a resolver that does not answer keeps the
    // thread only until it answers or the program ends, and no look is reported after this.
    ~TLinkWatcher();
    TLinkWatcher(const TLinkWatcher&) = delete;
    TLinkWatcher& operator=(const TLinkWatcher&) = delete;

    // Asks for a look; returns at once. The worker starts with the first one. Without
    // withTable, the table is read only when a hub is found. The look sends an echo to each of
    // echoHosts, and keeps the answers until they are taken.
    void Ask(bool withTable = true, std::vector<std::uint32_t> echoHosts = {});
    std::vector<TEcho> TakeEchoes();

    // The states from the last finished look, at once (every running link waits until there is
    // one). A host name the watcher has not yet looked up, or whose lookup failed a while ago,
    // asks for a look that looks it up.
    std::vector<TLinkState> States(const std::vector<TLinkTarget>& targets, bool hubRunning);
    std::vector<TLinkLook> Looks(const std::vector<TLinkTarget>& targets, bool hubRunning);

    // Whether the last finished look found a hub running; nothing before the first.
    std::optional<bool> HubSeen() const;

    // Whether a host name waits for the resolver's answer.
    bool Resolving() const;

    // Drops the last look and any look under way, forgets the looked-up names and asks for a new
    // look, so that the answers wait for a look after now: call it when the bridges start.
    void Restart();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    platform::Handle worker_;
};
