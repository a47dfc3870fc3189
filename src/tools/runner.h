#pragma once
// Running the outside tools, and finding and stopping the hub: the process whose executable is
// the hub in the tool directory beside this program.
#include "platform/handles.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Set once at start-up from the command line; while true, tool windows are shown.
extern bool DebugMode;

constexpr DWORD RunFailed = 999;  // the tool could not be started, or its end not awaited

// How long a waited-for tool may run before it is ended: two minutes (tests shorten it).
extern DWORD RunTimeoutMs;

// The tool directory beside this executable, in UTF-8.
std::string ToolDir();

// Runs a command line in ToolDir: program, its start (the quoted program path, in UTF-8), then
// arguments as given (8-bit text in the ANSI code page, as the stored bridges are), and waits
// for it: the exit code, or 999 when the tool could not be started, its exit code could not be
// read, or it ran past timeoutMs and was ended. Shows the hourglass while waiting and the
// default pointer after.
DWORD RunCommand(const std::string& program, const std::string& arguments, DWORD timeoutMs = RunTimeoutMs);

// Starts a command line in ToolDir as RunCommand does, without waiting; gives the process, or
// no handle when it could not be created.
platform::Handle StartTool(const std::string& program, const std::string& arguments);

// Binds the process-list functions from the loaded kernel32.dll on first use.
void BindToolHelp();

// The ids of the running processes whose executable name is name (ASCII letters compared
// without case, whole name), in the process list's order, at most limit.
std::vector<DWORD> FindProcesses(const std::string& name, std::size_t limit = SIZE_MAX);

// Whether the file at path (UTF-8) is a program this system starts as it started this one: a
// file, not a folder, whose image headers name this program's machine and an executable, not
// a library.
bool IsProgramFile(const std::string& path);

// The hubs of this program: the running processes named like the hub whose executable is the
// hub in ToolDir, compared as the system compares file names; in the process list's order.
// A process of that name elsewhere is not one.
std::vector<DWORD> FindHubs();

// Ends every hub of this program, waiting up to 5 seconds for each to be gone; true when none
// is left running.
bool EndHubs();
