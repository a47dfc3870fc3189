#include "tools/hub_control.h"

#include "platform/cursor.h"
#include "tools/hub_args.h"
#include "tools/link_reads.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"

#include <windows.h>

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
    if (steps.Seen && steps.Superseded && lock.Count() != *steps.Seen) {
        *steps.Superseded = true;
        return {};
    }
    const bool wasRunning = TRun::HubFound();
    const std::string arguments = BuildHubArguments(slots);
    // A bridge whose port the hub lost carries nothing: the start makes the hub anew, on ports
    // opened afresh, rather than call the bridges running.
    if (steps.AlreadyRunning && wasRunning && TRun::HubLine() == arguments && !HubPortLost()) {
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
    TRun::RecordHubLine(arguments);
    return {};
}

std::vector<TLinkEvent> StartEvents(const TOutcome& started) {
    std::vector<TLinkEvent> events{StartEvent(started.Done, started.Failed, started.Text)};
    if (started)
        for (int n : LeftOut()) events.push_back({TEventKind::LeftOut, n, {}, {}, -1, UnreadReason(n)});
    return events;
}

TOutcome StopBridges(bool* ended) {
    const TStartStopLock lock(StartStopWaitMs);
    if (!lock) return TOutcome::Failure(lock.Fault());
    const bool wasRunning = TRun::HubFound();
    if (ended) *ended = wasRunning;
    // Every hub of ours is ended, however many there are, for a few seconds at most.
    for (const DWORD start = ::GetTickCount(); !EndHubs() && ::GetTickCount() - start < StopAllMs;) ::Sleep(StopRetryMs);
    if (wasRunning) lock.Changed();
    return TRun::HubFound() ? TOutcome::Failure(UnableToStopText) : TOutcome{};
}
