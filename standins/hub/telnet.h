#pragma once
// The server side of a bridge with port control speaks telnet, and the hub is the client of the
// server's serial port (RFC 2217): it offers to control the port, sets it as its own serial port
// is set, and reads what the server says it set. Pure: bytes in, bytes out.
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace hub::telnet {

// Telnet's commands and the options the client agrees to.
enum : std::uint8_t { Se = 240, Sb = 250, Will = 251, Wont = 252, Do = 253, Dont = 254, Iac = 255 };
enum : std::uint8_t { Binary = 0, SuppressGoAhead = 3, ComPortOption = 44 };

// The values of the port-control commands.
enum class StopBits : std::uint8_t { One = 1, Two = 2, OneAndHalf = 3 };
enum class FlowControl : std::uint8_t { None = 1, XonXoff = 2, Hardware = 3 };

// How the server's port is to be set. The data size (8 bits) and the parity (none) never change:
// a bridge carries bytes.
struct LineSettings {
    std::uint32_t baud = 9600;
    StopBits stopBits = StopBits::One;
    FlowControl flow = FlowControl::None;

    bool operator==(const LineSettings& o) const {
        return baud == o.baud && stopBits == o.stopBits && flow == o.flow;
    }
    bool operator!=(const LineSettings& o) const { return !(*this == o); }
};

// Appends data as it goes to the server: every IAC doubled.
void Escape(std::string_view data, std::string& out);

// One connection's client. Its reading keeps its place between calls, so a sequence may arrive
// cut anywhere.
class Client {
public:
    // What opens a connection: the offer to control the port (WILL COM-PORT-OPTION), then the
    // port's settings. Forgets all of the connection before.
    std::string Start(const LineSettings& settings);

    // The commands that set the server's port, in the order baud rate, data size, parity, stop
    // size, flow control.
    std::string Set(const LineSettings& settings);

    // Reads what the server sent: its data, IACs undoubled, to data; the answers its requests
    // are owed to reply; for each acknowledgement of a value other than the one asked, a line
    // for the log to notes.
    void Read(std::string_view in, std::string& data, std::string& reply, std::vector<std::string>& notes);

private:
    enum class State { Data, Command, Option, Sub, SubCommand };
    static constexpr std::size_t MaxSub = 16;  // more than any subnegotiation the client reads
    static constexpr std::size_t MaxPending = 8;

    void Step(std::uint8_t b, std::string& data, std::string& reply, std::vector<std::string>& notes);
    void Negotiate(std::uint8_t option, std::string& reply);
    void Acknowledged(std::vector<std::string>& notes);

    State state_ = State::Data;
    std::uint8_t verb_ = 0;      // the WILL, WONT, DO or DONT being read
    std::string sub_;            // the subnegotiation being read, IACs undoubled
    bool subTooLong_ = false;
    std::array<bool, 256> local_{};   // options the client has agreed to use
    std::array<bool, 256> remote_{};  // ... that it has agreed the server uses
    // The values asked and not yet acknowledged, per command (1 to 5), oldest first; once none
    // is left, an acknowledgement is held against the last value asked.
    std::array<std::deque<std::uint32_t>, 6> pending_;
    std::array<std::uint32_t, 6> asked_{};
};

}  // namespace hub::telnet
