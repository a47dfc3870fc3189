#include "tools/hub_args.h"

#include "config/bridge.h"
#include "config/number.h"

#include <stdexcept>

namespace {

const char* ConnectWord(std::uint8_t connect) {
    static const char* const words[] = {"dsr", "cts", "dcd", "ring"};
    return words[connect];
}

std::string RowFault(const std::string& caption, const std::string& fault) { return "Bridge '" + caption + "' " + fault; }

}  // namespace

std::optional<std::string> CheckHubRows(const std::vector<int>& slots) {
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const int slot = slots[i];
        if (slot < FirstSlot || slot > LastSlot || IsFreeSlot(slot)) return "Bridge slot " + Decimal(slot) + " is not defined";
        if (IsUnread(slot)) return HeldBackText(slot);
        const TBridge& bridge = Bridges[slot];
        const std::string caption = bridge.COM.str();
        if (const TBridgeField* invalid = InvalidField(bridge))
            return RowFault(caption, std::string("has an invalid ") + invalid->What);
        for (std::size_t j = 0; j < i; ++j) {
            // Two filters of one name, or one pair opened twice: the hub would not run.
            const TBridge& earlier = Bridges[slots[j]];
            if (earlier.COM == bridge.COM.view() || slots[j] == slot) return RowFault(caption, "is defined twice");
            if (earlier.Index == bridge.Index)
                return "Bridges '" + earlier.COM.str() + "' and '" + caption + "' use the same port pair";
        }
    }
    return std::nullopt;
}

std::vector<int> Readable(const std::vector<int>& slots) {
    std::vector<int> readable;
    for (int slot : slots)
        if (slot < FirstSlot || slot > LastSlot || !IsUnread(slot)) readable.push_back(slot);
    return readable;
}

std::vector<int> LeftOut() {
    std::vector<int> left;
    for (int n = FirstSlot; n <= LastSlot; ++n)
        if (IsUnread(n)) left.push_back(n);
    return left;
}

std::vector<int> SwitchedOn(const std::vector<int>& slots) {
    std::vector<int> on;
    for (int slot : slots)
        if (slot < FirstSlot || slot > LastSlot || Bridges[slot].Enabled) on.push_back(slot);
    return on;
}

bool AllSwitchedOff(const std::vector<int>& listed) {
    const std::vector<int> slots = Readable(listed);
    return !slots.empty() && SwitchedOn(slots).empty();
}

std::string HubPortName(int index) { return "\\\\.\\CNCA" + Decimal(index); }

std::string BuildHubArguments(const std::vector<int>& listed) {
    const std::vector<int> slots = SwitchedOn(listed);
    if (std::optional<std::string> fault = CheckHubRows(slots)) throw std::invalid_argument(*fault);

    std::string args = " --reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect --add-filters=";
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (i > 0) args += ',';
        args += Decimal(2 * static_cast<std::int64_t>(i));
    }
    args += ":pinmap";

    for (std::size_t i = 0; i < slots.size(); ++i) {
        const int slot = slots[i];
        const TBridge& b = Bridges[slot];
        const std::string serialPort = Decimal(2 * static_cast<std::int64_t>(i));
        const std::string tcpPort = Decimal(2 * static_cast<std::int64_t>(i) + 1);

        if (b.Connect < ConnectAlways) {
            // One filter per bridge, named after its slot; its options stand inside the quotes.
            args += " --create-filter=pin2con,pc" + Decimal(slot) + ":\"--connect=" + ConnectWord(b.Connect);
            if (b.Delay > 0) args += " --delay-disconnect=" + Decimal(b.Delay);
            args += "\" --add-filters=" + serialPort + ":pc" + Decimal(slot);
        }
        if (b.Rfc2217) {
            // The serial side's filters are named after the slot with "com", the server side's with
            // "tcp"; the telnet filter makes the hub a client of the server's port control.
            const std::string com = "com" + Decimal(slot);
            const std::string tcp = "tcp" + Decimal(slot);
            args += " --create-filter=escparse," + com + ",parse";
            args += " --create-filter=linectl," + com + ",lc:\"--br=local --lc=local\"";
            args += " --add-filters=" + serialPort + ":" + com;
            args += " --create-filter=telnet," + tcp + ",telnet:\"--comport=client\"";
            args += " --create-filter=pinmap," + tcp + ",pinmap:\"--rts=cts --dtr=dsr --break=break\"";
            args += " --create-filter=linectl," + tcp + ",lc:\"--br=remote --lc=remote\"";
            args += " --add-filters=" + tcpPort + ":" + tcp;
        }
        args += " --bi-route=" + serialPort + ":" + tcpPort;
        args += " --use-driver=serial --ito=" + Decimal(b.RXDelay);
        args += " --baud=" + Decimal(b.Baud);
        args += " " + HubPortName(b.Index);
        args += " --use-driver=tcp " + b.IP.str() + ":" + Decimal(b.Port);
    }
    return args;
}
