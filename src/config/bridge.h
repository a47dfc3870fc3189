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
    std::uint8_t Connect = 0;  // 0 DSR, 1 CTS, 2 DCD, 3 RI, 4 and above always
    ShortText<254> IP;  // a host name runs to 253 characters; one more shows a longer one stored
    std::int32_t Port = 0;  // 0 in a free slot
    ShortText<21> Name;
    std::int32_t Delay = 0;
    std::int32_t TXDelay = 0;
    std::int32_t RXDelay = 0;
    bool Enabled = true;  // off: left out of the hub's command line, its port pair kept
};
static_assert(std::is_trivially_copyable_v<TBridge>, "records are copied whole");

constexpr int ScratchSlot = 0;
constexpr int FirstSlot = 1;
constexpr int LastSlot = 10;
constexpr int SlotCount = 11;
constexpr int NoSlot = -1;

// Slot 0 is the exchange record between the commands and the bridge dialog; 1 to 10 hold bridges.
extern TBridge Bridges[SlotCount];

// Slots a failed load could not read: they belong to bridges the user still has, so they are
// neither offered as free nor written or dropped by a save for the rest of the run.
extern bool HeldBack[SlotCount];
// Why: what could not be read ("Port '4710 2'", or the registry's error).
extern std::string HeldBackReason[SlotCount];
// What a held-back slot means to the user: "Bridge slot 2 cannot be read: Port '4710 2'".
std::string HeldBackText(int n);

// The number 1 to 10 of a slot of Bridges.
int SlotNumber(const TBridge& slot);

// The first slot from 1 to 10 whose COM text equals text exactly, or -1. The empty text finds nothing.
int FindBridge(std::string_view text);

// A cleared slot that no failed load holds back.
bool IsFreeSlot(int n);

// The lowest free slot, or 11 when none is.
int FirstFreeSlot();

// Clears slots 1 to 10 and releases every held-back slot; slot 0 keeps its content.
void ClearBridges();

void CopySlot(int from, int to);
void ZeroSlot(int n);

// The texts a bridge shows in the main window's list, in column order.
struct TBridgeRow {
    std::string Caption;  // the COM text
    std::string IP;
    std::string Port;
    std::string Name;
};
TBridgeRow RowOf(const TBridge& bridge);
