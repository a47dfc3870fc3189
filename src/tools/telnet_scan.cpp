#include "tools/telnet_scan.h"

#include "config/bridge_fields.h"
#include "config/number.h"
#include "platform/hub_record.h"

#include <algorithm>

namespace {

// Telnet's commands (RFC 854) and the COM-PORT option's numbers (RFC 2217).
constexpr unsigned char Iac = 255, Dont = 254, Do = 253, Will = 251, Sb = 250, Se = 240;
constexpr unsigned char ComPort = 44, AskSignature = 0, ServerReply = 100;  // a server answers command n with n + 100

// A server that never ends a subnegotiation must not fill the memory.
constexpr std::size_t MaxSubnegotiation = 512;

std::string Seconds(std::chrono::milliseconds time) { return std::to_string((time.count() + 999) / 1000) + " s"; }

}  // namespace

void TTelnetScan::Feed(std::string_view bytes) {
    heard_ = heard_ || !bytes.empty();
    for (char c : bytes) Step(static_cast<unsigned char>(c));
}

void TTelnetScan::Step(unsigned char byte) {
    switch (state_) {
    case State::Data:
        if (byte == Iac) state_ = State::Command;
        break;
    case State::Command: {  // a doubled IAC is a data byte, the other commands have no option
        const bool option = byte >= Will && byte <= Dont;
        telnet_ = telnet_ || byte == Sb;  // an option's command counts once its option is known
        command_ = byte;
        state_ = option ? State::Option : byte == Sb ? State::Sub : State::Data;
        sub_.clear();
        break;
    }
    case State::Option:
        if (offered_ && byte == ComPort && command_ == Will) {  // a device that echoes: no telnet
            state_ = State::Data;
            break;
        }
        telnet_ = true;
        if (byte == ComPort && (command_ == Will || command_ == Do)) {
            portControl_ = true;
            asked_ = asked_ || command_ == Do;
        }
        state_ = State::Data;
        break;
    case State::Sub:
        if (byte == Iac) state_ = State::SubIac;
        else if (sub_.size() < MaxSubnegotiation) sub_ += static_cast<char>(byte);
        break;
    case State::SubIac:
        if (byte == Iac) {  // a doubled IAC is one data byte
            state_ = State::Sub;
            if (sub_.size() < MaxSubnegotiation) sub_ += static_cast<char>(byte);
        } else if (byte == Se) {
            EndSubnegotiation();
            state_ = State::Data;
        } else {  // a subnegotiation cut short by another command
            state_ = State::Command;
            Step(byte);
        }
        break;
    }
}

void TTelnetScan::EndSubnegotiation() {
    if (sub_.size() < 2 || static_cast<unsigned char>(sub_[0]) != ComPort ||
        static_cast<unsigned char>(sub_[1]) != AskSignature + ServerReply)
        return;
    signature_ = sub_.substr(2);
    signed_ = true;
}

TServerAnswer TTelnetScan::Answer() const {
    return portControl_ ? TServerAnswer::PortControl : telnet_ ? TServerAnswer::Telnet : TServerAnswer::Raw;
}

std::string SignatureRequest(bool answerDo) {
    const std::string will{static_cast<char>(Iac), static_cast<char>(Will), static_cast<char>(ComPort)};
    const std::string ask{static_cast<char>(Iac), static_cast<char>(Sb), static_cast<char>(ComPort),
                          static_cast<char>(AskSignature), static_cast<char>(Iac), static_cast<char>(Se)};
    return (answerDo ? will : std::string()) + ask;
}

std::string PortControlOffer() { return {static_cast<char>(Iac), static_cast<char>(Will), static_cast<char>(ComPort)}; }

namespace {

std::string FindingText(const TServerFinding& finding, bool portControl, const TServerTestTimes& times) {
    switch (finding.Answer) {
    case TServerAnswer::Refused: return "Connection refused";
    case TServerAnswer::NoAnswer: return "No answer in " + Seconds(times.Connect);
    case TServerAnswer::NameNotFound: return "Name not found";
    case TServerAnswer::Raw:
        if (portControl) return "This server speaks raw TCP: turn Port control off";
        return "Connected; raw TCP (no telnet negotiation in " + Seconds(times.Greeting) + ")";
    case TServerAnswer::Telnet: return "Connected; telnet, no RFC 2217";
    case TServerAnswer::PortControl: break;
    }
    if (!portControl) return "This server speaks RFC 2217: turn Port control on to set its port";
    // The server's own text, in the program's line: printable ASCII alone, and not too much of it.
    const std::string signature = platform::PrintableSignature(finding.Signature);
    return "Connected; speaks RFC 2217" + (signature.empty() ? std::string() : " (" + signature + ")");
}

}  // namespace

std::string ServerTestLine(const std::string& server, const TServerFinding& finding, bool portControl,
                           const TServerTestTimes& times) {
    return server + ": " + FindingText(finding, portControl, times);
}

TServerTarget ServerTarget(const std::string& address, const std::string& port) {
    // The fields' own rules, so that a test takes what OK would store.
    TBridge bridge;
    for (const auto& [name, text] : {std::pair<const char*, const std::string&>{"IP", address}, {"Port", port}}) {
        const TBridgeField& field = FieldNamed(name);
        if (!SetFieldText(bridge, field, text, ParseDecimal) || !field.Valid(bridge))
            return {{}, 0, "'" + text + "' is not a valid " + field.What + field.Range};
    }
    return {bridge.IP.str(), static_cast<std::uint16_t>(bridge.Port), {}};
}
