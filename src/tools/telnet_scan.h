#pragma once
// What a test of a bridge's server finds, and how the bridge dialog words it: whether the server
// negotiates telnet, offers serial port control (the COM-PORT option, RFC 2217) and signs with
// its name. Pure logic: the bytes are fed as they arrive, in pieces of any size.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

enum class TServerAnswer { Refused, NoAnswer, NameNotFound, Raw, Telnet, PortControl };

struct TServerFinding {
    TServerAnswer Answer = TServerAnswer::NoAnswer;
    std::string Signature;  // as the server sent it; empty when it sent none
};

// How long a test waits for the connection, then for a greeting before it calls the server raw,
// then for the signature it asked for.
struct TServerTestTimes {
    std::chrono::milliseconds Connect{3000}, Greeting{1000}, Signature{1000};
};

// Reads a server's telnet commands out of what it sends. Any IAC followed by WILL, WONT, DO,
// DONT or SB is telnet; WILL or DO of the COM-PORT option offers or asks for port control.
class TTelnetScan {
public:
    void Feed(std::string_view bytes);

    bool Telnet() const { return telnet_; }
    // Whether the server sent anything at all.
    bool Heard() const { return heard_; }
    // The client offered port control: a WILL COM-PORT that comes back is its own, echoed.
    void Offered() { offered_ = true; }
    bool PortControl() const { return portControl_; }
    // The server sent DO COM-PORT: a client answers WILL before it asks anything.
    bool AskedForPortControl() const { return asked_; }
    // The server's SIGNATURE answer has ended; its text, IAC undoubled.
    bool Signed() const { return signed_; }
    const std::string& Signature() const { return signature_; }

    TServerAnswer Answer() const;

private:
    void Step(unsigned char byte);
    void EndSubnegotiation();

    enum class State { Data, Command, Option, Sub, SubIac } state_ = State::Data;
    unsigned char command_ = 0;
    std::string sub_;  // the subnegotiation under way, from its option on
    std::string signature_;
    bool telnet_ = false, portControl_ = false, asked_ = false, signed_ = false, heard_ = false, offered_ = false;
};

// What a client sends to learn a server's signature: WILL COM-PORT when the server asked for it,
// then SIGNATURE without text.
std::string SignatureRequest(bool answerDo);
// What a client with port control sends first to a server that keeps silent: WILL COM-PORT.
std::string PortControlOffer();

// The line the dialog shows for a finding of the server named ("127.0.0.1:4001"), where
// portControl is its check box: a server whose answer contradicts the box says what to change.
// The server's signature shows as platform::PrintableSignature keeps it.
std::string ServerTestLine(const std::string& server, const TServerFinding& finding, bool portControl,
                           const TServerTestTimes& times = {});

// The server a test connects to, read from the dialog's texts as OK reads them; or, in Refusal,
// the line that names the first text no bridge could hold.
struct TServerTarget {
    std::string Host;
    std::uint16_t Port = 0;
    std::string Refusal;
};
TServerTarget ServerTarget(const std::string& address, const std::string& port);
