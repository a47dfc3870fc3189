#include "tools/hub_control.h"

#include "config/config_store.h"
#include "platform/cursor.h"
#include "platform/module.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "tools/hub_args.h"
#include "tools/link_reads.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"

#include <windows.h>

#include <algorithm>
#include <mutex>

DWORD StartStopWaitMs = 30000;

namespace {

// A hub that rejects its arguments ends at once; one that still runs after this long counts
// as started.
constexpr DWORD HubSettleMs = 1000;

// How long a stop goes on ending hubs, and how long it waits after a hub it could not end.
constexpr DWORD StopAllMs = 5000, StopRetryMs = 50;

// The lock around every start and stop of this user's copies of the program, and the record
// of what they did, which a copy holds open for its whole run so that it outlives the copies
// (a script's switch) that write it and end.
constexpr wchar_t LockName[] = L"Local\\Pontis Manager start and stop";
constexpr wchar_t RecordName[] = L"Local\\Pontis Manager starts and stops";

struct SharedRecord {
    std::uint32_t count;
    std::uint32_t running;
    std::uint32_t notAnswering;  // a bit per slot
    std::uint32_t holder;  // the process of the copy that holds the lock, 0 when none does
};

// The record, mapped on first use and kept for the process's run; null, with the system's error
// in *error, while it cannot be had (another program's object of that name that refuses us): a
// later call tries again.
SharedRecord* Record(DWORD* error = nullptr) {
    static std::mutex opening;
    static platform::Handle mapping;
    static SharedRecord* record = nullptr;
    static DWORD failure = 0;
    const std::lock_guard<std::mutex> guard(opening);
    if (!record) {
        mapping.reset(
            ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedRecord), RecordName));
        if (mapping)
            record = static_cast<SharedRecord*>(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(SharedRecord)));
        failure = record ? 0 : ::GetLastError();
        if (!record) mapping.reset();
    }
    if (error) *error = failure;
    return record;
}

thread_local bool lockedHere = false;  // a start or stop of this thread holds the lock

// Holds the lock for one start or stop. Not had when another copy keeps it past the wait, when a
// start or stop of this process is under way (a box it shows runs the message loop), or when the
// lock or the record cannot be opened; Fault() then tells which.
class TStartStopLock {
public:
    explicit TStartStopLock(DWORD waitMs) {
        if (lockedHere) {
            fault_ = BusyText;
            return;
        }
        mutex_.reset(::CreateMutexW(nullptr, FALSE, LockName));
        DWORD error = ::GetLastError();
        if (!mutex_ || !Record(&error)) {
            fault_ = (mutex_ ? RecordUnusableText : LockUnusableText) + platform::SystemErrorText(error);
            unusable_ = true;
            return;
        }
        const DWORD waited = ::WaitForSingleObject(mutex_.get(), waitMs);
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;  // abandoned: a copy that was ended
        if (!held_) {
            fault_ = waited == WAIT_TIMEOUT ? HeldText() : LockUnusableText + platform::SystemErrorText(::GetLastError());
            return;
        }
        lockedHere = true;
        Record()->holder = ::GetCurrentProcessId();
    }
    ~TStartStopLock() {
        if (!held_) return;
        lockedHere = false;
        Record()->holder = 0;
        ::ReleaseMutex(mutex_.get());
    }
    TStartStopLock(const TStartStopLock&) = delete;
    TStartStopLock& operator=(const TStartStopLock&) = delete;
    explicit operator bool() const { return held_; }
    const std::string& Fault() const { return fault_; }
    bool Unusable() const { return unusable_; }  // the lock or the record cannot be opened

    // A start or stop that changed whether the hub runs tells the other copies.
    void Changed() const {
        SharedRecord* record = Record();
        ++record->count;
        record->running = HubRunning() ? 1 : 0;
        record->notAnswering = 0;
    }

private:
    // The lock is held elsewhere: by the copy the record names, when it still runs.
    static std::string HeldText() {
        std::string text = LockHeldText;
        const DWORD holder = Record()->holder;
        const platform::Handle process(holder ? ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, holder) : nullptr);
        const std::wstring path = process ? platform::ImagePath(process.get()) : std::wstring();
        if (!path.empty())
            text += ": " + platform::Narrow(path.substr(path.find_last_of(L"\\/") + 1)) + " (process " +
                    std::to_string(holder) + ")";
        return text;
    }

    platform::Handle mutex_;
    bool held_ = false;
    bool unusable_ = false;
    std::string fault_;
};

// True when the hub just launched still runs after the settling time. Only this process counts:
// an older hub that could not be ended must not pass for it.
bool KeepsRunning(const platform::Handle& hub) {
    platform::ShowHourglass();
    const bool running = ::WaitForSingleObject(hub.get(), HubSettleMs) == WAIT_TIMEOUT;
    platform::ShowDefaultPointer();
    return running;
}

// Starts the hub with the standard handles pointed at the null device. A program started under
// Wine keeps the standard output of the one that started it, inherited or not: a hub launched
// from a script's pipe would hold that pipe open for as long as it runs, and the script would wait.
platform::Handle StartQuietly(const std::string& program, const std::string& arguments) {
    static constexpr DWORD ids[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    const platform::FileHandle nul(::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, 0, nullptr));
    HANDLE saved[3];
    for (int i = 0; i < 3; ++i) {
        saved[i] = ::GetStdHandle(ids[i]);
        if (nul) ::SetStdHandle(ids[i], nul.get());
    }
    platform::Handle hub = StartTool(program, arguments);
    for (int i = 0; i < 3; ++i) ::SetStdHandle(ids[i], saved[i]);
    return hub;
}

}  // namespace

TOutcome StartBridges(const std::vector<int>& listed, const TStartSteps& steps) {
    if (listed.empty()) return TOutcome::Failure(NoBridgesText);
    const std::vector<int> slots = Readable(listed);  // the others are left out
    if (slots.empty()) return TOutcome::Failure(HeldBackText(listed.front()));
    // Rows that cannot be started are refused before anything runs, so a running hub is left alone.
    if (std::optional<std::string> fault = CheckHubRows(slots)) return TOutcome::Failure(*fault);
    if (SwitchedOn(slots).empty()) return TOutcome::Failure(AllOffText);
    const std::string program = ToolDir() + "\\" + HubExeName;
    if (!IsProgramFile(program)) return TOutcome::Fault(HubProgramText + program);
    const TStartStopLock lock(StartStopWaitMs);
    if (!lock) return TOutcome::Fault(lock.Fault());
    if (steps.Seen && steps.Superseded && Record()->count != *steps.Seen) {
        *steps.Superseded = true;
        return {};
    }
    const bool wasRunning = HubRunning();
    const std::string arguments = BuildHubArguments(slots);
    if (steps.AlreadyRunning && wasRunning && RecordedHubCommand() == arguments) {
        *steps.AlreadyRunning = true;
        return {};
    }
    if (!EndHubs()) {
        if (wasRunning) lock.Changed();
        return TOutcome::Fault(HubNotEndedText);
    }
    if (DebugMode && steps.ShowArguments) steps.ShowArguments(arguments);
    const platform::Handle hub = StartQuietly(QuotedToolPath(ToolDir(), HubExeName), arguments);
    const bool started = hub && KeepsRunning(hub);
    if (started || wasRunning) lock.Changed();
    if (!started) return TOutcome::Fault(UnableToStartText);
    if (steps.Launched) steps.Launched();
    RecordHubCommand(arguments);
    return {};
}

std::vector<TLinkEvent> StartEvents(const TOutcome& started) {
    std::vector<TLinkEvent> events{StartEvent(started.Done, started.Failed, started.Text)};
    if (started)
        for (int n : LeftOut()) events.push_back({TEventKind::LeftOut, n, {}, {}, -1, UnreadReason(n)});
    return events;
}

bool AllSwitchedOff(const std::vector<int>& listed) {
    const std::vector<int> slots = Readable(listed);
    return !slots.empty() && SwitchedOn(slots).empty();
}

TOutcome StopBridges(bool* ended) {
    const TStartStopLock lock(StartStopWaitMs);
    if (!lock) return TOutcome::Failure(lock.Fault());
    const bool wasRunning = HubRunning();
    if (ended) *ended = wasRunning;
    // Every hub of ours is ended, however many there are, for a few seconds at most.
    for (const DWORD start = ::GetTickCount(); !EndHubs() && ::GetTickCount() - start < StopAllMs;) ::Sleep(StopRetryMs);
    if (wasRunning) lock.Changed();
    return HubRunning() ? TOutcome::Failure(UnableToStopText) : TOutcome{};
}

std::optional<TStartsAndStops> StartsAndStops() {
    const TStartStopLock lock(0);
    if (lock.Unusable()) return TStartsAndStops{0, false, false};
    if (!lock) return std::nullopt;
    const SharedRecord* record = Record();
    return TStartsAndStops{record->count, record->running != 0, true};
}

void PublishNotAnswering(std::uint32_t slots) {
    if (SharedRecord* record = Record()) record->notAnswering = slots;
}

std::uint32_t NotAnsweringSlots() {
    const SharedRecord* record = Record();
    return record ? record->notAnswering : 0;
}

int CompareSlots(int a, int b) { return ::lstrcmpA(Bridges[a].COM.str().c_str(), Bridges[b].COM.str().c_str()); }

std::vector<int> LoadStoredBridges() {
    ClearBridges();
    std::vector<int> slots;
    LoadBridges([&slots](const TBridge& bridge) { slots.push_back(SlotNumber(bridge)); });
    // Stable, as the list keeps rows that compare equal in the order they were added.
    std::stable_sort(slots.begin(), slots.end(), [](int a, int b) { return CompareSlots(a, b) < 0; });
    return slots;
}
