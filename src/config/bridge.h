#pragma once
// The bridge record and the program-wide table of bridge slots.
#include "config/short_text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

struct TBridge {
    bool flag = false;       // slot 0 only: in, edit (true) or new (false); out, OK (true) or cancelled
    std::uint8_t Index = 0;  // the pair number, equal to the slot number unless edited outside
    ShortText<10> COM;
    std::int32_t Baud = 0;
    bool Emulate = false;
    std::uint8_t Connect = 0;  // 0 DSR, 1 CTS, 2 DCD, 3 RI, ConnectAlways (4) and above always
    ShortText<254> IP;  // a host name runs to 253 characters; one more shows a longer one stored
    std::int32_t Port = 0;  // 0 in a free slot
    ShortText<21> Name;
    std::int32_t Delay = 0;
    std::int32_t TXDelay = 0;
    std::int32_t RXDelay = 0;
    bool Enabled = true;  // off: left out of the hub's command line, its port pair kept
    bool Rfc2217 = false;  // the server takes the port's settings by telnet (RFC 2217)
};
static_assert(std::is_trivially_copyable_v<TBridge>, "records are copied whole");

// The Connect that keeps the bridge connected whatever the signals, as every value above it does.
constexpr std::uint8_t ConnectAlways = 4;

constexpr int ScratchSlot = 0;
constexpr int FirstSlot = 1;
constexpr int LastSlot = 10;
constexpr int SlotCount = 11;
constexpr int NoSlot = -1;

// Slot 0 is the exchange record between the commands and the bridge dialog; 1 to 10 hold bridges.
extern TBridge Bridges[SlotCount];

// Stored bridges that could not be read whole. They belong to bridges the user still has, so
// they are never offered as free, and a start leaves them out with a word. A value that does not
// read (a Port that is no number of 1 or more, an empty COM) leaves the slot listed with what
// could be read, for the user to mend or delete it; a registry error holds the slot back: out of
// reach, and out of every save, for the rest of the run.
extern bool HeldBack[SlotCount];
extern bool Unreadable[SlotCount];
// Why: the registry's error for a held-back slot; for an unreadable one, the value's name
// ("Port") and its text as stored ("abc"), which the dialog shows for correction, or, for a
// value stored as no text, what it is stored as ("a number"), its text then empty.
extern std::string HeldBackReason[SlotCount];
extern std::string UnreadField[SlotCount];
extern std::string UnreadText[SlotCount];
extern std::string UnreadStoredAs[SlotCount];

// Whether the slot holds a bridge that could not be read whole.
bool IsUnread(int n);
// Why it could not, as the row's tip says it: "Port 'abc' cannot be read", "Baud is stored as a
// number, not as text", or the registry's error.
std::string UnreadReason(int n);
// As -status says it: "Bridge slot 2 cannot be read: Port '4710 2'".
std::string HeldBackText(int n);
// As a start says it: "Bridge slot 3 was left out: Port 'abc' cannot be read".
std::string LeftOutText(int n);
// Marks the slot unreadable for that value (COM, Port) as stored.
void MarkUnreadable(int n, const std::string& field, const std::string& stored);
// Marks the slot unreadable for a value stored as something other than text ("a number").
void MarkStoredAs(int n, const std::string& field, const std::string& storedAs);

// The number 1 to 10 of a slot of Bridges.
int SlotNumber(const TBridge& slot);

// The first slot from 1 to 10 whose COM text equals text exactly, or -1. The empty text finds nothing.
int FindBridge(std::string_view text);

// A cleared slot that holds no bridge, readable or not.
bool IsFreeSlot(int n);

// The lowest free slot, or 11 when none is.
int FirstFreeSlot();

// Clears slots 1 to 10 and forgets what could not be read; slot 0 keeps its content.
void ClearBridges();

// Copies a whole record; a slot copied into is readable from then on.
void CopySlot(int from, int to);
// Empties the slot, and forgets that it could not be read.
void ZeroSlot(int n);
