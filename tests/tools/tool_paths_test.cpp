// Tool paths, the switches, the log-on command and how process-list entries are matched to a name.
#include "tools/command_line.h"
#include "tools/tool_paths.h"

#include <gtest/gtest.h>

namespace {

TEST(ToolPaths, ToolDirIsTheExecutablesDirectoryThenDriver) {
    struct {
        const char* exe;
        const char* toolDir;
    } const cases[] = {
        {"C:\\Program Files\\Pontis\\PontisManager.exe", "C:\\Program Files\\Pontis\\driver"},
        {"C:\\PontisManager.exe", "C:\\driver"},  // a drive's root: one separator only
        {"C:PontisManager.exe", "C:\\driver"},
        {"\\\\server\\share\\PontisManager.exe", "\\\\server\\share\\driver"},
        {"Z:\\a:b\\x.exe", "Z:\\a:b\\driver"},
    };
    for (const auto& c : cases) EXPECT_EQ(ToolDirOf(c.exe), c.toolDir) << c.exe;
}

TEST(ToolPaths, QuotedToolPathEnclosesTheWholePath) {
    EXPECT_EQ(QuotedToolPath("C:\\Program Files\\Pontis\\driver", "setupc.exe"),
              "\"C:\\Program Files\\Pontis\\driver\\setupc.exe\"");
    EXPECT_EQ(QuotedToolPath(ToolDirOf("C:\\PontisManager.exe"), HubExeName), "\"C:\\driver\\hub4com.exe\"");
}

TEST(ToolPaths, DebugSwitch) {
    struct {
        const char* arg;
        bool isSwitch;
    } const cases[] = {
        {"-mdebug", true},  {"/mdebug", true},   {"-MDEBUG", true},   {"/MDebug", true},  {"-MDebug", true},
        {"mdebug", false},  {"--mdebug", false}, {"-mdebug2", false}, {"-mdebu", false},  {"-", false},
        {"", false},        {"\\mdebug", false}, {"-m debug", false}, {" -mdebug", false}, {"-mdebug ", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsDebugSwitch(c.arg), c.isSwitch) << c.arg;

    EXPECT_TRUE(HasDebugSwitch({"x", "/MDEBUG"}));
    EXPECT_FALSE(HasDebugSwitch({"mdebug", "--mdebug"}));
    EXPECT_FALSE(HasDebugSwitch({}));
}

TEST(ToolPaths, Switches) {
    const TSwitch none = TSwitch::None, start = TSwitch::Start, stop = TSwitch::Stop, status = TSwitch::Status;
    const char* const unknown = "Unknown switch '/bogus'";
    const char* const two = "Use one of -start, -stop and -status";
    struct { std::vector<std::string> args; TSwitch action; const char* error; bool tray = false; } const cases[] = {
        {{"-start"}, start, ""},          {{"/STOP", "word"}, stop, ""},      {{"-mdebug", "-Status"}, status, ""},
        {{"-start", "/Start"}, start, "The switch '/Start' is given twice"},
        {{"-tray", "-start", "/TRAY"}, start, "The switch '/TRAY' is given twice", true},
        {{"--start", "-start2", "/bogus"}, none, ""},  // the window starts
        {{"-start", "/bogus", "-x"}, start, unknown}, {{"/bogus", "/status"}, status, unknown},
        {{"-stop", "--stop"}, stop, "Unknown switch '--stop'"}, {{"-status", "-"}, status, "Unknown switch '-'"},
        {{"-start", "-stop"}, start, two}, {{"/status", "-MDEBUG", "/start"}, status, two},
        {{"-tray", "word"}, none, "", true}, {{"/TRAY", "-start"}, start, "", true},
        {{"-tray", "/bogus"}, none, unknown, true}, {{"-stop", "-Tray"}, stop, "Use -tray alone or with -start", true},
    };
    for (const auto& c : cases) {
        const TSwitches parsed = ParseSwitches(c.args);
        EXPECT_EQ(parsed.action, c.action) << c.args.front();
        EXPECT_EQ(parsed.error, c.error) << c.args.front();
        EXPECT_EQ(parsed.tray, c.tray) << c.args.front();
    }
}

TEST(ToolPaths, LogOnCommandQuotesThePathThenStarts) {
    EXPECT_EQ(LogOnCommand("C:\\Program Files\\Pontis Manager\\PontisManager.exe"),
              "\"C:\\Program Files\\Pontis Manager\\PontisManager.exe\" -start -tray");
    for (const char* command : {"\"C:\\P.exe\" -start -tray", "\"C:\\P.exe\" -start"})
        EXPECT_TRUE(IsLogOnCommand(command, "C:\\P.exe")) << command;
    for (const char* command : {"\"C:\\Q.exe\" -start", "\"C:\\P.exe\" -tray", "\"C:\\P.exe\""})
        EXPECT_FALSE(IsLogOnCommand(command, "C:\\P.exe")) << command;
}

TEST(ToolPaths, ProcessEntriesMatchTheWholeFileNameWithoutAsciiCase) {
    struct {
        const char* entry;
        bool matches;
    } const cases[] = {
        {"hub4com.exe", true},
        {"HUB4COM.EXE", true},
        {"Hub4Com.exe", true},
        {"C:\\Program Files\\Pontis\\driver\\hub4com.exe", true},
        {"D:hub4com.exe", true},
        {"hub4com.exe.bak", false},
        {"myhub4com.exe", false},
        {"hub4com.ex", false},
        {"hub4com.exe\\", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsExeEntryNamed(c.entry, HubExeName), c.matches) << c.entry;

    // Only ASCII letters fold: an ANSI letter must match byte for byte.
    EXPECT_TRUE(IsExeEntryNamed("\xE9T\xC9.EXE", "\xE9t\xC9.exe"));
    EXPECT_FALSE(IsExeEntryNamed("\xC9.exe", "\xE9.exe"));
    // A name holding a path matches the whole entry.
    EXPECT_TRUE(IsExeEntryNamed("C:\\driver\\HUB4COM.EXE", "c:\\driver\\hub4com.exe"));
}

}  // namespace
