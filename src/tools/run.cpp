#include "tools/run.h"

#include "config/config_store.h"
#include "config/reg_ini_file.h"
#include "platform/module.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "tools/runner.h"

#include <algorithm>
#include <mutex>

DWORD StartStopWaitMs = 30000;

namespace {

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

// The lock is held elsewhere: by the copy the record names, when it still runs.
std::string HeldText() {
    std::string text = LockHeldText;
    const DWORD holder = Record()->holder;
    const platform::Handle process(holder ? ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, holder) : nullptr);
    const std::wstring path = process ? platform::ImagePath(process.get()) : std::wstring();
    if (!path.empty())
        text += ": " + platform::Narrow(path.substr(path.find_last_of(L"\\/") + 1)) + " (process " +
                std::to_string(holder) + ")";
    return text;
}

}  // namespace

bool TRun::HubFound() { return !FindHubs().empty(); }

std::string TRun::HubLine() {
    try {
        return TRegIniFile(ProgramKey).GetText("", "command", "");
    } catch (const ERegistryException&) {
        return {};
    }
}

void TRun::RecordHubLine(const std::string& arguments) { TRegIniFile(ProgramKey).PutText("", "command", arguments); }

TStartStopLock::TStartStopLock(DWORD waitMs) {
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

TStartStopLock::~TStartStopLock() {
    if (!held_) return;
    lockedHere = false;
    Record()->holder = 0;
    ::ReleaseMutex(mutex_.get());
}

std::uint32_t TStartStopLock::Count() const { return Record()->count; }

void TStartStopLock::Changed() const {
    SharedRecord* record = Record();
    ++record->count;
    record->running = TRun::HubFound() ? 1 : 0;
    record->notAnswering = 0;
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
