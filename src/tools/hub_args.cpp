#include "tools/hub_args.h"

#include "config/bridge.h"
#include "config/number.h"

#include <stdexcept>

namespace {

constexpr std::uint8_t ConnectAlways = 4;

const char* ConnectWord(std::uint8_t connect) {
    static const char* const words[] = {"dsr", "cts", "dcd", "ring"};
    return words[connect];
}

std::string RowFault(const std::string& caption, const std::string& fault) { return "Bridge '" + caption + "' " + fault; }

}  // namespace

std::optional<std::string> CheckHubRows(const std::vector<std::string>& captions) {
    for (std::size_t i = 0; i < captions.size(); ++i) {
        const std::string& caption = captions[i];
        const int slot = FindBridge(caption);
        if (slot == NoSlot) return RowFault(caption, "is not defined");
        if (const TBridgeField* invalid = InvalidField(Bridges[slot]))
            return RowFault(caption, std::string("has an invalid ") + invalid->What);
        for (std::size_t j = 0; j < i; ++j) {
            // Two filters of one name, or one pair opened twice: the hub would not run.
            if (captions[j] == caption) return RowFault(caption, "is defined twice");
            if (Bridges[FindBridge(captions[j])].Index == Bridges[slot].Index)
                return "Bridges '" + captions[j] + "' and '" + caption + "' use the same port pair";
        }
    }
    return std::nullopt;
}

std::string BuildHubArguments(const std::vector<std::string>& captions) {
    if (std::optional<std::string> fault = CheckHubRows(captions)) throw std::invalid_argument(*fault);

    std::string args = " --reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect --add-filters=";
    for (std::size_t i = 0; i < captions.size(); ++i) {
        if (i > 0) args += ',';
        args += Decimal(2 * static_cast<std::int64_t>(i));
    }
    args += ":pinmap";

    for (std::size_t i = 0; i < captions.size(); ++i) {
        const int slot = FindBridge(captions[i]);
        const TBridge& b = Bridges[slot];
        const std::string serialPort = Decimal(2 * static_cast<std::int64_t>(i));
        const std::string tcpPort = Decimal(2 * static_cast<std::int64_t>(i) + 1);

        if (b.Connect < ConnectAlways) {
            // One filter per bridge, named after its slot; its options stand inside the quotes.
            args += " --create-filter=pin2con,pc" + Decimal(slot) + ":\"--connect=" + ConnectWord(b.Connect);
            if (b.Delay > 0) args += " --delay-disconnect=" + Decimal(b.Delay);
            args += "\" --add-filters=" + serialPort + ":pc" + Decimal(slot);
        }
        args += " --bi-route=" + serialPort + ":" + tcpPort;
        args += " --use-driver=serial --ito=" + Decimal(b.RXDelay);
        args += " --baud=" + Decimal(b.Baud);
        args += " \\\\.\\CNCA" + Decimal(b.Index);
        args += " --use-driver=tcp " + b.IP.str() + ":" + Decimal(b.Port);
    }
    return args;
}
