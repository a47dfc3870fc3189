#include "ui/switches.h"

#include "platform/handles.h"
#include "tools/bridge_status.h"
#include "tools/command_line.h"
#include "tools/connection_log.h"
#include "tools/hub_args.h"
#include "tools/hub_control.h"
#include "tools/runner.h"
#include "ui/application.h"

#include <windows.h>

#include <exception>

namespace {

// Where a switch says what happened: its standard output when it has one (redirected to a file
// or a pipe, or under Wine started from a shell), else the console of the program that started
// it when there is one to attach to; with neither, nowhere.
class TSwitchOutput {
public:
    TSwitchOutput() {
        HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
        if (out && out != INVALID_HANDLE_VALUE && ::GetFileType(out) != FILE_TYPE_UNKNOWN) {
            out_ = out;
        } else if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
            console_.reset(::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
            if (console_) out_ = console_.get();
        }
    }

    bool Available() const { return out_ != nullptr; }

    void Line(const std::string& text) const {
        if (!out_) return;
        const std::string line = text + "\r\n";
        DWORD written = 0;
        ::WriteFile(out_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

    // A failure: written out when there is an output, else shown in the error box so that it is
    // seen at log-on too. Gives the exit code.
    int Fail(const std::string& text, UINT icon = MB_ICONERROR) const {
        if (Available())
            Line(text);
        else
            ShowErrorBox(nullptr, text, icon);
        return 1;
    }

private:
    HANDLE out_ = nullptr;
    platform::FileHandle console_;
};

int StopSwitch(const TSwitchOutput& output, bool sayIt = true) {
    bool ended = false;
    const TOutcome stopped = StopBridges(&ended);
    if (stopped && ended) AppendToConnectionLog(LogEvents({{TEventKind::Stopped}}, {}));
    if (!stopped) return output.Fail(stopped.Text, MB_ICONEXCLAMATION);
    if (sayIt) output.Line(ended ? "Bridges stopped" : "Bridges were not running");
    return 0;
}

// Starts the stored bridges as "&Start bridges" does for the same bridges. With -tray, a
// failure that has no output to go to is left for the icon.
int StartSwitch(const TSwitchOutput& output, std::string* trayNote) {
    const auto showArguments = [&output](const std::string& arguments) {
        if (output.Available())
            output.Line(arguments);
        else
            ShowHubArguments(arguments);
    };
    // Logged before the start lets other copies look at the links again, so that the line comes
    // before theirs.
    const auto launched = [] { AppendToConnectionLog(LogEvents(StartEvents({}), {})); };
    const std::vector<int> slots = LoadStoredBridges();
    if (AllSwitchedOff(slots)) {
        const int stopped = StopSwitch(output, false);
        if (stopped == 0) output.Line(AllOffText);
        return stopped;
    }
    bool alreadyRunning = false;
    const TOutcome started = StartBridges(slots, {showArguments, launched, &alreadyRunning});
    if (!started) AppendToConnectionLog(LogEvents(StartEvents(started), {}));
    if (!started && trayNote && !output.Available()) {
        *trayNote = started.Text;
        return 1;
    }
    if (!started) return output.Fail(started.Text, MB_ICONEXCLAMATION);
    for (int n : LeftOut()) output.Line(LeftOutText(n));
    output.Line(alreadyRunning ? AlreadyRunningText : "Bridges started");
    return 0;
}

int StatusSwitch(const TSwitchOutput& output) {
    const TBridgeStatus status = StoredBridgeStatus();
    for (const std::string& line : status.Lines) output.Line(line);
    return status.Code;
}

}  // namespace

int ReportFailure(const std::string& text) { return TSwitchOutput().Fail(text); }

std::optional<int> RunSwitches(const std::vector<std::string>& args, std::string* trayNote) {
    const TSwitches switches = ParseSwitches(args);
    if (switches.action == TSwitch::None && switches.error.empty()) return std::nullopt;
    const TSwitchOutput output;
    const bool quiet = switches.action == TSwitch::Status && !output.Available();  // only the exit code tells
    if (!switches.error.empty()) {
        if (!quiet) output.Fail(switches.error);
        return CommandLineRefused;
    }
    DebugMode = HasDebugSwitch(args);
    try {
        switch (switches.action) {
        case TSwitch::Start:
            if (!switches.tray) return StartSwitch(output, nullptr);
            StartSwitch(output, trayNote);
            return std::nullopt;
        case TSwitch::Stop: return StopSwitch(output);
        default: return StatusSwitch(output);
        }
    } catch (const std::exception& e) {  // a registry error, shown as the window shows it
        if (output.Available())
            output.Line(WithFullStop(e.what()));
        else if (!quiet)
            ShowException(e);
        return 1;
    }
}
