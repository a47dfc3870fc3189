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

// A host name as the resolver last answered: an address found, or none (not found, or not yet
// asked), and whether it is due for a lookup.
struct Name {
    std::optional<std::uint32_t> address;
    bool asked = false;  // the resolver has answered for it once
    bool due = true;
    Clock::time_point answered;
};

}  // namespace

struct TLinkWatcher::Shared {
    std::function<void()> onRead;
    TLinkReads reads;
    std::mutex mutex;
    std::condition_variable wake, nameWake;
    bool stop = false;
    bool wanted = false;  // a look is asked for
    bool tableWanted = false;  // ... with the table even without a hub
    std::vector<std::uint32_t> echoesWanted;  // ... and echoes to these hosts
    TEchoRound echoes;  // answered, not yet taken
    unsigned generation = 0;  // a look started before the last restart is dropped
    std::optional<TTcpTable> last;
    std::optional<bool> hubSeen;
    std::map<std::string, Name> names;

    // The address of a host as far as it is known; sets due when its name is due for a lookup,
    // and notFound when the resolver found none for it.
    std::optional<std::uint32_t> AddressOf(const std::string& host, bool& due, bool& notFound) {
        if (std::optional<std::uint32_t> address = ParseIPv4(host)) return address;
        if (host.empty()) return std::nullopt;
        Name& name = names[host];  // a new name is due
        const auto age = Clock::now() - name.answered;
        if (name.asked && (name.address ? age >= reads.RenewAfter : age >= reads.RetryAfter)) name.due = true;
        due = due || name.due;
        notFound = notFound || (name.asked && !name.address);
        return name.address;
    }

    bool AnyDue() const {
        for (const auto& entry : names)
            if (entry.second.due) return true;
        return false;
    }

    // The names' thread: one due name at a time, for as long as any is due. A name found before
    // keeps its address when a renewal finds none (the resolver may falter for a moment).
    void Resolve() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            nameWake.wait(lock, [this] { return stop || AnyDue(); });
            if (stop) return;
            std::string host;
            for (const auto& entry : names)
                if (entry.second.due) host = entry.first;
            lock.unlock();
            const std::optional<std::uint32_t> answer = reads.LookUp(host);
            lock.lock();
            if (stop) return;
            Name& name = names[host];
            if (answer) name.address = answer;
            name.asked = true;
            name.due = false;
            name.answered = Clock::now();
        }
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
            lock.unlock();
            const bool hub = reads.HubRuns();
            TTcpTable table = hub || withTable ? reads.Table() : TTcpTable{};
            const TEchoRound echoed = echoHosts.empty() ? TEchoRound{} : reads.Echo(echoHosts);
            lock.lock();
            if (stop) return;
            if (started != generation) continue;
            if (!echoed.Refused.empty()) {
                echoes = echoed;
            } else if (!echoed.Echoes.empty()) {
                if (!echoes.Refused.empty()) echoes = {};
                echoes.Echoes.insert(echoes.Echoes.end(), echoed.Echoes.begin(), echoed.Echoes.end());
            }
            last = std::move(table);
            hubSeen = hub;
            if (onRead) {
                lock.unlock();
                onRead();
                lock.lock();
            }
        }
    }

    // A thread that runs one of the above and holds the shared state for as long as it runs.
    static platform::Handle Start(const std::shared_ptr<Shared>& shared, void (Shared::*run)()) {
        struct Held {
            std::shared_ptr<Shared> shared;
            void (Shared::*run)();
        };
        auto held = std::make_unique<Held>(Held{shared, run});
        const auto work = [](void* param) -> DWORD {
            const std::unique_ptr<Held> h(static_cast<Held*>(param));
            ((*h->shared).*(h->run))();
            return 0;
        };
        platform::Handle thread(::CreateThread(nullptr, 0, work, held.get(), 0, nullptr));
        if (thread) held.release();
        return thread;
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
    shared_->nameWake.notify_one();
    if (worker_) ::WaitForSingleObject(worker_.get(), EndWaitMs);
}

void TLinkWatcher::Ask(bool withTable, std::vector<std::uint32_t> echoHosts) {
    if (!worker_) worker_ = Shared::Start(shared_, &Shared::Work);
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->wanted = true;
        shared_->tableWanted = shared_->tableWanted || withTable;
        for (std::uint32_t host : echoHosts) shared_->echoesWanted.push_back(host);
    }
    shared_->wake.notify_one();
}

std::vector<TLinkState> TLinkWatcher::States(const std::vector<TLinkTarget>& targets, const TRun& run) {
    std::vector<TLinkState> states;
    for (const TLinkLook& look : Looks(targets, run)) states.push_back(look.State);
    return states;
}

std::vector<TLinkLook> TLinkWatcher::Looks(const std::vector<TLinkTarget>& targets, const TRun& run) {
    std::vector<TLinkLook> looks(targets.size());
    if (!run.Running()) return looks;
    bool due = false;
    std::vector<TLinkEnd> ends;
    std::vector<TLinkState> states;
    std::vector<std::uint16_t> localPorts;
    std::vector<platform::HubLink> entries;
    bool record = false;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        for (std::size_t i = 0; i < targets.size(); ++i)
            ends.push_back({shared_->AddressOf(targets[i].Host, due, looks[i].NameNotFound), targets[i].Port,
                            targets[i].HubPort});
        const TTcpTable none;
        const TTcpTable& table = shared_->last ? *shared_->last : none;
        // A record that cannot be taken as the hub's is not read: the addresses alone decide.
        record = table.HubLinks && table.RecordProblem == platform::HubRecordProblem::None;
        states = MatchLinks(ends, table.Connections, table.HubPids, true, &localPorts,
                            record ? &*table.HubLinks : nullptr, &entries);
    }
    if (due) {
        if (!resolver_) resolver_ = Shared::Start(shared_, &Shared::Resolve);
        shared_->nameWake.notify_one();
    }
    for (std::size_t i = 0; i < looks.size(); ++i) {
        looks[i].State = states[i];
        looks[i].Address = ends[i].Address;
        looks[i].LocalPort = localPorts[i];
        looks[i].Entry = entries[i];
        looks[i].Counted = record;
    }
    return looks;
}

TEchoRound TLinkWatcher::TakeEchoes() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return std::exchange(shared_->echoes, {});
}

std::optional<bool> TLinkWatcher::HubSeen() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->hubSeen;
}

std::optional<platform::HubRecordProblem> TLinkWatcher::RecordProblem() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (!shared_->last) return std::nullopt;
    return shared_->last->RecordProblem;
}

bool TLinkWatcher::Resolving() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->AnyDue();
}

void TLinkWatcher::Restart() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        for (auto& entry : shared_->names)
            if (entry.second.asked && !entry.second.address) entry.second.due = true;
        shared_->last.reset();
        shared_->hubSeen.reset();
        shared_->echoes = {};
        shared_->echoesWanted.clear();
        ++shared_->generation;
    }
    Ask();
}
