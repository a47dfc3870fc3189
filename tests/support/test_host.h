#pragma once
// Where a test runs: the folder of its executable, whole files read as they are, and whether
// Wine runs it.
#include "platform/module.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

// The folder of this executable, without a closing backslash.
inline std::string ExeDir() {
    const std::string dir = platform::ExeDirectory();
    return dir.substr(0, dir.size() - 1);
}

// A whole file, or "" when it cannot be read: every byte, or with "\r\n" read as "\n" in text mode.
inline std::string FileText(const std::string& path, std::ios::openmode mode = std::ios::binary) {
    std::ifstream in(path, mode);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

using platform::UnderWine;
