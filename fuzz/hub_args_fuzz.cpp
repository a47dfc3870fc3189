// The manager's hub line against the stand-in hub's reading of it. For any table of bridges
// (a port chosen from the dialog's list, a baud rate from its list, an address it accepts, a
// server port from 1 to 65535, any integer delays), listed in any order, that the start's check
// accepts, the hub must accept the line the manager builds and understand each row as the bridge
// the manager meant; a bridge switched off is left out. The check may refuse only a table edited by hand, here one with a negative
// RX delay or two bridges on one pair.
#include "config/bridge_fields.h"
#include "config/number.h"
#include "fuzz_support.h"
#include "support/hub_bridge.h"
#include "tools/hub_args.h"

#include <algorithm>
#include <type_traits>

namespace {

const std::int32_t BaudRates[] = {300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
const std::uint8_t Connects[] = {0, 1, 2, 3, 4, 255};  // the dialog's five entries, or none selected

// An address of up to 20 bytes (the field's limit) that the dialog accepts: each byte kept
// when an address may hold it and else made a letter, and one letter first when it would not
// be accepted.
std::string Address(fuzz::Bytes& in) {
    std::string ip = in.Text(20);
    for (char& c : ip)
        if (!IsValidServerAddress(std::string("a") + c)) c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
    return IsValidServerAddress(ip) ? ip : "h" + ip;
}

// Any value of the field's type.
void Any(TBridge& b, const TBridgeField& field, fuzz::Bytes& in) {
    std::visit(
        [&](auto member) {
            if constexpr (std::is_same_v<decltype(member), TTextMember>) {
                member.Set(b, in.Text(20));
            } else {
                auto& value = b.*member;
                using T = std::remove_reference_t<decltype(value)>;
                if constexpr (std::is_same_v<T, bool>) value = in.Byte() & 1;
                else if constexpr (std::is_same_v<T, std::uint8_t>) value = in.Byte();
                else value = in.Int();
            }
        },
        field.Member);
}

// Every field of the table: any value of its type, or for those the dialog limits, a value it
// takes.
void Fill(int slot, fuzz::Bytes& in) {
    TBridge& b = Bridges[slot];
    for (const TBridgeField& field : BridgeFields) {
        const std::string name = field.Name;
        if (name == "COM") b.COM = "COM" + Decimal(slot + in.Byte() % 2 * 10);  // distinct, as the dialog's ports are
        else if (name == "Baud") b.Baud = BaudRates[in.Byte() % std::size(BaudRates)];
        else if (name == "Connect") b.Connect = Connects[in.Byte() % std::size(Connects)];
        else if (name == "IP") b.IP = Address(in);
        else if (name == "Port") b.Port = 1 + static_cast<std::int32_t>(in.Word() % 65535);
        else Any(b, field, in);
    }
}

std::string Expected(const TBridge& b) { return hub::Describe(HubBridgeOf(b)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Bytes in(data, size);
    ClearBridges();
    // Which slots hold bridges, then the rows' order.
    std::vector<int> slots;
    const std::uint16_t used = static_cast<std::uint16_t>(in.Byte() << 8 | in.Byte());
    for (int n = FirstSlot; n <= LastSlot; ++n)
        if (used >> (n - 1) & 1) slots.push_back(n);
    if (slots.empty()) slots.push_back(FirstSlot);
    for (int n : slots) Fill(n, in);
    for (std::size_t i = slots.size(); i > 1; --i) std::swap(slots[i - 1], slots[in.Byte() % i]);
    // Unless the table was edited by hand, its RX delays are ones the dialog takes, and each
    // bridge has the pair of its slot.
    const bool byHand = in.Byte() & 1;
    for (int n : slots) {
        if (!byHand && Bridges[n].RXDelay < 0) Bridges[n].RXDelay = ~Bridges[n].RXDelay;
        if (!byHand) Bridges[n].Index = static_cast<std::uint8_t>(n);
    }

    const std::optional<std::string> fault = CheckHubRows(slots);
    fuzz::Require(!fault || byHand, "rows the dialog could store pass the start's check", fault.value_or(""));
    if (fault) return 0;
    // The bridges switched off are left out; with none on, the start builds no line but stops.
    const std::vector<int> on = SwitchedOn(slots);
    if (on.empty()) return 0;
    std::vector<std::string> rows;
    for (int n : on) rows.push_back(Bridges[n].COM.str());

    const std::string line = BuildHubArguments(slots);
    const hub::ParseResult parsed = hub::ParseArguments(fuzz::SplitCommandLine(line));
    fuzz::Require(parsed.model.has_value(), "the hub accepts the manager's line", fuzz::Shown(line) + "\n" + parsed.error);

    const std::vector<hub::Bridge> bridges = hub::Bridges(*parsed.model);
    fuzz::Require(bridges.size() == rows.size(), "one hub bridge per row", fuzz::Shown(line));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        hub::Bridge got = bridges[i];
        fuzz::Require(got.serialPort == static_cast<int>(2 * i) && got.tcpPort == static_cast<int>(2 * i + 1),
                      "row i is served by hub ports 2i and 2i+1", fuzz::Shown(line));
        got.serialPort = got.tcpPort = 0;
        const std::string want = Expected(Bridges[on[i]]);
        fuzz::Require(hub::Describe(got) == want, "the hub serves the bridge the manager meant",
                      "row " + Decimal(static_cast<std::int64_t>(i)) + "\nhub:     " + fuzz::Shown(hub::Describe(got)) +
                          "\nmanager: " + fuzz::Shown(want) + "\nline: " + fuzz::Shown(line));
    }
    return 0;
}
