#pragma once
// Where the outside tools live and how they are named. Pure text work.
#include <string>
#include <string_view>

constexpr char HubExeName[] = "hub4com.exe";
constexpr char SetupExeName[] = "setupc.exe";

// The tool directory for an executable path: its directory, one "\", then "driver". The path
// is split at its last "\" or ":"; a directory that already ends in a separator (a drive's
// root) is not given a second one.
std::string ToolDirOf(std::string_view exePath);

// The start of a tool's command line: its full path in double quotes, so that a folder with
// blanks cannot make Windows run another program.
std::string QuotedToolPath(std::string_view toolDir, std::string_view exeName);

// True when a process-list entry (an executable's name, or its full path) names the executable
// name: the entry's file-name part (after its last "\" or ":"), or else the whole entry, equals
// name with the ASCII letters compared without case.
bool IsExeEntryNamed(std::string_view entry, std::string_view name);
