#include "tools/device_end.h"

#include <cstdio>

namespace {

const char* const NoCounts = "No counts from this hub";

std::string StopBitsText(std::uint8_t stopBits) { return stopBits == 3 ? "1.5" : std::to_string(stopBits); }

}  // namespace

std::string ShortBytes(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < sizeof units / sizeof *units) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 9.95 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

std::string SettingsText(const platform::HubSettings& s) {
    std::string text = std::to_string(s.Baud) + ' ' + std::to_string(s.DataBits) + s.Parity + StopBitsText(s.StopBits);
    if (s.Flow == 1) text += " RTS/CTS";
    if (s.Flow == 2) text += " XON/XOFF";
    return text;
}

std::string SettingsField(const platform::HubSettings& s) {
    return std::to_string(s.Baud) + ',' + std::to_string(s.DataBits) + ',' + s.Parity + ',' + StopBitsText(s.StopBits) +
           ',' + (s.Flow == 1 ? "rtscts" : s.Flow == 2 ? "xonxoff" : "none");
}

std::optional<std::uint64_t> IdleSeconds(const platform::HubLink& link, std::uint64_t nowMs) {
    const std::uint64_t last = link.LastSentMs > link.LastReceivedMs ? link.LastSentMs : link.LastReceivedMs;
    if (last == 0) return std::nullopt;
    return nowMs > last ? (nowMs - last) / 1000 : 0;
}

std::vector<std::string> StatusFields(const platform::HubLink& link, std::uint64_t nowMs) {
    const std::optional<std::uint64_t> idle = IdleSeconds(link, nowMs);
    std::vector<std::string> fields{"sent=" + std::to_string(link.Sent), "received=" + std::to_string(link.Received),
                                    "idle=" + (idle ? std::to_string(*idle) : std::string("-"))};
    if (link.PortControl) {
        fields.push_back("settings=" + (link.Acknowledged ? SettingsField(link.AckedSettings)
                                                          : "asked:" + SettingsField(link.AskedSettings)));
        fields.push_back("server=" + link.Signature);
    }
    return fields;
}

std::string DeviceEndText(const std::string& server, const std::optional<platform::HubLink>& link,
                          std::uint64_t nowMs) {
    if (!link) return server + "; " + NoCounts;
    return server + ", " + DeviceEndFacts(*link, nowMs);
}

std::string DeviceEndFacts(const platform::HubLink& entry, std::uint64_t nowMs) {
    const platform::HubLink* link = &entry;
    std::string text;
    if (link->PortControl) {
        text += "RFC 2217";
        if (!link->Signature.empty()) text += " (" + link->Signature + ")";
        text += ", " + (link->Acknowledged ? SettingsText(link->AckedSettings)
                                           : "asked " + SettingsText(link->AskedSettings));
    } else {
        text += "raw TCP";
    }
    text += "; sent " + ShortBytes(link->Sent) + ", received " + ShortBytes(link->Received) + "; ";
    const std::optional<std::uint64_t> idle = IdleSeconds(*link, nowMs);
    return text + (idle ? "last data " + std::to_string(*idle) + " s ago" : "no data yet");
}

std::string StoredBridgeText(const std::string& server, bool portControl, int baud) {
    return server + (portControl ? ", RFC 2217, " : ", raw TCP, ") + std::to_string(baud) + " baud";
}

std::string TotalsText(const TDeviceTotals& t) {
    const std::string bridges = std::to_string(t.Bridges) + (t.Bridges == 1 ? " bridge" : " bridges");
    if (!t.Running) return bridges + ", stopped";
    std::string text = std::to_string(t.Connected) + " of " + bridges + " connected; ";
    return text + (t.Counted ? "sent " + ShortBytes(t.Sent) + ", received " + ShortBytes(t.Received) : NoCounts);
}

std::optional<std::string> NewlyAcknowledged(const platform::HubLink& before, const platform::HubLink& now) {
    if (!now.PortControl || !now.Acknowledged) return std::nullopt;
    if (before.Acknowledged && before.AckedSettings == now.AckedSettings) return std::nullopt;
    return SettingsText(now.AckedSettings);
}
