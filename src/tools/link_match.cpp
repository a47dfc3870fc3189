#include "tools/link_match.h"

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
                                   std::vector<std::uint16_t>* localPorts, const std::vector<std::uint16_t>* hubPorts) {
    std::vector<TLinkState> states(ends.size(), hubRunning ? TLinkState::Waiting : TLinkState::Stopped);
    if (localPorts) localPorts->assign(ends.size(), 0);
    if (!hubRunning) return states;
    auto isHubs = [&](const TTcpConnection& c) {
        if (c.OwnerPid != 0) return std::find(hubPids.begin(), hubPids.end(), c.OwnerPid) != hubPids.end();
        return !hubPorts || std::find(hubPorts->begin(), hubPorts->end(), c.LocalPort) != hubPorts->end();
    };
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const TLinkEnd& end = ends[i];
        if (!end.Address) continue;
        for (const TTcpConnection& c : connections) {
            if (c.Established && c.RemoteAddress == *end.Address && c.RemotePort == end.Port && isHubs(c)) {
                states[i] = TLinkState::Connected;
                if (localPorts) (*localPorts)[i] = c.LocalPort;
                break;
            }
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
    case TLinkState::Stopped: break;
    }
    return "Bridges are stopped";
}

std::string NameNotFoundTip(std::string_view host) { return "Name not found: " + std::string(host); }

const char* LinkWord(TLinkState state) {
    switch (state) {
    case TLinkState::Connected: return "connected";
    case TLinkState::Waiting: return "waiting";
    case TLinkState::NotAnswering: return "not answering";
    case TLinkState::Off: return "off";
    case TLinkState::Stopped: break;
    }
    return "stopped";
}
