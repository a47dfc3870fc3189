#include "hub/hub_log.h"

#include "common/log_file.h"
#include "platform/module.h"

#include <cstdio>
#include <vector>

namespace hub {

Log::Log() : path_(platform::ExeDirectory(CP_UTF8) + "hub4com.log") {}

unsigned long Log::Write(const std::string& lines) const {
    const std::uint64_t now = ::GetTickCount64();
    std::vector<std::string> records;  // to write, in order
    ::AcquireSRWLockExclusive(&lock_);
    for (auto& [source, last] : last_)
        if (last.repeats && now - last.since >= RepeatMs) {
            records.push_back(last.record + " (repeated " + std::to_string(last.repeats) + " times)");
            last.repeats = 0;
            last.since = now;
        }
    Last& last = last_[lines.substr(0, lines.find(": "))];
    if (last.record == lines && now - last.since < RepeatMs) {
        ++last.repeats;
    } else {
        if (last.repeats) records.push_back(last.record + " (repeated " + std::to_string(last.repeats) + " times)");
        last = Last{lines, now, 0};
        records.push_back(lines);
    }
    unsigned long error = 0;  // written under the lock, so that a source's records keep their order
    for (const std::string& record : records) error = Append(record);
    ::ReleaseSRWLockExclusive(&lock_);
    return error;
}

unsigned long Log::Append(const std::string& lines) const {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u pid %lu: ", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, static_cast<unsigned long>(::GetCurrentProcessId()));
    return standin::AppendToLog(path_, stamp + lines + "\r\n", LimitBytes);
}

}  // namespace hub
