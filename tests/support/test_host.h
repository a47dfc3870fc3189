#pragma once
// Where a test runs: the folder of its executable, whole files read as they are, and whether
// Wine runs it.
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

// The folder of this executable, without a closing backslash.
inline std::string ExeDir() {
    char path[MAX_PATH * 2] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of('\\'));
}

// A whole file, or "" when it cannot be read: every byte, or with "\r\n" read as "\n" in text mode.
inline std::string FileText(const std::string& path, std::ios::openmode mode = std::ios::binary) {
    std::ifstream in(path, mode);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool UnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }
