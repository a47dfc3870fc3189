#include "hub/telnet.h"

namespace hub::telnet {

namespace {

// The port-control commands the client sends; the server acknowledges each with its code + 100.
enum : std::uint8_t { SignatureCode = 0, SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5,
                      NotifyModemState = 7 };
constexpr std::uint8_t ServerOffset = 100;
constexpr std::uint8_t DataBits = 8;
constexpr std::uint8_t NoParity = 1;

const char* const CommandNames[] = {"", "baud rate", "data size", "parity", "stop size", "flow control"};

void Put(std::string& out, std::uint8_t b) { out += static_cast<char>(b); }

void Command(std::string& out, std::uint8_t verb, std::uint8_t option) {
    Put(out, Iac);
    Put(out, verb);
    Put(out, option);
}

// IAC SB COM-PORT-OPTION code value IAC SE, the value's bytes big-endian.
void PortCommand(std::string& out, std::uint8_t code, std::uint32_t value, int bytes) {
    Put(out, Iac);
    Put(out, Sb);
    Put(out, ComPortOption);
    Put(out, code);
    std::string v;
    for (int i = bytes - 1; i >= 0; --i) Put(v, static_cast<std::uint8_t>(value >> (8 * i)));
    Escape(v, out);
    Put(out, Iac);
    Put(out, Se);
}

bool Agreeable(std::uint8_t option) { return option == Binary || option == SuppressGoAhead; }

constexpr std::uint8_t Cr = '\r';

}  // namespace

void Escape(std::string_view data, std::string& out) {
    out.reserve(out.size() + data.size());
    for (char c : data) {
        out += c;
        if (static_cast<std::uint8_t>(c) == Iac) out += c;
    }
}

bool OpensWithNegotiation(std::string_view first) {
    return first.size() >= 2 && static_cast<std::uint8_t>(first[0]) == Iac &&
           (static_cast<std::uint8_t>(first[1]) == Do || static_cast<std::uint8_t>(first[1]) == Will);
}

std::string VerdictText(const Verdict& v) {
    const std::string command = v.command < 6 ? CommandNames[v.command] : "";
    switch (v.kind) {
    case Verdict::Kind::NoPortControl: return "the server does not take port control";
    case Verdict::Kind::NotAcknowledged:
        return "the server did not acknowledge " + command + " " + std::to_string(v.asked) + " within " +
               std::to_string(AnswerMs / 1000) + " s";
    case Verdict::Kind::Kept:
        return "the server kept " + command + " " + std::to_string(v.kept) + " (asked " + std::to_string(v.asked) + ")";
    case Verdict::Kind::NoTelnet: return "the server sends no telnet: turn Port control off";
    default: return "";
    }
}

std::string ReadBackNote(std::uint32_t asked, std::uint32_t readBack) {
    if (asked == 0 || asked == readBack) return "";
    return "the port holds " + std::to_string(readBack) + " baud, not " + std::to_string(asked) +
           " as asked; the server is asked for " + std::to_string(readBack);
}

std::string Client::Start(const LineSettings& settings, std::uint32_t baud, std::uint64_t now) {
    *this = Client();
    started_ = now;
    rate_ = baud;
    local_[Binary] = remote_[Binary] = offered_[Binary] = asked_[Binary] = true;  // binary until refused
    std::string out;
    Command(out, Will, ComPortOption);
    Command(out, Will, Binary);
    Command(out, Do, Binary);
    out += Set(settings, now);
    // An empty signature asks for the server's.
    const char askSignature[] = {char(Iac), char(Sb), char(ComPortOption), char(SignatureCode), char(Iac), char(Se)};
    return out.append(askSignature, sizeof askSignature);
}

std::string Client::Set(const LineSettings& settings, std::uint64_t now) {
    LineSettings s = settings;
    if (s.baud == 0) s.baud = rate_;  // never SET-BAUDRATE 0, which asks for the rate
    rate_ = s.baud;
    askedSettings_ = s;
    const std::uint32_t values[] = {0, s.baud, DataBits, NoParity, static_cast<std::uint8_t>(s.stopBits),
                                    static_cast<std::uint8_t>(s.flow)};
    std::string out;
    for (std::uint8_t code = s.baud ? SetBaudRate : SetDataSize; code <= SetControl; ++code) {
        PortCommand(out, code, values[code], code == SetBaudRate ? 4 : 1);
        last_[code] = values[code];
        if (pending_[code].size() == MaxPending) pending_[code].pop_front();
        pending_[code].push_back({values[code], now});
    }
    return out;
}

void Client::Code(std::string_view data, std::string& out) {
    if (data.empty()) return;
    data_ = true;
    if (local_[Binary]) return Escape(data, out);
    out.reserve(out.size() + data.size() + data.size() / 16);
    for (char c : data) {
        out += c;
        if (static_cast<std::uint8_t>(c) == Iac) out += c;
        else if (static_cast<std::uint8_t>(c) == Cr) out += '\0';
    }
}

void Client::Read(std::string_view in, std::string& data, std::string& reply) {
    for (char c : in) Step(static_cast<std::uint8_t>(c), data, reply);
}

Verdict Client::Judge(std::uint64_t now) const {
    Verdict v;
    if (offer_ == Offer::Refused) {
        v.kind = Verdict::Kind::NoPortControl;
        return v;
    }
    if (offer_ == Offer::Unanswered) {
        if (now - started_ < AnswerMs) return v;
        v.kind = !telnet_ && data_ ? Verdict::Kind::NoTelnet : Verdict::Kind::NoPortControl;
        return v;
    }
    for (std::uint8_t code = SetBaudRate; code <= SetControl; ++code)
        if (differs_[code]) {
            v.kind = Verdict::Kind::Kept;
            v.command = code;
            v.asked = keptAsked_[code];
            v.kept = kept_[code];
            return v;
        }
    v.settled = true;
    for (std::uint8_t code = SetBaudRate; code <= SetControl; ++code) {
        if (pending_[code].empty()) continue;
        v.settled = false;
        if (now - pending_[code].front().at >= AnswerMs) {
            v.kind = Verdict::Kind::NotAcknowledged;
            v.command = code;
            v.asked = pending_[code].front().value;
            return v;
        }
    }
    v.kind = Verdict::Kind::Right;
    return v;
}

void Client::Step(std::uint8_t b, std::string& data, std::string& reply) {
    switch (state_) {
    case State::Data:
        if (b == Iac) {
            state_ = State::Command;
            return;
        }
        data_ = true;
        if (b == 0 && afterCr_ && !remote_[Binary]) {  // NVT's CR NUL: a CR alone
            afterCr_ = false;
            return;
        }
        afterCr_ = b == Cr;
        Put(data, b);
        return;
    case State::Command:
        state_ = State::Data;
        if (b == Iac) {
            Put(data, b);
            afterCr_ = false;
        } else if (b >= Will && b <= Dont) {
            verb_ = b;
            state_ = State::Option;
        } else if (b == Sb) {
            sub_.clear();
            subTooLong_ = false;
            state_ = State::Sub;
        }
        return;  // any other command (a no-operation, a go-ahead) means nothing here
    case State::Option:
        state_ = State::Data;
        Negotiate(b, reply);
        return;
    case State::Sub:
        if (b == Iac) state_ = State::SubCommand;
        else if (sub_.size() < MaxSub) Put(sub_, b);
        else subTooLong_ = true;
        return;
    case State::SubCommand:
        if (b == Iac) {  // a doubled IAC: a byte of the value
            state_ = State::Sub;
            if (sub_.size() < MaxSub) Put(sub_, b);
            else subTooLong_ = true;
        } else if (b == Se) {
            state_ = State::Data;
            // A signature is kept as far as it was read; another part too long means nothing.
            if (!subTooLong_ || (sub_.size() > 1 && static_cast<std::uint8_t>(sub_[1]) == ServerOffset + SignatureCode))
                Acknowledged();
        } else {
            // An unfinished subnegotiation: dropped, and the command read as one.
            state_ = State::Command;
            Step(b, data, reply);
        }
        return;
    }
}

// Agrees to binary data and no go-ahead both ways, and refuses every other option. The answer to
// an offer or a request of the client's own is not answered again, nor is a request for what
// already holds, so that no two sides answer each other for ever. The server's DO takes port
// control, its DONT or WONT refuses it; a WILL of the option is the client's own and means
// nothing from a server (a device that echoes sends the client's offer back). Neither the
// BINARY answers nor that WILL tell a telnet server from an echo of the client's own start.
void Client::Negotiate(std::uint8_t option, std::string& reply) {
    if (option != Binary && !(option == ComPortOption && verb_ == Will)) telnet_ = true;
    if (option == ComPortOption) {
        if (verb_ != Will) offer_ = verb_ == Do ? Offer::Taken : Offer::Refused;
        return;
    }
    switch (verb_) {
    case Do:
        if (!Agreeable(option)) Command(reply, Wont, option);
        else if (!local_[option] || offered_[option]) {
            if (!offered_[option]) Command(reply, Will, option);
            local_[option] = true;
        }
        offered_[option] = false;
        break;
    case Will:
        if (!Agreeable(option)) Command(reply, Dont, option);
        else if (!remote_[option] && !asked_[option]) Command(reply, Do, option);
        remote_[option] = remote_[option] || Agreeable(option);
        asked_[option] = false;
        break;
    case Dont:
        if (local_[option] && !offered_[option]) Command(reply, Wont, option);
        local_[option] = offered_[option] = false;
        break;
    case Wont:
        if (remote_[option] && !asked_[option]) Command(reply, Dont, option);
        remote_[option] = asked_[option] = false;
        break;
    }
}

// A port-control subnegotiation from the server. Its acknowledgements of the client's commands
// are held against what was asked; the rest (line and modem state, the control of signals the
// client does not ask for) tells the bridge nothing. The client's own commands (codes below
// 100) come only from a device that echoes.
void Client::Acknowledged() {
    if (sub_.size() < 2 || static_cast<std::uint8_t>(sub_[0]) != ComPortOption) return;
    if (static_cast<std::uint8_t>(sub_[1]) < ServerOffset) return;
    telnet_ = true;
    const int code = static_cast<std::uint8_t>(sub_[1]) - ServerOffset;
    if (code == SignatureCode) {  // empty: the server asks for the client's, which it has none of
        if (sub_.size() > 2) signature_ = platform::PrintableSignature(std::string_view(sub_).substr(2));
        return;
    }
    if (code == NotifyModemState && sub_.size() == 3) {
        modem_ = static_cast<std::uint8_t>(sub_[2]);
        modemReported_ = true;
        return;
    }
    if (code < SetBaudRate || code > SetControl) return;
    const std::size_t size = code == SetBaudRate ? 4 : 1;
    if (sub_.size() != 2 + size) return;
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < sub_.size(); ++i) value = value << 8 | static_cast<std::uint8_t>(sub_[i]);
    // SET-CONTROL also acknowledges signals and inbound flow control: only 1 to 3 answer a
    // flow control asked.
    if (code == SetControl && (value < 1 || value > 3)) return;

    std::deque<Ask>& pending = pending_[code];
    if (pending.empty() && last_[code] == 0) return;  // nothing asked: news of the server's own
    offer_ = Offer::Taken;  // acknowledged: whatever it said of the offer, it takes the commands
    std::uint32_t wanted = last_[code];
    if (!pending.empty()) {
        wanted = pending.front().value;
        pending.pop_front();
    }
    differs_[code] = value != wanted;
    acknowledged_[code] = true;
    kept_[code] = value;
    keptAsked_[code] = wanted;
}

}  // namespace hub::telnet

namespace hub::telnet {

std::optional<platform::HubSettings> Client::AcknowledgedSettings() const {
    for (std::uint8_t code = SetBaudRate; code <= SetControl; ++code)
        if ((last_[code] && !acknowledged_[code]) || !pending_[code].empty()) return std::nullopt;
    platform::HubSettings s;
    s.Baud = kept_[SetBaudRate];
    s.DataBits = static_cast<std::uint8_t>(kept_[SetDataSize]);
    const char parities[] = "?NOEMS";  // the command's values 1 to 5
    s.Parity = kept_[SetParity] < sizeof parities - 1 ? parities[kept_[SetParity]] : '?';
    s.StopBits = static_cast<std::uint8_t>(kept_[SetStopSize]);
    s.Flow = static_cast<std::uint8_t>(kept_[SetControl] == 3 ? 1 : kept_[SetControl] == 2 ? 2 : 0);
    return s;
}

}  // namespace hub::telnet
