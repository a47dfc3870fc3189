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

}  // namespace

const TBridgeField BridgeFields[12] = {
    {"Index", &TBridge::Index, "1", K::None},
    {"COM", &TBridge::COM, "COM3", K::ComboText, HasCom, "COM port"},
    {"Baud", &TBridge::Baud, "9600", K::ComboText, HasBaud, "baud rate"},
    {"Emulate", &TBridge::Emulate, "1", K::Check},
    {"Name", &TBridge::Name, "", K::Edit, HasPlainName, "name", " (no tab, line break or other control character)",
     false},
    // No selection (a stored signal past the list's end) gives 255: always connected, as every value from 4 up.
    {"Connect", &TBridge::Connect, "0", K::ComboPosition},
    {"IP", &TBridge::IP, "192.168.0.99", K::Edit, HasAddress, "server address"},
    {"Port", &TBridge::Port, "0", K::Edit, HasPort, "server port", " (1 to 65535)"},
    {"Delay", &TBridge::Delay, "500", K::Edit},
    {"TXDelay", &TBridge::TXDelay, "10", K::Edit},
    {"RXDelay", &TBridge::RXDelay, "10", K::Edit, HasRXDelay, "RX delay", " (0 or more)"},
    // Decides whether the bridge is on the hub's line at all; a slot stored without it is on.
    {"Enabled", &TBridge::Enabled, "1", K::Check},
};

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
            using T = FieldValue<decltype(member)>;
            if constexpr (std::is_same_v<T, bool>)
                return bridge.*member ? "1" : "0";
            else if constexpr (std::is_integral_v<T>)
                return Decimal(bridge.*member);
            else
                return (bridge.*member).str();
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
            using T = FieldValue<decltype(member)>;
            if constexpr (std::is_integral_v<T>) {  // a flag too: any number but 0 sets it
                const std::optional<std::int32_t> number = parse(text);
                if (number) bridge.*member = static_cast<T>(*number);
                return number.has_value();
            } else {
                bridge.*member = text;
                return true;
            }
        },
        field.Member);
}

void StoreBridgeFields(const TBridgeFields& fields, TBridge& record) {
    for (const TBridgeField& field : BridgeFields) {
        if (field.Shows == K::None) continue;
        const auto found = fields.find(field.Name);
        const std::string typed = found == fields.end() ? std::string() : found->second;
        TBridge edited = record;
        if (!SetFieldText(edited, field, typed, ParseDecimal))
            throw EInvalidInput("'" + typed + "' is not a valid integer value", field);
        if (field.Valid && !field.Valid(edited)) {
            if (field.Shows == K::ComboText) throw EInvalidInput(std::string("Please select a ") + field.What, field);
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
        const std::string user = other.Name.empty() ? "the bridge to " + other.IP.str() + ":" + RowOf(other).Port
                                                    : "bridge '" + other.Name.str() + "'";
        const auto com = std::find_if(std::begin(BridgeFields), std::end(BridgeFields),
                                      [](const TBridgeField& field) { return std::string_view(field.Name) == "COM"; });
        throw EInvalidInput(record.COM.str() + " is already used by " + user, *com);
    }
}
