#pragma once
// The stand-ins' logs beside them: each record appended in one write under a lock named after
// the file, so that records of threads and of processes writing at once neither interleave nor
// get lost.
#include "platform/handles.h"
#include "platform/named_lock.h"
#include "platform/text.h"

#include <windows.h>

#include <string>

namespace standin {

// Appends record to the file at path (UTF-8), creating it when missing; returns 0 or the error
// of the failed call (ERROR_TIMEOUT when another writer held the file for seconds). With a limit,
// a file that the record would take past it first becomes path.1 (replacing the one before),
// and the record starts a new one.
inline unsigned long AppendToLog(const std::string& path, const std::string& record, unsigned long long limit = 0) {
    const platform::NamedLock lock(platform::LockNameFor("standin-log", path), 5000);
    if (!lock.Held()) return lock.Error();
    const auto open = [&] {
        return platform::FileHandle(::CreateFileW(platform::Widen(path).c_str(), FILE_APPEND_DATA,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    platform::FileHandle file = open();
    if (!file) return ::GetLastError();
    LARGE_INTEGER size{};
    if (limit && ::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 &&
        static_cast<unsigned long long>(size.QuadPart) + record.size() > limit) {
        file.reset();
        // A reader that holds the file without sharing its deletion keeps it from moving: the
        // record goes on at its end, and the next one tries again.
        ::MoveFileExW(platform::Widen(path).c_str(), platform::Widen(path + ".1").c_str(), MOVEFILE_REPLACE_EXISTING);
        file = open();
        if (!file) return ::GetLastError();
    }
    DWORD written = 0;
    if (!::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr))
        return ::GetLastError();
    return written == record.size() ? 0 : ERROR_WRITE_FAULT;
}

}  // namespace standin
