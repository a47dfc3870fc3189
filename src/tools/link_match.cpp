#include "tools/link_match.h"

#include "platform/ascii.h"

#include <algorithm>

std::optional<std::uint32_t> ParseIPv4(std::string_view text) {
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.') return std::nullopt;
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9')
            value = value * 10 + static_cast<unsigned>(text[digits++] - '0');
        if (digits == 0 || digits > 3 || value > 255) return std::nullopt;
        text.remove_prefix(digits);
        address = (address << 8) | value;
    }
    if (!text.empty()) return std::nullopt;
    return address;
}

bool OwnersReported(const std::vector<TTcpConnection>& connections) {
    return std::any_of(connections.begin(), connections.end(), [](const TTcpConnection& c) { return c.OwnerPid != 0; });
}

std::vector<TLinkState> MatchLinks(const std::vector<TLinkEnd>& ends, const std::vector<TTcpConnection>& connections,
                                   const std::vector<std::uint32_t>& hubPids, bool hubRunning,
                                   std::vector<std::uint16_t>* localPorts, const std::vector<platform::HubLink>* hubLinks,
                                   std::vector<platform::HubLink>* entries) {
    using platform::HubLinkState;
    std::vector<TLinkState> states(ends.size(), hubRunning ? TLinkState::Waiting : TLinkState::Stopped);
    if (localPorts) localPorts->assign(ends.size(), 0);
    if (entries) entries->assign(ends.size(), {});
    if (!hubRunning) return states;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const TLinkEnd& end = ends[i];
        const platform::HubLink* entry = nullptr;
        if (hubLinks)
            for (const platform::HubLink& link : *hubLinks)
                if (!end.HubPort.empty() && platform::EqualsIgnoringAsciiCase(link.Port, end.HubPort)) entry = &link;
        if (entry && entries) (*entries)[i] = *entry;
        // A connection whose owner is not named is the hub's when its entry holds it.
        const auto isHubs = [&](const TTcpConnection& c) {
            if (c.OwnerPid != 0) return std::find(hubPids.begin(), hubPids.end(), c.OwnerPid) != hubPids.end();
            return !hubLinks || (entry && entry->Linked() && entry->LocalPort == c.LocalPort &&
                                 entry->ServerAddress == c.RemoteAddress && entry->ServerPort == c.RemotePort);
        };
        if (!end.Address) continue;
        for (const TTcpConnection& c : connections) {
            if (c.Established && c.RemoteAddress == *end.Address && c.RemotePort == end.Port && isHubs(c)) {
                states[i] = TLinkState::Connected;
                if (localPorts) (*localPorts)[i] = c.LocalPort;
                break;
            }
        }
        if (!entry) continue;
        if (entry->State == HubLinkState::PortLost) {
            states[i] = TLinkState::Waiting;
            if (localPorts) (*localPorts)[i] = 0;
        } else if (states[i] == TLinkState::Connected && entry->State == HubLinkState::Refused) {
            states[i] = TLinkState::Refused;
        } else if (states[i] == TLinkState::Connected &&
                   (entry->State == HubLinkState::SpeaksTelnet || entry->State == HubLinkState::NoTelnet)) {
            states[i] = TLinkState::Mismatched;
        }
    }
    return states;
}

std::string LinkTip(TLinkState state, std::string_view host, int port, std::string_view since, bool portControl) {
    const std::string server = std::string(host) + ":" + std::to_string(port);
    const std::string control = portControl ? ", port control on" : "";
    switch (state) {
    case TLinkState::Connected: return "Connected to " + server + control;
    case TLinkState::Waiting: return "Waiting for " + server + control;
    case TLinkState::NotAnswering: return server + " is not answering (since " + std::string(since) + ")" + control;
    case TLinkState::Off: return "Switched off";
    case TLinkState::Refused:
    case TLinkState::Mismatched: return "Connected to " + server + control;  // the hub's entry tells more
    case TLinkState::Stopped: break;
    }
    return "Bridges are stopped";
}

std::string NameNotFoundTip(std::string_view host) { return "Name not found: " + std::string(host); }

namespace {

// A setting of RFC 2217's SET commands (1 baud rate, 2 data size, 3 parity, 4 stop size, 5 control) in words.
std::string SettingValue(std::uint8_t command, std::uint32_t value) {
    static const char* const parities[] = {"none", "odd", "even", "mark", "space"};
    static const char* const flows[] = {"no", "XON/XOFF", "hardware"};
    switch (command) {
    case 3: return value >= 1 && value <= 5 ? parities[value - 1] : std::to_string(value);
    case 4: return value == 3 ? "1.5" : std::to_string(value);
    case 5: return value >= 1 && value <= 3 ? flows[value - 1] : std::to_string(value);
    default: return std::to_string(value);
    }
}

std::string SettingName(std::uint8_t command) {
    static const char* const names[] = {"the port's settings", "the baud rate", "the data bits", "the parity",
                                        "the stop bits", "flow control"};
    return names[command <= 5 ? command : 0];
}

// "9600 baud", "7 data bits", "even parity", "1 stop bit", "hardware flow control".
std::string Setting(std::uint8_t command, std::uint32_t value) {
    const std::string text = SettingValue(command, value);
    switch (command) {
    case 1: return text + " baud";
    case 2: return text + " data bits";
    case 3: return text + " parity";
    case 4: return text + (value == 1 ? " stop bit" : " stop bits");
    case 5: return text + " flow control";
    default: return "setting " + text;
    }
}

}  // namespace

std::string AnswerText(const platform::HubLink& entry) {
    using platform::HubLinkState;
    using platform::HubRefusal;
    if (entry.State == HubLinkState::SpeaksTelnet) return "speaks RFC 2217: turn Port control on";
    if (entry.State == HubLinkState::NoTelnet) return "does not speak RFC 2217: turn Port control off";
    if (entry.State != HubLinkState::Refused) return {};
    switch (entry.Refusal) {
    case HubRefusal::Kept:
        return "kept " + Setting(entry.Command, entry.Kept) + " (asked " + SettingValue(entry.Command, entry.Asked) + ")";
    case HubRefusal::NotAcknowledged: return "did not acknowledge " + SettingName(entry.Command);
    case HubRefusal::NoPortControl:
    case HubRefusal::None: break;
    }
    return "does not take port control";
}

std::string EntryTip(TLinkState state, const platform::HubLink& entry, std::string_view server, std::string_view com) {
    if (state == TLinkState::Waiting && entry.State == platform::HubLinkState::PortLost)
        return "Waiting for " + std::string(com) + "'s port";
    if (state == TLinkState::Refused || state == TLinkState::Mismatched) return std::string(server) + " " + AnswerText(entry);
    return {};
}

const char* LinkWord(TLinkState state) {
    switch (state) {
    case TLinkState::Connected: return "connected";
    case TLinkState::Waiting: return "waiting";
    case TLinkState::NotAnswering: return "not answering";
    case TLinkState::Off: return "off";
    case TLinkState::Refused: return "port control refused";
    case TLinkState::Mismatched: return "mismatched";
    case TLinkState::Stopped: break;
    }
    return "stopped";
}
