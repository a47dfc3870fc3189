#include "tools/tool_paths.h"

#include "platform/ascii.h"

using platform::EqualsIgnoringAsciiCase;

std::string ToolDirOf(std::string_view exePath) {
    std::size_t split = exePath.find_last_of("\\:");
    std::string dir(split == std::string_view::npos ? std::string_view() : exePath.substr(0, split + 1));
    if (dir.empty() || dir.back() != '\\') dir += '\\';  // "C:" (a drive without a root) gets one
    return dir + "driver";
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
