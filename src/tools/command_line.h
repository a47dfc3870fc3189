#pragma once
// The program's command line: the debug switch, the switches that do one job without a window,
// and the command that starts the bridges at log-on. Pure text work.
#include <string>
#include <string_view>
#include <vector>

// True for "-" or "/" followed by "mdebug" in any letter case, and nothing else.
bool IsDebugSwitch(std::string_view arg);

// True when one of the arguments is the debug switch. args holds the arguments after the
// program's own path.
bool HasDebugSwitch(const std::vector<std::string>& args);

// The command-line switches that do one job and end without a window.
enum class TSwitch { None, Start, Stop, Status };

struct TSwitches {
    TSwitch action = TSwitch::None;  // None: the window starts, and other words are ignored
    bool tray = false;  // -tray: the program starts in the notification area (alone, or after -start)
    std::string error;  // why nothing is done ("Unknown switch '/bogus'"); empty when all is well
};

// Reads the arguments after the program's own path. Switches begin with "-" or "/" and are
// matched without ASCII case, like the debug switch. With one of -start, -stop and -status,
// every other switch but the debug switch is an error, and so are a second of the three and a
// switch given twice. -tray goes alone or with -start; beside it too, any other switch is an error.
TSwitches ParseSwitches(const std::vector<std::string>& args);

// The Run-key command that starts the bridges at log-on: the executable's full path in double
// quotes, then " -start -tray".
std::string LogOnCommand(std::string_view exePath);

// Whether a Run-key command starts this executable's bridges at log-on: the command above, or
// the older form that ends in " -start".
bool IsLogOnCommand(std::string_view command, std::string_view exePath);
