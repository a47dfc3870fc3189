#pragma once
// The stand-ins' logs beside them: each record appended in one write, so that records of
// threads and of processes writing at once do not interleave.
#include "platform/handles.h"

#include <windows.h>

#include <string>

namespace standin {

// Appends record to the file at path, creating it when missing; returns 0 or the error of the
// failed call.
inline unsigned long AppendToLog(const std::string& path, const std::string& record) {
    platform::FileHandle file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    DWORD written = 0;
    if (!::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr))
        return ::GetLastError();
    return written == record.size() ? 0 : ERROR_WRITE_FAULT;
}

}  // namespace standin
