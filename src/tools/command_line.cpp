#include "tools/command_line.h"

#include "platform/ascii.h"

#include <utility>

using platform::EqualsIgnoringAsciiCase;

namespace {

// "-" or "/" followed by the name, the ASCII letters in any case.
bool IsSwitchNamed(std::string_view arg, std::string_view name) {
    return !arg.empty() && (arg.front() == '-' || arg.front() == '/') && EqualsIgnoringAsciiCase(arg.substr(1), name);
}

}  // namespace

bool IsDebugSwitch(std::string_view arg) { return IsSwitchNamed(arg, "mdebug"); }

bool HasDebugSwitch(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (IsDebugSwitch(arg)) return true;
    return false;
}

TSwitches ParseSwitches(const std::vector<std::string>& args) {
    static constexpr std::pair<const char*, TSwitch> actions[] = {
        {"start", TSwitch::Start}, {"stop", TSwitch::Stop}, {"status", TSwitch::Status}};
    TSwitches result;
    std::string unknown, doubled;
    bool twoActions = false;
    for (const std::string& arg : args) {
        if (arg.empty() || (arg.front() != '-' && arg.front() != '/') || IsDebugSwitch(arg)) continue;
        if (IsSwitchNamed(arg, "tray")) {
            if (result.tray && doubled.empty()) doubled = arg;
            result.tray = true;
            continue;
        }
        TSwitch action = TSwitch::None;
        for (const auto& [name, value] : actions)
            if (IsSwitchNamed(arg, name)) action = value;
        if (action == TSwitch::None) {
            if (unknown.empty()) unknown = arg;
        } else if (result.action != TSwitch::None && result.action != action) {
            twoActions = true;
        } else {
            if (result.action == action && doubled.empty()) doubled = arg;
            result.action = action;
        }
    }
    if (result.action == TSwitch::None && !result.tray) return result;
    if (!unknown.empty())
        result.error = "Unknown switch '" + unknown + "'";
    else if (twoActions)
        result.error = "Use one of -start, -stop and -status";
    else if (!doubled.empty())
        result.error = "The switch '" + doubled + "' is given twice";
    else if (result.tray && result.action != TSwitch::None && result.action != TSwitch::Start)
        result.error = "Use -tray alone or with -start";
    return result;
}

std::string LogOnCommand(std::string_view exePath) {
    std::string command = "\"";
    command += exePath;
    command += "\" -start -tray";
    return command;
}

bool IsLogOnCommand(std::string_view command, std::string_view exePath) {
    const std::string current = LogOnCommand(exePath);
    return command == current || command == current.substr(0, current.size() - std::string_view(" -tray").size());
}
