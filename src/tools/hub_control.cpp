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

}  // namespace

THubStart PrepareHubStart(const std::vector<std::string>& captions) {
    if (captions.empty()) return {NoBridgesText, {}};
    // Rows that cannot be started are refused before anything runs, so a running hub is left alone.
    if (std::optional<std::string> fault = CheckHubRows(captions)) return {*fault, {}};
    KillHub(true);
    return {{}, BuildHubArguments(captions)};
}

std::optional<std::string> LaunchHub(const std::string& arguments) {
    const platform::Handle hub = StartTool(QuotedToolPath(ToolDir(), HubExeName) + arguments);
    if (!hub || !KeepsRunning(hub)) return UnableToStartText;
    return std::nullopt;
}

bool StopHub() { return KillHub(true) || !KillHub(false); }

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
