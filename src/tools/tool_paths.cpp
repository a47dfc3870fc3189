#include "tools/tool_paths.h"

#include "platform/ascii.h"

#include <utility>

using platform::EqualsIgnoringAsciiCase;

namespace {

// "-" or "/" followed by the name, the ASCII letters in any case.
bool IsSwitchNamed(std::string_view arg, std::string_view name) {
    return !arg.empty() && (arg.front() == '-' || arg.front() == '/') && EqualsIgnoringAsciiCase(arg.substr(1), name);
}

}  // namespace

std::string ToolDirOf(std::string_view exePath) {
    std::size_t split = exePath.find_last_of("\\:");
    std::string dir(split == std::string_view::npos ? std::string_view() : exePath.substr(0, split + 1));
    if (dir.empty() || dir.back() != '\\') dir += '\\';  // "C:" (a drive without a root) gets one
    return dir + "driver";
}

bool IsDebugSwitch(std::string_view arg) { return IsSwitchNamed(arg, "mdebug"); }

TSwitches ParseSwitches(const std::vector<std::string>& args) {
    static constexpr std::pair<const char*, TSwitch> actions[] = {
        {"start", TSwitch::Start}, {"stop", TSwitch::Stop}, {"status", TSwitch::Status}};
    TSwitches result;
    std::string unknown;
    bool twoActions = false;
    for (const std::string& arg : args) {
        if (arg.empty() || (arg.front() != '-' && arg.front() != '/') || IsDebugSwitch(arg)) continue;
        TSwitch action = TSwitch::None;
        for (const auto& [name, value] : actions)
            if (IsSwitchNamed(arg, name)) action = value;
        if (action == TSwitch::None) {
            if (unknown.empty()) unknown = arg;
        } else if (result.action != TSwitch::None && result.action != action) {
            twoActions = true;
        } else {
            result.action = action;
        }
    }
    if (result.action == TSwitch::None) return result;
    if (!unknown.empty())
        result.error = "Unknown switch '" + unknown + "'";
    else if (twoActions)
        result.error = "Use one of -start, -stop and -status";
    return result;
}

std::string LogOnCommand(std::string_view exePath) {
    std::string command = "\"";
    command += exePath;
    command += "\" -start";
    return command;
}

bool HasDebugSwitch(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (IsDebugSwitch(arg)) return true;
    return false;
}

std::string QuotedToolPath(std::string_view toolDir, std::string_view exeName) {
    std::string path = "\"";
    path += toolDir;
    path += '\\';
    path += exeName;
    path += '"';
    return path;
}

bool IsExeEntryNamed(std::string_view entry, std::string_view name) {
    std::size_t split = entry.find_last_of("\\:");
    std::string_view fileName = split == std::string_view::npos ? entry : entry.substr(split + 1);
    return EqualsIgnoringAsciiCase(fileName, name) || EqualsIgnoringAsciiCase(entry, name);
}
