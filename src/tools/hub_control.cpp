#include "tools/hub_control.h"

#include "config/app_info.h"
#include "platform/cursor.h"
#include "tools/hub_args.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"

namespace {

// A hub that rejects its arguments ends at once; one that still runs after this long counts
// as started.
constexpr DWORD HubSettleMs = 1000;
constexpr DWORD HubPollMs = 50;

void ShowStartError(HWND owner, const std::string& text) {
    ::MessageBoxA(owner, text.c_str(), "Error", MB_OK | MB_ICONEXCLAMATION);
}

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

std::optional<std::string> StartHub(HWND owner, const std::vector<std::string>& captions) {
    if (captions.empty()) {
        ShowStartError(owner, "No bridges defined! Please define at least one.");
        return std::nullopt;
    }
    // Rows that cannot be started are refused before anything runs, so a running hub is left alone.
    if (std::optional<std::string> fault = CheckHubRows(captions)) {
        ShowStartError(owner, *fault);
        return std::nullopt;
    }

    KillHub(true);
    std::string args = BuildHubArguments(captions);
    if (DebugMode) ::MessageBoxA(nullptr, args.c_str(), AppTitle, MB_OK | MB_TASKMODAL);  // centred on the screen

    if (RunCommand(QuotedToolPath(ToolDir(), HubExeName) + args, false) != 0 || !HubKeepsRunning()) {
        ShowStartError(owner, "Unable to start bridges! Please check your settings and try again");
        return std::nullopt;
    }
    return args;
}

void StopHub() { KillHub(true); }
