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
// of the failed call (ERROR_TIMEOUT when another writer held the file for seconds).
inline unsigned long AppendToLog(const std::string& path, const std::string& record) {
    const platform::NamedLock lock(platform::LockNameFor("standin-log", path), 5000);
    if (!lock.Held()) return lock.Error();
    platform::FileHandle file(::CreateFileW(platform::Widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    DWORD written = 0;
    if (!::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr))
        return ::GetLastError();
    return written == record.size() ? 0 : ERROR_WRITE_FAULT;
}

}  // namespace standin
