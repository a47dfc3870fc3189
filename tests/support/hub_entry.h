#pragma once
// An entry of the hub's record as the tests write it: its link, and for a refusal what was refused.
#include "platform/hub_record.h"

#include <string>

inline platform::HubLink HubEntry(platform::HubLinkState state, std::uint16_t localPort, std::uint32_t server,
                                  std::uint16_t serverPort, std::string port,
                                  platform::HubRefusal refusal = platform::HubRefusal::None, std::uint8_t command = 0,
                                  std::uint32_t asked = 0, std::uint32_t kept = 0) {
    platform::HubLink link;
    link.State = state;
    link.LocalPort = localPort;
    link.ServerAddress = server;
    link.ServerPort = serverPort;
    link.Port = std::move(port);
    link.Refusal = refusal;
    link.Command = command;
    link.Asked = asked;
    link.Kept = kept;
    return link;
}
