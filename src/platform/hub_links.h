#pragma once
// The hub's word on its own connections: a hub keeps a small named record, which other
// processes may read but not write, of each of its bridges: whether it is connected, and the
// local port of its connection. Where the system does not name a connection's owner (Wine), the
// program tells the hub's connections from other processes' to the same server by these ports.
#include "platform/handles.h"

#include <windows.h>
#include <sddl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

constexpr std::uint32_t HubLinksMax = 64;

// One word per bridge, so that each is written and read whole: the local port, with
// HubLinkConnected set while the bridge is connected; 0 while it is not.
struct HubLinksRecord {
    volatile LONG Links[HubLinksMax];
};
constexpr LONG HubLinkConnected = 0x10000;

// The record's name for the hub with that process id.
inline std::wstring HubLinksName(DWORD pid) { return L"Local\\Pontis hub links " + std::to_wstring(pid); }

// The hub's side: makes its own record, readable by everyone and writable by its owner only.
// Not made (and every Set does nothing) when not asked for, when the name is taken already or
// when the record cannot be had.
class HubLinksWriter {
public:
    explicit HubLinksWriter(bool make = true) {
        if (!make) return;
        SECURITY_ATTRIBUTES readOnly{sizeof readOnly, nullptr, FALSE};
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;GA;;;OW)(A;;GR;;;WD)", SDDL_REVISION_1,
                                                                     &readOnly.lpSecurityDescriptor, nullptr)) {
            error_ = ::GetLastError();
            return;
        }
        mapping_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, &readOnly, PAGE_READWRITE, 0, sizeof(HubLinksRecord),
                                            HubLinksName(::GetCurrentProcessId()).c_str()));
        error_ = ::GetLastError();
        ::LocalFree(readOnly.lpSecurityDescriptor);
        if (mapping_ && error_ == ERROR_ALREADY_EXISTS) mapping_.reset();  // another's: ours must be new
        if (mapping_)
            record_ = static_cast<HubLinksRecord*>(
                ::MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, sizeof(HubLinksRecord)));
        if (mapping_ && !record_) error_ = ::GetLastError();
    }
    ~HubLinksWriter() {
        if (record_) ::UnmapViewOfFile(record_);
    }
    HubLinksWriter(const HubLinksWriter&) = delete;
    HubLinksWriter& operator=(const HubLinksWriter&) = delete;

    explicit operator bool() const { return record_ != nullptr; }
    DWORD Error() const { return error_; }  // why it was not made, when it was asked for

    // Bridge `index` is connected through that local port, or not connected (0).
    void Set(std::size_t index, std::uint16_t localPort) {
        if (record_ && index < HubLinksMax)
            ::InterlockedExchange(&record_->Links[index], localPort ? HubLinkConnected | localPort : 0);
    }

private:
    Handle mapping_;
    HubLinksRecord* record_ = nullptr;
    DWORD error_ = 0;
};

// The local ports of the connected bridges of the hub with that process id; nothing when it keeps
// no record.
inline std::optional<std::vector<std::uint16_t>> HubLinkPorts(DWORD pid) {
    const Handle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, HubLinksName(pid).c_str()));
    if (!mapping) return std::nullopt;
    const void* view = ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(HubLinksRecord));
    if (!view) return std::nullopt;
    std::vector<std::uint16_t> ports;
    for (LONG link : static_cast<const HubLinksRecord*>(view)->Links)
        if (link & HubLinkConnected) ports.push_back(static_cast<std::uint16_t>(link & 0xFFFF));
    ::UnmapViewOfFile(view);
    return ports;
}

}  // namespace platform
