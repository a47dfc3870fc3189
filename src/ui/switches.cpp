#include "ui/switches.h"

#include "config/config_store.h"
#include "platform/handles.h"
#include "tools/bridge_status.h"
#include "tools/hub_control.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"
#include "ui/app_info.h"
#include "ui/application.h"

#include <windows.h>

#include <exception>

namespace {

constexpr char UnableToStopText[] = "Unable to stop bridges! The hub could not be ended";

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

// Points the standard handles at the null device while it lives. A program started under Wine
// keeps the standard output of the one that started it, inherited or not: a hub launched by
// -start would hold a pipe open for as long as it runs, and the script reading that pipe would
// wait as long.
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

// Starts the stored bridges as "&Start bridges" does for the same bridges.
int StartBridges(const TSwitchOutput& output) {
    const THubStart start = PrepareHubStart(LoadStoredBridges());
    if (!start.refusal.empty()) return output.Fail(start.refusal, MB_ICONEXCLAMATION);
    if (DebugMode) {
        if (output.Available())
            output.Line(start.arguments);
        else
            ::MessageBoxA(nullptr, start.arguments.c_str(), AppTitle, MB_OK | MB_TASKMODAL);
    }
    std::optional<std::string> failure;
    {
        const TStdHandlesOnNul quiet;
        failure = LaunchHub(start.arguments);
    }
    if (failure) return output.Fail(*failure, MB_ICONEXCLAMATION);
    RecordHubCommand(start.arguments);
    output.Line("Bridges started");
    return 0;
}

int StopBridges(const TSwitchOutput& output) {
    const bool wasRunning = KillHub(false);
    if (!StopHub()) return output.Fail(UnableToStopText, MB_ICONEXCLAMATION);
    output.Line(wasRunning ? "Bridges stopped" : "Bridges were not running");
    return 0;
}

int ReportBridges(const TSwitchOutput& output) {
    const TBridgeStatus status = StoredBridgeStatus();
    for (const std::string& line : status.Lines) output.Line(line);
    return status.AllConnected ? 0 : 1;
}

}  // namespace

std::optional<int> RunSwitches(const std::vector<std::string>& args) {
    const TSwitches switches = ParseSwitches(args);
    if (switches.action == TSwitch::None) return std::nullopt;
    const TSwitchOutput output;
    const bool quiet = switches.action == TSwitch::Status && !output.Available();  // only the exit code tells
    if (!switches.error.empty()) return quiet ? 1 : output.Fail(switches.error);
    DebugMode = HasDebugSwitch(args);
    try {
        switch (switches.action) {
        case TSwitch::Start: return StartBridges(output);
        case TSwitch::Stop: return StopBridges(output);
        default: return ReportBridges(output);
        }
    } catch (const std::exception& e) {  // a registry error, shown as the window shows it
        if (output.Available())
            output.Line(WithFullStop(e.what()));
        else if (!quiet)
            ShowException(e);
        return 1;
    }
}
