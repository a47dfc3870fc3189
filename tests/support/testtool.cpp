// A stand-in for any outside tool in the tests. Copied under the tools' names, it ends with
// the exit code its first argument gives, after sleeping the milliseconds its second argument
// gives:  testtool <exit code> [<sleep ms>]
// Started with other arguments (the hub's, say), it takes that behaviour from the environment
// variable PONTIS_TESTTOOL ("<exit code> [<sleep ms>]") and ends with 100 when that is not set.
// When PONTIS_TESTTOOL_REPORT names a file, it first writes there how it was started.
#include "platform/text.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int UnexpectedArguments = 100;

bool ParseCount(const char* text, unsigned long* value) {
    if (!text || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    *value = std::strtoul(text, &end, 10);
    return *end == '\0' && errno == 0 && *value <= 0xFFFFFFFFul;
}

// "<exit code> [<sleep ms>]" from up to two texts.
bool ParseBehaviour(const char* code, const char* sleep, unsigned long* exitCode, unsigned long* sleepMs) {
    *sleepMs = 0;
    return ParseCount(code, exitCode) && (!sleep || ParseCount(sleep, sleepMs));
}

// Paths and the command line in UTF-8, taken in the wide form as they are.
void Report(const char* file) {
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    wchar_t dir[MAX_PATH * 2] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 2, dir);
    wchar_t exe[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH * 2);

    FILE* out = std::fopen(file, "wb");
    if (!out) return;
    std::fprintf(out, "exe=%s\ndir=%s\nshow=%d\nline=%s\n", platform::Narrow(exe).c_str(),
                 platform::Narrow(dir).c_str(),
                 (startup.dwFlags & STARTF_USESHOWWINDOW) ? static_cast<int>(startup.wShowWindow) : -1,
                 platform::Narrow(::GetCommandLineW()).c_str());
    std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
    char report[MAX_PATH * 2];
    DWORD reportLength = ::GetEnvironmentVariableA("PONTIS_TESTTOOL_REPORT", report, sizeof report);
    if (reportLength > 0 && reportLength < sizeof report) Report(report);

    unsigned long exitCode = 0;
    unsigned long sleepMs = 0;
    bool known = argc >= 2 && argc <= 3 && ParseBehaviour(argv[1], argc == 3 ? argv[2] : nullptr, &exitCode, &sleepMs);
    if (!known) {
        char behaviour[64];
        DWORD length = ::GetEnvironmentVariableA("PONTIS_TESTTOOL", behaviour, sizeof behaviour);
        if (length == 0 || length >= sizeof behaviour) return UnexpectedArguments;
        char* sleep = std::strchr(behaviour, ' ');
        if (sleep) *sleep++ = '\0';
        if (!ParseBehaviour(behaviour, sleep, &exitCode, &sleepMs)) return UnexpectedArguments;
    }
    if (sleepMs) ::Sleep(sleepMs);
    return static_cast<int>(exitCode);
}
