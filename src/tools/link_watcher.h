#pragma once
// The links' states for a caller that must not wait for the system: the table is read and the
// hub looked for on a worker thread of the watcher's own, each time a look is asked for; the host
// names are looked up apart, on a second thread, so that a resolver that does not answer holds
// up no look. Its calls come from one thread.
#include "platform/handles.h"
#include "tools/link_reads.h"
#include "tools/liveness.h"
#include "tools/run.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// What a look reads, how long a name the resolver could not find waits before it is looked up
// again, and how long a found one is kept before it is renewed (in the background: the
// address found stays in use meanwhile, and when the renewal finds nothing): the system's, unless
// a test gives its own.
struct TLinkReads {
    std::function<bool()> HubRuns = TRun::HubFound;
    std::function<TTcpTable()> Table = ReadTcpTable;
    std::function<std::optional<std::uint32_t>(const std::string&)> LookUp = LookUpHost;
    std::function<TEchoRound(const std::vector<std::uint32_t>&)> Echo = SendEchoes;
    std::chrono::milliseconds RetryAfter{10000};
    std::chrono::milliseconds RenewAfter{600000};
};

// One bridge's link as the last look saw it: its state, its server's address as far as it is
// known, the local port of the hub's connection to it (0 for none), whether its server's
// name is one the resolver did not find, and its entry in the hub's record (idle for none).
struct TLinkLook {
    TLinkState State = TLinkState::Stopped;
    std::optional<std::uint32_t> Address;
    std::uint16_t LocalPort = 0;
    bool NameNotFound = false;
    platform::HubLink Entry = {};  // its entry in the hub's record, when Counted
    bool Counted = false;  // the hub keeps a record that the look read
};

class TLinkWatcher {
public:
    // onRead runs on the worker thread after each finished look.
    explicit TLinkWatcher(std::function<void()> onRead = nullptr, TLinkReads reads = {});
    // Ends the worker, waiting a few seconds at most, and no look is reported after this; a
    // resolver that does not answer keeps the names' thread only until it answers or the program
    // ends.
    ~TLinkWatcher();
    TLinkWatcher(const TLinkWatcher&) = delete;
    TLinkWatcher& operator=(const TLinkWatcher&) = delete;

    // Asks for a look; returns at once. The worker starts with the first one. Without
    // withTable, the table is read only when a hub is found. The look sends an echo to each of
    // echoHosts, and keeps the answers until they are taken, with the system's refusal of the
    // last round that was refused, when no round has been sent since.
    void Ask(bool withTable = true, std::vector<std::uint32_t> echoHosts = {});
    TEchoRound TakeEchoes();

    // The states from the last finished look, at once (every running link waits until there is
    // one), with the host names as far as they are known: a name not yet looked up leaves only its
    // own links waiting. A name not yet looked up, not found a while ago or found long ago is
    // looked up on the names' thread.
    std::vector<TLinkState> States(const std::vector<TLinkTarget>& targets, const TRun& run);
    std::vector<TLinkLook> Looks(const std::vector<TLinkTarget>& targets, const TRun& run);

    // Whether the last finished look found a hub running; nothing before the first.
    std::optional<bool> HubSeen() const;

    // Why the last finished look did not read a running hub's record (another version, another
    // process's); None when it read it, or there was none; nothing before the first look.
    std::optional<platform::HubRecordProblem> RecordProblem() const;

    // Whether a host name waits for the resolver's answer.
    bool Resolving() const;

    // Drops the last look and any look under way and asks for a new look, so that the answers
    // wait for a look after now: call it when the bridges start. The names found are kept; those
    // not found are looked up again.
    void Restart();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    platform::Handle worker_, resolver_;
};
