#pragma once
// Where the outside tools live and how the program is switched into debug mode. Pure text work.
#include <string>
#include <string_view>
#include <vector>

constexpr char HubExeName[] = "hub4com.exe";
constexpr char SetupExeName[] = "setupc.exe";

// The tool directory for an executable path: its directory, one "\", then "driver". The path
// is split at its last "\" or ":"; a directory that already ends in a separator (a drive's
// root) is not given a second one.
std::string ToolDirOf(std::string_view exePath);

// True for "-" or "/" followed by "mdebug" in any letter case, and nothing else.
bool IsDebugSwitch(std::string_view arg);

// True when one of the arguments is the debug switch. args holds the arguments after the
// program's own path.
bool HasDebugSwitch(const std::vector<std::string>& args);

// The command-line switches that do one job and end without a window.
enum class TSwitch { None, Start, Stop, Status };

struct TSwitches {
    TSwitch action = TSwitch::None;  // None: the window starts, and other words are ignored
    std::string error;  // why nothing is done ("Unknown switch '/bogus'"); empty when all is well
};

// Reads the arguments after the program's own path. Switches begin with "-" or "/" and are
// matched without ASCII case, like the debug switch. With one of -start, -stop and -status,
// every other switch but the debug switch is an error, and so is a second of the three.
TSwitches ParseSwitches(const std::vector<std::string>& args);

// The Run-key command that starts the bridges at log-on: the executable's full path in double
// quotes, then " -start".
std::string LogOnCommand(std::string_view exePath);

// The start of a tool's command line: its full path in double quotes, so that a folder with
// blanks cannot make Windows run another program.
std::string QuotedToolPath(std::string_view toolDir, std::string_view exeName);

// True when a process-list entry (an executable's name, or its full path) names the executable
// name: the entry's file-name part (after its last "\" or ":"), or else the whole entry, equals
// name with the ASCII letters compared without case.
bool IsExeEntryNamed(std::string_view entry, std::string_view name);
