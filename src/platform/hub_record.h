#pragma once
// The layout of the hub's record of its bridges (see hub_links.h for where it lives): a header
// that names the hub, then one entry per bridge on the hub's line, in line order. Each entry is
// written whole by its bridge under a sequence number and read whole by anyone: a reader never
// sees half of one write. Pure: no system calls, so the coding tests and fuzzes on its own.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The layout's version: a record of another version is not read.
constexpr std::uint32_t HubRecordVersion = 3;
constexpr std::uint32_t HubRecordMax = 64;  // bridges a record holds
constexpr std::size_t HubPortNameMax = 31;  // the hub's port as its line names it ("\\.\CNCA3")
constexpr std::size_t HubSignatureMax = 40;  // of a port-control server's signature, printable ASCII

// Where a bridge's link stands, as its hub knows it.
enum class HubLinkState : std::uint32_t {
    Idle = 0,        // not connected
    Connected = 1,   // connected, and its port and the server's answers are as they should be
    PortLost = 2,    // the hub's end of the pair stopped working; the hub opens it again
    Refused = 3,     // port control: the server did not take or acknowledge the port's settings
    SpeaksTelnet = 4,  // raw bridge: the server opened with telnet negotiation
    NoTelnet = 5,      // port-control bridge: the server sent no telnet while the data flowed
};

// What a port-control server refused (with HubLinkState::Refused).
enum class HubRefusal : std::uint32_t {
    None = 0,
    NoPortControl = 1,  // it does not take option 44 (refused it, or never answered the offer)
    NotAcknowledged = 2,  // a setting was not acknowledged in time (Command names it)
    Kept = 3,           // it acknowledged another value than asked (Command, Asked, Kept)
};

// A serial line's settings as port control asks for them and a server acknowledges them.
struct HubSettings {
    std::uint32_t Baud = 0;  // 0: not known
    std::uint8_t DataBits = 8;
    char Parity = 'N';       // N, O, E, M or S
    std::uint8_t StopBits = 1;  // 1, 2, or 3 for one and a half
    std::uint8_t Flow = 0;   // 0 none, 1 RTS/CTS, 2 XON/XOFF

    bool operator==(const HubSettings& o) const {
        return Baud == o.Baud && DataBits == o.DataBits && Parity == o.Parity && StopBits == o.StopBits &&
               Flow == o.Flow;
    }
    bool operator!=(const HubSettings& o) const { return !(*this == o); }
};

// The modem lines a server reports (its NOTIFY-MODEMSTATE), as bits.
constexpr std::uint8_t HubModemCts = 1, HubModemDsr = 2, HubModemRi = 4, HubModemCd = 8;

// A server's signature as the program shows and keeps it: its first HubSignatureMax characters,
// each one that is not printable ASCII as a '?', so that a server writes no control into a line.
inline std::string PrintableSignature(std::string_view text) {
    std::string out(text.substr(0, HubSignatureMax));
    for (char& c : out)
        if (c < 0x20 || c >= 0x7F) c = '?';
    return out;
}

// One bridge's link: what a reader gets, and what the hub writes.
struct HubLink {
    HubLinkState State = HubLinkState::Idle;
    std::uint16_t LocalPort = 0;      // of the connection, while there is one
    std::uint32_t ServerAddress = 0;  // IPv4 of the connection's server, first number highest
    std::uint16_t ServerPort = 0;
    std::string Port;                 // the hub's port, as its line names it
    HubRefusal Refusal = HubRefusal::None;
    std::uint8_t Command = 0;         // the port-control command refused: 1 baud rate ... 5 flow control
    std::uint32_t Asked = 0, Kept = 0;
    // The device end. The counts are the serial data's (an escaped 0xFF counts once) and the
    // times of the last data each way are the system's tick count in ms (0: none yet). They are
    // counted apart from the rest (HubCount), which WriteEntry leaves alone.
    std::uint64_t Sent = 0, Received = 0;
    std::uint64_t LastSentMs = 0, LastReceivedMs = 0;
    bool PortControl = false;
    HubSettings AskedSettings, AckedSettings;  // port control: asked, and as the server acknowledged
    bool Acknowledged = false;                 // ... the server acknowledged all it was asked
    std::string Signature;                     // ... the server's, as PrintableSignature keeps it
    bool ModemReported = false;                // ... the server reported its modem lines
    std::uint8_t Modem = 0;                    // ... as HubModem bits

    bool Linked() const { return State != HubLinkState::Idle && State != HubLinkState::PortLost && LocalPort != 0; }
};

// The entry in shared memory. Only the writer changes Sequence: odd while it writes.
struct HubRecordEntry {
    std::atomic<std::uint32_t> Sequence;
    std::atomic<std::uint32_t> State;
    std::atomic<std::uint32_t> LocalPort;
    std::atomic<std::uint32_t> ServerAddress;
    std::atomic<std::uint32_t> ServerPort;
    std::atomic<std::uint32_t> Refusal;
    std::atomic<std::uint32_t> Command;
    std::atomic<std::uint32_t> Asked;
    std::atomic<std::uint32_t> Kept;
    std::atomic<std::uint32_t> Flags;  // HubEntry* bits
    std::atomic<std::uint32_t> Asked1, Asked2, Acked1, Acked2;  // HubSettings, packed
    char Port[HubPortNameMax + 1];
    char Signature[HubSignatureMax + 1];  // written under the sequence
    // Counted outside the sequence: each is one atomic word, never seen torn.
    std::atomic<std::uint64_t> Sent, Received, LastSentMs, LastReceivedMs;
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "the record is shared between processes");
static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "the counts are shared between processes");

constexpr std::uint32_t HubEntryPortControl = 1, HubEntryAcknowledged = 2, HubEntryModemReported = 4;

inline void PackSettings(const HubSettings& s, std::atomic<std::uint32_t>& first, std::atomic<std::uint32_t>& second) {
    first.store(s.Baud, std::memory_order_relaxed);
    second.store(static_cast<std::uint32_t>(s.DataBits) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(s.Parity)) << 8 |
                     static_cast<std::uint32_t>(s.StopBits) << 16 | static_cast<std::uint32_t>(s.Flow) << 24,
                 std::memory_order_relaxed);
}
inline HubSettings UnpackSettings(const std::atomic<std::uint32_t>& first, const std::atomic<std::uint32_t>& second) {
    HubSettings s;
    s.Baud = first.load(std::memory_order_relaxed);
    const std::uint32_t v = second.load(std::memory_order_relaxed);
    s.DataBits = static_cast<std::uint8_t>(v);
    s.Parity = static_cast<char>(v >> 8 & 0xFF);
    s.StopBits = static_cast<std::uint8_t>(v >> 16 & 0xFF);
    s.Flow = static_cast<std::uint8_t>(v >> 24);
    return s;
}

// Counts data that crossed: one add per direction, and the time of it. Any thread of the bridge.
inline void HubCount(HubRecordEntry& e, std::uint64_t sent, std::uint64_t received, std::uint64_t nowMs) {
    if (sent) {
        e.Sent.fetch_add(sent, std::memory_order_relaxed);
        e.LastSentMs.store(nowMs, std::memory_order_relaxed);
    }
    if (received) {
        e.Received.fetch_add(received, std::memory_order_relaxed);
        e.LastReceivedMs.store(nowMs, std::memory_order_relaxed);
    }
}

struct HubRecord {
    std::atomic<std::uint32_t> Version;  // written last, once the header is whole
    std::uint32_t HubPid;
    std::uint64_t HubStart;  // the hub process's creation time, as the system gives it
    std::uint32_t Count;     // entries in use
    HubRecordEntry Entries[HubRecordMax];
};

// The hub's side. The record is new (zeroed) memory: names the hub, then its bridges' ports.
inline void OpenRecord(HubRecord& r, std::uint32_t pid, std::uint64_t start, const std::vector<std::string>& ports) {
    r.HubPid = pid;
    r.HubStart = start;
    r.Count = static_cast<std::uint32_t>(ports.size() < HubRecordMax ? ports.size() : HubRecordMax);
    for (std::uint32_t i = 0; i < r.Count; ++i) {
        const std::size_t n = ports[i].size() < HubPortNameMax ? ports[i].size() : HubPortNameMax;
        std::memcpy(r.Entries[i].Port, ports[i].data(), n);
        r.Entries[i].Port[n] = '\0';
    }
    r.Version.store(HubRecordVersion, std::memory_order_release);
}

// Writes one entry whole; one writer at a time per entry (the caller's lock).
inline void WriteEntry(HubRecordEntry& e, const HubLink& link) {
    const std::uint32_t s = e.Sequence.load(std::memory_order_relaxed);
    e.Sequence.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    e.State.store(static_cast<std::uint32_t>(link.State), std::memory_order_relaxed);
    e.LocalPort.store(link.LocalPort, std::memory_order_relaxed);
    e.ServerAddress.store(link.ServerAddress, std::memory_order_relaxed);
    e.ServerPort.store(link.ServerPort, std::memory_order_relaxed);
    e.Refusal.store(static_cast<std::uint32_t>(link.Refusal), std::memory_order_relaxed);
    e.Command.store(link.Command, std::memory_order_relaxed);
    e.Asked.store(link.Asked, std::memory_order_relaxed);
    e.Kept.store(link.Kept, std::memory_order_relaxed);
    e.Flags.store((link.PortControl ? HubEntryPortControl : 0) | (link.Acknowledged ? HubEntryAcknowledged : 0) |
                      (link.ModemReported ? HubEntryModemReported : 0) | static_cast<std::uint32_t>(link.Modem) << 8,
                  std::memory_order_relaxed);
    PackSettings(link.AskedSettings, e.Asked1, e.Asked2);
    PackSettings(link.AckedSettings, e.Acked1, e.Acked2);
    const std::string signature = PrintableSignature(link.Signature);
    std::memcpy(e.Signature, signature.c_str(), signature.size() + 1);
    e.Sequence.store(s + 2, std::memory_order_release);
}

// Reads one entry whole; nothing when a writer kept it busy through every try.
inline std::optional<HubLink> ReadEntry(const HubRecordEntry& e) {
    for (int tries = 0; tries < 1000; ++tries) {
        const std::uint32_t before = e.Sequence.load(std::memory_order_acquire);
        if (before & 1) continue;
        HubLink link;
        link.State = static_cast<HubLinkState>(e.State.load(std::memory_order_relaxed));
        link.LocalPort = static_cast<std::uint16_t>(e.LocalPort.load(std::memory_order_relaxed));
        link.ServerAddress = e.ServerAddress.load(std::memory_order_relaxed);
        link.ServerPort = static_cast<std::uint16_t>(e.ServerPort.load(std::memory_order_relaxed));
        link.Refusal = static_cast<HubRefusal>(e.Refusal.load(std::memory_order_relaxed));
        link.Command = static_cast<std::uint8_t>(e.Command.load(std::memory_order_relaxed));
        link.Asked = e.Asked.load(std::memory_order_relaxed);
        link.Kept = e.Kept.load(std::memory_order_relaxed);
        const std::uint32_t flags = e.Flags.load(std::memory_order_relaxed);
        link.PortControl = flags & HubEntryPortControl;
        link.Acknowledged = flags & HubEntryAcknowledged;
        link.ModemReported = flags & HubEntryModemReported;
        link.Modem = static_cast<std::uint8_t>(flags >> 8);
        link.AskedSettings = UnpackSettings(e.Asked1, e.Asked2);
        link.AckedSettings = UnpackSettings(e.Acked1, e.Acked2);
        char signature[sizeof e.Signature];
        std::memcpy(signature, e.Signature, sizeof signature);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (e.Sequence.load(std::memory_order_relaxed) != before) continue;
        link.Port.assign(e.Port, std::find(e.Port, e.Port + sizeof e.Port, '\0'));
        link.Signature = PrintableSignature(std::string_view(signature, static_cast<std::size_t>(
                             std::find(signature, signature + sizeof signature, '\0') - signature)));
        link.Sent = e.Sent.load(std::memory_order_relaxed);
        link.Received = e.Received.load(std::memory_order_relaxed);
        link.LastSentMs = e.LastSentMs.load(std::memory_order_relaxed);
        link.LastReceivedMs = e.LastReceivedMs.load(std::memory_order_relaxed);
        return link;
    }
    return std::nullopt;
}

// Why a record was not read.
enum class HubRecordProblem { None, Missing, OtherVersion, OtherHub };

// The reader's side: the links of the hub with that process id and start time, in line order;
// nothing, with why, when the record is of another version or names another hub.
inline std::optional<std::vector<HubLink>> ReadRecord(const HubRecord& r, std::uint32_t pid, std::uint64_t start,
                                                     HubRecordProblem& problem) {
    if (r.Version.load(std::memory_order_acquire) != HubRecordVersion) {
        problem = HubRecordProblem::OtherVersion;
        return std::nullopt;
    }
    if (r.HubPid != pid || r.HubStart != start || r.Count > HubRecordMax) {
        problem = HubRecordProblem::OtherHub;
        return std::nullopt;
    }
    problem = HubRecordProblem::None;
    std::vector<HubLink> links;
    for (std::uint32_t i = 0; i < r.Count; ++i) {
        std::optional<HubLink> link = ReadEntry(r.Entries[i]);
        links.push_back(link ? *link : HubLink{});
    }
    return links;
}

}  // namespace platform
