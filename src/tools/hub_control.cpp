#include "tools/hub_control.h"

#include "platform/cursor.h"
#include "tools/hub_args.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"

#include <windows.h>

namespace {

// A hub that rejects its arguments ends at once; one that still runs after this long counts
// as started.
constexpr DWORD HubSettleMs = 1000;
constexpr DWORD HubPollMs = 50;

// True when a hub is still found by its name all through the settling time.
bool HubKeepsRunning() {
    platform::ShowHourglass();
    bool running = true;
    for (DWORD waited = 0; running && waited < HubSettleMs; waited += HubPollMs) {
        ::Sleep(HubPollMs);
        running = FindProcess(HubExeName) != 0;
    }
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
    if (RunCommand(QuotedToolPath(ToolDir(), HubExeName) + arguments, false) != 0 || !HubKeepsRunning())
        return UnableToStartText;
    return std::nullopt;
}

void StopHub() { KillHub(true); }
