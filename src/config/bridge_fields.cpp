#include "config/bridge_fields.h"

#include "config/number.h"
#include "platform/ascii.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace {

using K = TFieldControl;

template <class Member>
using FieldValue = std::remove_reference_t<decltype(std::declval<TBridge&>().*std::declval<Member>())>;

bool HasCom(const TBridge& b) { return !b.COM.empty(); }  // an empty COM text could not identify the row
bool HasBaud(const TBridge& b) { return b.Baud >= 1; }  // the hub refuses a rate of 0
bool HasAddress(const TBridge& b) { return IsValidServerAddress(b.IP.view()); }  // it goes unquoted to the hub
bool HasPort(const TBridge& b) { return b.Port >= 1 && b.Port <= 65535; }  // port 0 would mark the slot free
bool HasRXDelay(const TBridge& b) { return b.RXDelay >= 0; }  // the hub takes no negative read time-out

// A tab or a line break would split the connection log's fields and lines.
bool HasPlainName(const TBridge& b) {
    const std::string_view name = b.Name.view();
    return std::none_of(name.begin(), name.end(), platform::IsAsciiControl);
}

constexpr const char* ComPorts[] = {"COM1",  "COM2",  "COM3",  "COM4",  "COM5",  "COM6",  "COM7",
                                    "COM8",  "COM9",  "COM10", "COM11", "COM12", "COM13", "COM14",
                                    "COM15", "COM16", "COM17", "COM18", "COM19", "COM20"};
constexpr const char* BaudRates[] = {"300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
constexpr const char* ConnectSignals[] = {"DSR Signal*", "CTS Signal", "DCD Signal", "RI Signal", "Always"};

constexpr char RXDelayHint[] =
    "The maximum amount of time, that is allowed between two consecutive bytes in a read operation.\r\n"
    " Suitable for packet forming and to reduce fragmentation COM -> TCP.";
constexpr char TXDelayHint[] =
    "The maximum amount of time, that is allowed between two consecutive bytes in a write operation.\r\n"
    " Suitable for packet forming and to reduce fragmentation TCP -> COM.";
constexpr char DisDelayHint[] = "Delay between COM port release and TCP client disconnect";

using G = TFieldGroup;

}  // namespace

const TBridgeField BridgeFields[13] = {
    {"Index", &TBridge::Index, "1"},
    {"COM", TextMember<&TBridge::COM>(), "COM3", {K::ComboText, "COM Port", G::Serial, 0, 0, ComPorts}, {0, "Port", 60},
     HasCom, "COM port"},
    {"Baud", &TBridge::Baud, "9600", {K::ComboText, "Baudrate", G::Serial, 1, 1, BaudRates}, {}, HasBaud, "baud rate"},
    {"Emulate", &TBridge::Emulate, "1", {K::Check, "Strict baudrate emulation", G::Serial, 4, 4}},
    {"Name", TextMember<&TBridge::Name>(), "", {K::Edit, "Name", G::Below, 0, 0, {}, 20}, {3, "Name", 0, 1},
     HasPlainName, "name", " (no tab, line break or other control character)", false},
    // No selection (a stored signal past the list's end) gives 255: always connected, as every value from 4 up.
    {"Connect", &TBridge::Connect, "0", {K::ComboPosition, "Connect on", G::Network, 3, 2, ConnectSignals}},
    {"IP", TextMember<&TBridge::IP>(), "192.168.0.99", {K::Edit, "Server IP", G::Network, 0, 0, {}, 0, "255.255.255.255"},
     {1, "Server IP", 0, 1}, HasAddress, "server address"},
    {"Port", &TBridge::Port, "0", {K::Number, "Server Port", G::Network, 1, 1, {}, 5, "99999"}, {2, "Server Port", 70},
     HasPort, "server port", " (1 to 65535)"},
    // Stands below "Connect on" but is reached first.
    {"Delay", &TBridge::Delay, "500", {K::Number, "Disconnect delay", G::Network, 2, 3, {}, 0, "", "[ms]", DisDelayHint}},
    {"TXDelay", &TBridge::TXDelay, "10", {K::Number, "TX Delay", G::Serial, 3, 3, {}, 0, "", "[ms]", TXDelayHint}},
    {"RXDelay", &TBridge::RXDelay, "10", {K::Number, "RX Delay", G::Serial, 2, 2, {}, 0, "", "[ms]", RXDelayHint}, {},
     HasRXDelay, "RX delay", " (0 or more)"},
    // Decides whether the bridge is on the hub's line at all; a slot stored without it is on.
    {"Enabled", &TBridge::Enabled, "1", {K::Check, "On", G::Network, 5, FootLine}},
    {"RFC2217", &TBridge::Rfc2217, "0", {K::Check, "Port control (&RFC 2217)", G::Network, 4, 4}},
};

const TBridgeField& FieldNamed(std::string_view name) {
    return *std::find_if(std::begin(BridgeFields), std::end(BridgeFields),
                         [name](const TBridgeField& field) { return field.Name == name; });
}

std::vector<const TBridgeField*> ListColumns() {
    std::vector<const TBridgeField*> columns;
    for (const TBridgeField& field : BridgeFields)
        if (field.Column.Position >= 0) columns.push_back(&field);
    std::sort(columns.begin(), columns.end(),
              [](const TBridgeField* a, const TBridgeField* b) { return a->Column.Position < b->Column.Position; });
    return columns;
}

std::string ShownText(const TBridge& bridge, const TBridgeField& field, int slot) {
    const bool unread = slot >= FirstSlot && slot <= LastSlot && Unreadable[slot] && UnreadField[slot] == field.Name;
    return unread ? UnreadText[slot] : FieldText(bridge, field);
}

std::vector<std::string> RowOf(const TBridge& bridge) {
    std::vector<std::string> texts;
    for (const TBridgeField* field : ListColumns()) texts.push_back(ShownText(bridge, *field, SlotNumber(bridge)));
    return texts;
}

constexpr std::size_t MaxAddressLength = 253;

bool IsValidServerAddress(std::string_view address) {
    if (address.empty() || address.size() > MaxAddressLength || address[0] == '-') return false;
    int dots = 0;
    bool dottedNumbers = true, above255 = false;
    std::uint32_t number = 0;
    for (char c : address) {
        auto byte = static_cast<unsigned char>(c);
        // The hub would read a colon as the start of the port.
        if (byte == ' ' || byte == '"' || byte == ':' || platform::IsAsciiControl(c)) return false;
        if (c == '.') {
            ++dots;
            number = 0;
        } else if (c >= '0' && c <= '9') {
            number = std::min<std::uint32_t>(number * 10 + static_cast<std::uint32_t>(c - '0'), 1000);
            above255 = above255 || number > 255;
        } else {
            dottedNumbers = false;
        }
    }
    // Four dotted numbers are an address, and then each must be one.
    return !(dottedNumbers && dots == 3 && above255);
}

std::string FieldText(const TBridge& bridge, const TBridgeField& field) {
    return std::visit(
        [&bridge](auto member) -> std::string {
            if constexpr (std::is_same_v<decltype(member), TTextMember>) {
                return std::string(member.Get(bridge));
            } else {
                using T = FieldValue<decltype(member)>;
                if constexpr (std::is_same_v<T, bool>) return bridge.*member ? "1" : "0";
                else return Decimal(bridge.*member);
            }
        },
        field.Member);
}

TBridge NewBridge() {
    TBridge bridge;
    for (const TBridgeField& field : BridgeFields) SetFieldText(bridge, field, field.Default, ParseDecimal);
    bridge.Port = 9761;
    return bridge;
}

const TBridgeField* InvalidField(const TBridge& bridge) {
    for (const TBridgeField& field : BridgeFields)
        if (field.Valid && field.StartRefuses && !field.Valid(bridge)) return &field;
    return nullptr;
}

bool SetFieldText(TBridge& bridge, const TBridgeField& field, const std::string& text,
                  std::optional<std::int32_t> (*parse)(std::string_view)) {
    return std::visit(
        [&](auto member) {
            if constexpr (std::is_same_v<decltype(member), TTextMember>) {
                member.Set(bridge, text);
                return true;
            } else {  // a flag too: any number but 0 sets it
                const std::optional<std::int32_t> number = parse(text);
                if (number) bridge.*member = static_cast<FieldValue<decltype(member)>>(*number);
                return number.has_value();
            }
        },
        field.Member);
}

void StoreBridgeFields(const TBridgeFields& fields, TBridge& record) {
    for (const TBridgeField& field : BridgeFields) {
        if (field.View.Control == K::None) continue;
        const auto found = fields.find(field.Name);
        const std::string typed = found == fields.end() ? std::string() : found->second;
        TBridge edited = record;
        if (!SetFieldText(edited, field, typed, ParseDecimal))
            throw EInvalidInput("'" + typed + "' is not a valid integer value", field);
        if (field.Valid && !field.Valid(edited)) {
            if (field.View.Control == K::ComboText) throw EInvalidInput(std::string("Please select a ") + field.What, field);
            throw EInvalidInput("'" + typed + "' is not a valid " + field.What + field.Range, field);
        }
        record = edited;
    }
}

void CheckComPortFree(const TBridge& record, int exceptSlot) {
    for (int n = FirstSlot; n <= LastSlot; ++n) {
        const TBridge& other = Bridges[n];
        if (n == exceptSlot || IsFreeSlot(n) || !platform::EqualsIgnoringAsciiCase(other.COM.view(), record.COM.view()))
            continue;
        const std::string user = other.Name.empty()
                                     ? "the bridge to " + other.IP.str() + ":" + ShownText(other, FieldNamed("Port"), n)
                                     : "bridge '" + other.Name.str() + "'";
        throw EInvalidInput(record.COM.str() + " is already used by " + user, FieldNamed("COM"));
    }
}
