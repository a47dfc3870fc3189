#include "hub/hub_log.h"

#include "common/log_file.h"
#include "platform/module.h"

#include <windows.h>

#include <cstdio>

namespace hub {

Log::Log() : path_(platform::ExeDirectory(CP_UTF8) + "hub4com.log") {}

unsigned long Log::Write(const std::string& lines) const {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u pid %lu: ", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, static_cast<unsigned long>(::GetCurrentProcessId()));
    return standin::AppendToLog(path_, stamp + lines + "\r\n");
}

}  // namespace hub
