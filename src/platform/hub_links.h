#pragma once
// The hub's word on its own bridges: a hub keeps a small named record (hub_record.h), which other
// processes may read but not write, of each bridge on its line: its port, the connection it holds
// (local port, server) and how its port and its server's answers stand. Where the system does not
// name a connection's owner (Wine), the program tells the hub's connections from other
// processes' by these; the record also says what no connection table can: a lost port, a server
// that refuses port control.
#include "platform/handles.h"
#include "platform/hub_record.h"

#include <windows.h>
#include <sddl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The record's name for the hub with that process id.
inline std::wstring HubLinksName(DWORD pid) { return L"Local\\Pontis hub links " + std::to_wstring(pid); }

// A process's creation time, as the record names its hub; 0 when it cannot be read.
inline std::uint64_t ProcessStart(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return static_cast<std::uint64_t>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}
inline std::uint64_t ProcessStart(DWORD pid) {
    const Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    return process ? ProcessStart(process.get()) : 0;
}

// The hub's side: makes its own record, readable by everyone and writable by its owner only.
// Not made (and every Set does nothing) when not asked for, when the name is taken already or
// when the record cannot be had.
class HubLinksWriter {
public:
    explicit HubLinksWriter(const std::vector<std::string>& ports, bool make = true) {
        for (SRWLOCK& lock : locks_) ::InitializeSRWLock(&lock);
        if (!make) return;
        SECURITY_ATTRIBUTES readOnly{sizeof readOnly, nullptr, FALSE};
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;GA;;;OW)(A;;GR;;;WD)", SDDL_REVISION_1,
                                                                     &readOnly.lpSecurityDescriptor, nullptr)) {
            error_ = ::GetLastError();
            return;
        }
        mapping_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, &readOnly, PAGE_READWRITE, 0, sizeof(HubRecord),
                                            HubLinksName(::GetCurrentProcessId()).c_str()));
        error_ = ::GetLastError();
        ::LocalFree(readOnly.lpSecurityDescriptor);
        if (mapping_ && error_ == ERROR_ALREADY_EXISTS) mapping_.reset();  // another's: ours must be new
        if (mapping_)
            record_ = static_cast<HubRecord*>(::MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, sizeof(HubRecord)));
        if (mapping_ && !record_) error_ = ::GetLastError();
        if (record_)
            OpenRecord(*record_, ::GetCurrentProcessId(), ProcessStart(::GetCurrentProcess()), ports);
    }
    ~HubLinksWriter() {
        if (record_) ::UnmapViewOfFile(record_);
    }
    HubLinksWriter(const HubLinksWriter&) = delete;
    HubLinksWriter& operator=(const HubLinksWriter&) = delete;

    explicit operator bool() const { return record_ != nullptr; }
    DWORD Error() const { return error_; }  // why it was not made, when it was asked for

    // Bridge `index`'s link as it now stands (its Port is the record's own and not written).
    void Set(std::size_t index, const HubLink& link) {
        if (!record_ || index >= record_->Count) return;
        ::AcquireSRWLockExclusive(&locks_[index]);
        WriteEntry(record_->Entries[index], link);
        ::ReleaseSRWLockExclusive(&locks_[index]);
    }

    // Data that crossed bridge `index`: the serial bytes sent to its server and received from it.
    void Count(std::size_t index, std::uint64_t sent, std::uint64_t received) {
        if (record_ && index < record_->Count) HubCount(record_->Entries[index], sent, received, ::GetTickCount64());
    }

private:
    Handle mapping_;
    HubRecord* record_ = nullptr;
    DWORD error_ = 0;
    SRWLOCK locks_[HubRecordMax];  // one writer per entry at a time
};

// The links of the hub with that process id, in its line's order; nothing when it keeps no
// record (problem Missing) or its record cannot be taken as this hub's (OtherVersion, OtherHub).
inline std::optional<std::vector<HubLink>> ReadHubLinks(DWORD pid, HubRecordProblem& problem) {
    problem = HubRecordProblem::Missing;
    const Handle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, HubLinksName(pid).c_str()));
    if (!mapping) return std::nullopt;
    const void* view = ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(HubRecord));
    if (!view) return std::nullopt;
    std::optional<std::vector<HubLink>> links =
        ReadRecord(*static_cast<const HubRecord*>(view), pid, ProcessStart(pid), problem);
    ::UnmapViewOfFile(view);
    return links;
}

}  // namespace platform
