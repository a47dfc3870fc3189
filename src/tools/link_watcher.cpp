#include "tools/link_watcher.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// How long the end of the watcher waits for a look under way.
constexpr DWORD EndWaitMs = 3000;

struct Lookup {
    bool pending = true;
    std::optional<std::uint32_t> address;
    Clock::time_point answered;
};

}  // namespace

struct TLinkWatcher::Shared {
    std::function<void()> onRead;
    TLinkReads reads;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool wanted = false;  // a look is asked for
    bool tableWanted = false;  // ... with the table even without a hub
    std::vector<std::uint32_t> echoesWanted;  // ... and echoes to these hosts
    std::vector<TEcho> echoes;  // answered, not yet taken
    unsigned generation = 0;  // a look started before the last restart is dropped
    std::optional<TTcpTable> last;
    std::optional<bool> hubSeen;
    std::map<std::string, Lookup> names;

    // The address of a host as far as it is known; sets ask when a name is due for a lookup.
    std::optional<std::uint32_t> AddressOf(const std::string& host, bool& ask) {
        if (std::optional<std::uint32_t> address = ParseIPv4(host)) return address;
        if (host.empty()) return std::nullopt;
        Lookup& lookup = names[host];  // a new name is pending
        if (!lookup.pending && !lookup.address && Clock::now() - lookup.answered >= reads.RetryAfter) lookup.pending = true;
        ask = ask || lookup.pending;
        return lookup.address;
    }

    void Work() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stop || wanted; });
            if (stop) return;
            wanted = false;
            const bool withTable = std::exchange(tableWanted, false);
            const std::vector<std::uint32_t> echoHosts = std::exchange(echoesWanted, {});
            const unsigned started = generation;
            std::vector<std::string> due;
            for (const auto& [name, lookup] : names)
                if (lookup.pending) due.push_back(name);
            lock.unlock();
            std::vector<std::optional<std::uint32_t>> answers;
            for (const std::string& name : due) answers.push_back(reads.LookUp(name));
            const bool hub = reads.HubRuns();
            TTcpTable table = hub || withTable ? reads.Table() : TTcpTable{};
            const std::vector<TEcho> echoed = echoHosts.empty() ? std::vector<TEcho>{} : reads.Echo(echoHosts);
            lock.lock();
            if (stop) return;
            if (started != generation) continue;
            echoes.insert(echoes.end(), echoed.begin(), echoed.end());
            for (std::size_t i = 0; i < due.size(); ++i) names[due[i]] = Lookup{false, answers[i], Clock::now()};
            last = std::move(table);
            hubSeen = hub;
            if (onRead) {
                lock.unlock();
                onRead();
                lock.lock();
            }
        }
    }
};

TLinkWatcher::TLinkWatcher(std::function<void()> onRead, TLinkReads reads) : shared_(std::make_shared<Shared>()) {
    shared_->onRead = std::move(onRead);
    shared_->reads = std::move(reads);
}

TLinkWatcher::~TLinkWatcher() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stop = true;
    }
    shared_->wake.notify_one();
    if (worker_) ::WaitForSingleObject(worker_.get(), EndWaitMs);
}

void TLinkWatcher::Ask(bool withTable, std::vector<std::uint32_t> echoHosts) {
    if (!worker_) {
        // The thread holds the shared state for as long as it runs.
        auto held = std::make_unique<std::shared_ptr<Shared>>(shared_);
        const auto work = [](void* param) -> DWORD {
            const std::unique_ptr<std::shared_ptr<Shared>> shared(static_cast<std::shared_ptr<Shared>*>(param));
            (*shared)->Work();
            return 0;
        };
        worker_.reset(::CreateThread(nullptr, 0, work, held.get(), 0, nullptr));
        if (worker_) held.release();
    }
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->wanted = true;
        shared_->tableWanted = shared_->tableWanted || withTable;
        for (std::uint32_t host : echoHosts) shared_->echoesWanted.push_back(host);
    }
    shared_->wake.notify_one();
}

std::vector<TLinkState> TLinkWatcher::States(const std::vector<TLinkTarget>& targets, bool hubRunning) {
    std::vector<TLinkState> states;
    for (const TLinkLook& look : Looks(targets, hubRunning)) states.push_back(look.State);
    return states;
}

std::vector<TLinkLook> TLinkWatcher::Looks(const std::vector<TLinkTarget>& targets, bool hubRunning) {
    std::vector<TLinkLook> looks(targets.size());
    if (!hubRunning) return looks;
    bool ask = false;
    std::vector<TLinkEnd> ends;
    std::vector<TLinkState> states;
    std::vector<std::uint16_t> localPorts;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        for (const TLinkTarget& target : targets) ends.push_back({shared_->AddressOf(target.Host, ask), target.Port});
        const TTcpTable none;
        const TTcpTable& table = shared_->last ? *shared_->last : none;
        states = MatchLinks(ends, table.Connections, table.HubPids, true, &localPorts,
                            table.HubPorts ? &*table.HubPorts : nullptr);
    }
    if (ask) Ask();
    for (std::size_t i = 0; i < looks.size(); ++i) looks[i] = {states[i], ends[i].Address, localPorts[i]};
    return looks;
}

std::vector<TEcho> TLinkWatcher::TakeEchoes() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return std::exchange(shared_->echoes, {});
}

std::optional<bool> TLinkWatcher::HubSeen() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->hubSeen;
}

bool TLinkWatcher::Resolving() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    for (const auto& entry : shared_->names)
        if (entry.second.pending) return true;
    return false;
}

void TLinkWatcher::Restart() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->names.clear();
        shared_->last.reset();
        shared_->hubSeen.reset();
        shared_->echoes.clear();
        shared_->echoesWanted.clear();
        ++shared_->generation;
    }
    Ask();
}
