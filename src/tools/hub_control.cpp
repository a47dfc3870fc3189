#include "tools/hub_control.h"

#include "config/config_store.h"
#include "platform/cursor.h"
#include "platform/text.h"
#include "tools/hub_args.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"

#include <windows.h>

#include <algorithm>

namespace {

// A hub that rejects its arguments ends at once; one that still runs after this long counts
// as started.
constexpr DWORD HubSettleMs = 1000;

// How long a stop goes on ending hubs, and how long it waits after a hub it could not end.
constexpr DWORD StopAllMs = 5000, StopRetryMs = 50;

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

TOutcome StartBridges(const std::vector<int>& slots, const TStartSteps& steps) {
    if (slots.empty()) return TOutcome::Failure(NoBridgesText);
    // Rows that cannot be started are refused before anything runs, so a running hub is left alone.
    if (std::optional<std::string> fault = CheckHubRows(slots)) return TOutcome::Failure(*fault);
    if (::GetFileAttributesW(platform::Widen(ToolDir() + "\\" + HubExeName).c_str()) == INVALID_FILE_ATTRIBUTES)
        return TOutcome::Failure(UnableToStartText);
    KillHub(true);
    const std::string arguments = BuildHubArguments(slots);
    if (DebugMode && steps.ShowArguments) steps.ShowArguments(arguments);
    const platform::Handle hub = StartQuietly(QuotedToolPath(ToolDir(), HubExeName), arguments);
    if (!hub || !KeepsRunning(hub)) return TOutcome::Failure(UnableToStartText);
    if (steps.Launched) steps.Launched();
    RecordHubCommand(arguments);
    return {};
}

TOutcome StopBridges() {
    // Every hub that runs is ended, however many there are, for a few seconds at most.
    for (const DWORD start = ::GetTickCount(); KillHub(false) && ::GetTickCount() - start < StopAllMs;)
        if (!KillHub(true)) ::Sleep(StopRetryMs);
    return KillHub(false) ? TOutcome::Failure(UnableToStopText) : TOutcome{};
}

int CompareCaptions(const std::string& a, const std::string& b) { return ::lstrcmpA(a.c_str(), b.c_str()); }

std::vector<int> LoadStoredBridges() {
    ClearBridges();
    std::vector<int> slots;
    LoadBridges([&slots](const TBridge& bridge) { slots.push_back(SlotNumber(bridge)); });
    // Stable, as the list keeps rows that compare equal in the order they were added.
    std::stable_sort(slots.begin(), slots.end(),
                     [](int a, int b) { return CompareCaptions(Bridges[a].COM.str(), Bridges[b].COM.str()) < 0; });
    return slots;
}
