#include "tools/hub_control.h"

#include "config/config_store.h"
#include "platform/cursor.h"
#include "tools/hub_args.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"

#include <windows.h>

#include <algorithm>

namespace {

// A hub that rejects its arguments ends at once; one that still runs after this long counts
// as started.
constexpr DWORD HubSettleMs = 1000;

// True when the hub just launched still runs after the settling time. Only this process counts:
// an older hub that could not be ended must not pass for it.
bool KeepsRunning(const platform::Handle& hub) {
    platform::ShowHourglass();
    const bool running = ::WaitForSingleObject(hub.get(), HubSettleMs) == WAIT_TIMEOUT;
    platform::ShowDefaultPointer();
    return running;
}

// Points the standard handles at the null device while it lives. A program started under Wine
// keeps the standard output of the one that started it, inherited or not: a hub launched from a
// script's pipe would hold that pipe open for as long as it runs, and the script would wait as long.
class TStdHandlesOnNul {
public:
    TStdHandlesOnNul()
        : nul_(::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr)) {
        for (int i = 0; i < 3; ++i) {
            saved_[i] = ::GetStdHandle(Ids[i]);
            if (nul_) ::SetStdHandle(Ids[i], nul_.get());
        }
    }
    ~TStdHandlesOnNul() {
        for (int i = 0; i < 3; ++i) ::SetStdHandle(Ids[i], saved_[i]);
    }
    TStdHandlesOnNul(const TStdHandlesOnNul&) = delete;
    TStdHandlesOnNul& operator=(const TStdHandlesOnNul&) = delete;

private:
    static constexpr DWORD Ids[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    platform::FileHandle nul_;
    HANDLE saved_[3] = {};
};

// Ends the running hub, if any; false when one runs on that could not be ended.
}  // namespace

TOutcome StartBridges(const std::vector<std::string>& captions, const TStartSteps& steps) {
    if (captions.empty()) return TOutcome::Failure(NoBridgesText);
    // Rows that cannot be started are refused before anything runs, so a running hub is left alone.
    if (std::optional<std::string> fault = CheckHubRows(captions)) return TOutcome::Failure(*fault);
    KillHub(true);
    const std::string arguments = BuildHubArguments(captions);
    if (DebugMode && steps.ShowArguments) steps.ShowArguments(arguments);
    platform::Handle hub;
    {
        const TStdHandlesOnNul quiet;
        hub = StartTool(QuotedToolPath(ToolDir(), HubExeName) + arguments);
    }
    if (!hub || !KeepsRunning(hub)) return TOutcome::Failure(UnableToStartText);
    if (steps.Launched) steps.Launched();
    RecordHubCommand(arguments);
    return {};
}

TOutcome StopBridges() {
    if (KillHub(true) || !KillHub(false)) return TOutcome{};
    return TOutcome::Failure(UnableToStopText);
}

int CompareCaptions(const std::string& a, const std::string& b) { return ::lstrcmpA(a.c_str(), b.c_str()); }

std::vector<std::string> LoadStoredBridges() {
    ClearBridges();
    std::vector<std::string> captions;
    LoadBridges([&captions](const TBridge& bridge) { captions.push_back(bridge.COM.str()); });
    // Stable, as the list keeps rows that compare equal in the order they were added.
    std::stable_sort(captions.begin(), captions.end(),
                     [](const std::string& a, const std::string& b) { return CompareCaptions(a, b) < 0; });
    return captions;
}
