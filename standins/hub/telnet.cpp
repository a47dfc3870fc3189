#include "hub/telnet.h"

namespace hub::telnet {

namespace {

// The port-control commands the client sends; the server acknowledges each with its code + 100.
enum : std::uint8_t { SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5 };
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

}  // namespace

void Escape(std::string_view data, std::string& out) {
    out.reserve(out.size() + data.size());
    for (char c : data) {
        out += c;
        if (static_cast<std::uint8_t>(c) == Iac) out += c;
    }
}

std::string Client::Start(const LineSettings& settings) {
    *this = Client();
    local_[ComPortOption] = true;
    std::string out;
    Command(out, Will, ComPortOption);
    return out + Set(settings);
}

std::string Client::Set(const LineSettings& settings) {
    const std::uint32_t values[] = {0, settings.baud, DataBits, NoParity, static_cast<std::uint8_t>(settings.stopBits),
                                    static_cast<std::uint8_t>(settings.flow)};
    std::string out;
    for (std::uint8_t code = SetBaudRate; code <= SetControl; ++code) {
        PortCommand(out, code, values[code], code == SetBaudRate ? 4 : 1);
        asked_[code] = values[code];
        if (pending_[code].size() == MaxPending) pending_[code].pop_front();
        pending_[code].push_back(values[code]);
    }
    return out;
}

void Client::Read(std::string_view in, std::string& data, std::string& reply, std::vector<std::string>& notes) {
    for (char c : in) Step(static_cast<std::uint8_t>(c), data, reply, notes);
}

void Client::Step(std::uint8_t b, std::string& data, std::string& reply, std::vector<std::string>& notes) {
    switch (state_) {
    case State::Data:
        if (b == Iac) state_ = State::Command;
        else Put(data, b);
        return;
    case State::Command:
        state_ = State::Data;
        if (b == Iac) {
            Put(data, b);
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
            if (!subTooLong_) Acknowledged(notes);
        } else {
            // An unfinished subnegotiation: dropped, and the command read as one.
            state_ = State::Command;
            Step(b, data, reply, notes);
        }
        return;
    }
}

// Agrees to binary data and no go-ahead both ways, and refuses every other option; the client's
// own offer stands whatever the server answers (some servers refuse it and still obey the
// commands). A request for what already holds gets no answer, so that no two sides answer each
// other for ever.
void Client::Negotiate(std::uint8_t option, std::string& reply) {
    switch (verb_) {
    case Do:
        if (!Agreeable(option) && option != ComPortOption) Command(reply, Wont, option);
        else if (!local_[option]) Command(reply, Will, option);
        local_[option] = local_[option] || Agreeable(option);
        break;
    case Will:
        if (!Agreeable(option)) Command(reply, Dont, option);
        else if (!remote_[option]) Command(reply, Do, option);
        remote_[option] = Agreeable(option);
        break;
    case Dont:
        if (option != ComPortOption && local_[option]) Command(reply, Wont, option);
        local_[option] = option == ComPortOption;
        break;
    case Wont:
        if (remote_[option]) Command(reply, Dont, option);
        remote_[option] = false;
        break;
    }
}

// A port-control subnegotiation from the server. Its acknowledgements of the client's commands
// are held against what was asked; the rest (line and modem state, the control of signals the
// client does not ask for) tells the bridge nothing.
void Client::Acknowledged(std::vector<std::string>& notes) {
    if (sub_.size() < 3 || static_cast<std::uint8_t>(sub_[0]) != ComPortOption) return;
    const int code = static_cast<std::uint8_t>(sub_[1]) - ServerOffset;
    if (code < SetBaudRate || code > SetControl) return;
    const std::size_t size = code == SetBaudRate ? 4 : 1;
    if (sub_.size() != 2 + size) return;
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < sub_.size(); ++i) value = value << 8 | static_cast<std::uint8_t>(sub_[i]);
    // SET-CONTROL also acknowledges signals and inbound flow control: only 1 to 3 answer a
    // flow control asked.
    if (code == SetControl && (value < 1 || value > 3)) return;

    std::deque<std::uint32_t>& pending = pending_[code];
    std::uint32_t wanted = asked_[code];
    if (!pending.empty()) {
        wanted = pending.front();
        pending.pop_front();
    }
    if (value != wanted)
        notes.push_back(std::string("the server set ") + CommandNames[code] + " " + std::to_string(value) +
                        ", not " + std::to_string(wanted) + " as asked");
}

}  // namespace hub::telnet
