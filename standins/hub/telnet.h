#pragma once
// The server side of a bridge with port control speaks telnet, and the hub is the client of the
// server's serial port (RFC 2217): it offers to control the port, sets it as its own serial port
// is set, and reads what the server says it set. Pure: bytes in, bytes out.
#include "platform/hub_record.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
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

// Whether a server's first two bytes open telnet negotiation (IAC DO or IAC WILL): a server that
// speaks telnet where raw bytes were expected.
bool OpensWithNegotiation(std::string_view firstBytes);

// How long a server has to answer the offer to control its port, and to acknowledge a setting.
constexpr std::uint64_t AnswerMs = 3000;

// What the server's answers say of port control, by the time asked.
struct Verdict {
    enum class Kind {
        Awaited,          // the offer is not answered yet, and its time has not run out
        Right,            // taken; every acknowledgement so far as asked
        NoPortControl,    // the offer refused (DONT or WONT), or not answered in time
        NotAcknowledged,  // a setting (command, asked) not acknowledged in time
        Kept,             // a setting (command) acknowledged with another value (kept) than asked
        NoTelnet,         // no telnet from the server in time, while data flowed
    };
    Kind kind = Kind::Awaited;
    std::uint8_t command = 0;  // 1 baud rate ... 5 flow control
    std::uint32_t asked = 0, kept = 0;
    bool settled = false;  // Right, and no setting awaits its acknowledgement

    bool operator==(const Verdict& o) const {
        return kind == o.kind && command == o.command && asked == o.asked && kept == o.kept && settled == o.settled;
    }
    bool operator!=(const Verdict& o) const { return !(*this == o); }
};

// A verdict's words for the log: "" for Awaited and Right.
std::string VerdictText(const Verdict& verdict);

// The note for a port that reads back another rate than was asked of it ("" when it holds it).
std::string ReadBackNote(std::uint32_t asked, std::uint32_t readBack);

// One connection's client. Its reading keeps its place between calls, so a sequence may arrive
// cut anywhere. Times are in ms on any clock that does not go back.
class Client {
public:
    // What opens a connection: the offer to control the port (WILL COM-PORT-OPTION) and to send
    // and take binary data (WILL and DO BINARY), then the port's settings. baud is the rate to
    // ask while the port reads none (0: none). Forgets all of the connection before.
    std::string Start(const LineSettings& settings, std::uint32_t baud, std::uint64_t now);

    // The commands that set the server's port, in the order baud rate, data size, parity, stop
    // size, flow control. A rate of 0 (the port has none) asks the last rate asked, or none.
    std::string Set(const LineSettings& settings, std::uint64_t now);

    // Appends data as it goes to the server: IACs doubled, and while the server refuses binary
    // data from the client, every CR followed by NUL (NVT's line ends).
    void Code(std::string_view data, std::string& out);

    // Reads what the server sent: its data, IACs undoubled (and while it does not send binary
    // data, CR NUL read as CR), to data; the answers its requests are owed to reply.
    void Read(std::string_view in, std::string& data, std::string& reply);

    Verdict Judge(std::uint64_t now) const;

    // The settings last asked, the rate as sent (0: none sent).
    const LineSettings& Asked() const { return askedSettings_; }
    // The settings as the server acknowledged them, once it has acknowledged each one asked.
    std::optional<platform::HubSettings> AcknowledgedSettings() const;
    // The server's signature (asked for at the start), as the record keeps it; "" until it came.
    const std::string& Signature() const { return signature_; }
    // The modem lines the server last reported (NOTIFY-MODEMSTATE: CTS 0x10, DSR 0x20, RI 0x40,
    // CD 0x80), when it reported any.
    std::optional<std::uint8_t> ModemState() const {
        return modemReported_ ? std::optional<std::uint8_t>(modem_) : std::nullopt;
    }
    // Whether NVT's line ends are coded one way or the other: the server refused binary data.
    bool LineEndsCoded() const { return !local_[Binary] || !remote_[Binary]; }

private:
    enum class State { Data, Command, Option, Sub, SubCommand };
    static constexpr std::size_t MaxSub = 48;  // more than any subnegotiation the client reads (a signature's first)
    static constexpr std::size_t MaxPending = 8;
    struct Ask {
        std::uint32_t value;
        std::uint64_t at;
    };

    void Step(std::uint8_t b, std::string& data, std::string& reply);
    void Negotiate(std::uint8_t option, std::string& reply);
    void Acknowledged();

    State state_ = State::Data;
    std::uint8_t verb_ = 0;      // the WILL, WONT, DO or DONT being read
    std::string sub_;            // the subnegotiation being read, IACs undoubled
    bool subTooLong_ = false;
    bool afterCr_ = false;       // the last data byte read was a CR
    std::array<bool, 256> local_{};   // options the client has agreed to use
    std::array<bool, 256> remote_{};  // ... that it has agreed the server uses
    std::array<bool, 256> offered_{};  // options the client offered (WILL) and awaits the answer to
    std::array<bool, 256> asked_{};    // ... it asked the server to use (DO)
    std::uint64_t started_ = 0;
    enum class Offer { Unanswered, Taken, Refused } offer_ = Offer::Unanswered;  // of port control
    bool telnet_ = false;  // the server sent telnet that no mirror of the client's own could be
    bool data_ = false;    // data went either way
    std::uint32_t rate_ = 0;  // the rate asked while the port reads none
    LineSettings askedSettings_;
    // The values asked and not yet acknowledged, per command (1 to 5), oldest first; once none
    // is left, an acknowledgement is held against the last value asked.
    std::array<std::deque<Ask>, 6> pending_;
    std::array<std::uint32_t, 6> last_{};
    // Per command: whether its last acknowledgement differed from what it answered, the value
    // acknowledged and the one asked.
    std::array<bool, 6> differs_{};
    std::array<std::uint32_t, 6> kept_{}, keptAsked_{};
    std::array<bool, 6> acknowledged_{};  // per command: acknowledged at least once
    std::string signature_;
    std::uint8_t modem_ = 0;
    bool modemReported_ = false;
};

}  // namespace hub::telnet
