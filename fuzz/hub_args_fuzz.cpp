// The manager's hub line against the stand-in hub's reading of it. For any table of bridges
// (a port chosen from the dialog's list, a baud rate from its list, an address it accepts, a
// server port from 1 to 65535, any integer delays), listed in any order, that the start's check
// accepts, the hub must accept the line the manager builds and understand each row as the bridge
// the manager meant. The check may refuse only a table edited by hand, here one with a negative
// RX delay or two bridges on one pair.
#include "config/bridge.h"
#include "config/number.h"
#include "fuzz_support.h"
#include "hub/hub_cmdline.h"
#include "tools/hub_args.h"

#include <algorithm>

namespace {

const std::int32_t BaudRates[] = {300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
const std::uint8_t Connects[] = {0, 1, 2, 3, 4, 255};  // the dialog's five entries, or none selected
const hub::Signal Signals[] = {hub::Signal::Dsr, hub::Signal::Cts, hub::Signal::Dcd, hub::Signal::Ring};

// An address of up to 20 bytes (the field's limit) that the dialog accepts: each byte kept
// when an address may hold it and else made a letter, and one letter first when it would not
// be accepted.
std::string Address(fuzz::Bytes& in) {
    std::string ip = in.Text(20);
    for (char& c : ip)
        if (!IsValidServerAddress(std::string("a") + c)) c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
    return IsValidServerAddress(ip) ? ip : "h" + ip;
}

void Fill(int slot, fuzz::Bytes& in) {
    TBridge& b = Bridges[slot];
    b.Index = in.Byte();
    b.COM = "COM" + Decimal(slot + in.Byte() % 2 * 10);  // distinct, as the dialog's ports are
    b.Baud = BaudRates[in.Byte() % std::size(BaudRates)];
    b.Emulate = in.Byte() & 1;
    b.Connect = Connects[in.Byte() % std::size(Connects)];
    b.IP = Address(in);
    b.Port = 1 + static_cast<std::int32_t>(in.Word() % 65535);
    b.Name = in.Text(20);
    b.Delay = in.Int();
    b.TXDelay = in.Int();
    b.RXDelay = in.Int();
}

std::string Expected(const TBridge& b) {
    hub::Bridge want;
    want.path = "\\\\.\\CNCA" + Decimal(b.Index);
    want.baud = b.Baud;
    want.ito = b.RXDelay;
    want.host = b.IP.str();
    want.port = b.Port;
    want.reconnect = 10000;
    want.dtrOnConnect = true;
    if (b.Connect < 4) {
        want.connect = Signals[b.Connect];
        want.delayDisconnect = b.Delay > 0 ? b.Delay : 0;
    }
    return hub::Describe(want);
}

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

    std::vector<std::string> rows;
    for (int n : slots) rows.push_back(Bridges[n].COM.str());
    const std::optional<std::string> fault = CheckHubRows(slots);
    fuzz::Require(!fault || byHand, "rows the dialog could store pass the start's check", fault.value_or(""));
    if (fault) return 0;

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
        const std::string want = Expected(Bridges[slots[i]]);
        fuzz::Require(hub::Describe(got) == want, "the hub serves the bridge the manager meant",
                      "row " + Decimal(static_cast<std::int64_t>(i)) + "\nhub:     " + fuzz::Shown(hub::Describe(got)) +
                          "\nmanager: " + fuzz::Shown(want) + "\nline: " + fuzz::Shown(line));
    }
    return 0;
}
