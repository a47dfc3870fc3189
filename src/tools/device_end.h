#pragma once
// What a bridge's device end is, in words: the counts, the settings and the server that the
// hub's record tells, for the main window's status bar, a row's tip and -status. Pure logic.
#include "platform/hub_record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A count of bytes in short units: "512 bytes", "340 KB", "1.2 MB", "3.4 GB" (1 KB is 1024 bytes).
std::string ShortBytes(std::uint64_t bytes);

// Settings as a person reads them ("57600 8N2 RTS/CTS", "9600 8N1") and as -status writes them
// ("57600,8,N,2,rtscts").
std::string SettingsText(const platform::HubSettings& settings);
std::string SettingsField(const platform::HubSettings& settings);

// Seconds since the last data either way at the tick count nowMs; nothing before any data.
std::optional<std::uint64_t> IdleSeconds(const platform::HubLink& link, std::uint64_t nowMs);

// -status's fields after a bridge's own, in this order: sent=, received=, idle= (seconds or -),
// and with port control settings= (as acknowledged, or asked:... until then) and server=.
std::vector<std::string> StatusFields(const platform::HubLink& link, std::uint64_t nowMs);

// One line on a running bridge's device end: "127.0.0.1:4001, RFC 2217 (ser2net), 57600 8N2
// RTS/CTS; sent 1.2 MB, received 340 KB; last data 3 s ago"; without a record of the hub's,
// "127.0.0.1:4001; No counts from this hub".
std::string DeviceEndText(const std::string& server, const std::optional<platform::HubLink>& link,
                          std::uint64_t nowMs);

// The same without the server: what the row's tip adds to its state.
std::string DeviceEndFacts(const platform::HubLink& link, std::uint64_t nowMs);

// The bridge as stored, while the bridges are stopped: "127.0.0.1:4001, RFC 2217, 9600 baud".
std::string StoredBridgeText(const std::string& server, bool portControl, int baud);

// The whole set: "3 of 4 bridges connected; sent 1.2 MB, received 340 KB", the counts only when
// the hub keeps a record, and "4 bridges, stopped" while they are stopped.
struct TDeviceTotals {
    int Bridges = 0, Connected = 0;
    bool Running = false;
    bool Counted = false;  // the hub keeps a record
    std::uint64_t Sent = 0, Received = 0;
};
std::string TotalsText(const TDeviceTotals& totals);

// The log's word when a server acknowledged new settings: the settings as SettingsText writes
// them, or nothing when nothing new was acknowledged since `before`.
std::optional<std::string> NewlyAcknowledged(const platform::HubLink& before, const platform::HubLink& now);
