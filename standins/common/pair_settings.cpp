#include "common/pair_settings.h"

#include "common/decimal.h"
#include "platform/ascii.h"

#include <optional>

namespace setupc {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

namespace {

bool IsPortName(std::string_view text) {
    if (text.size() < 4 || !SamePortName(text.substr(0, 3), "COM")) return false;
    for (char c : text.substr(3))
        if (c < '0' || c > '9') return false;
    return true;
}

std::string Take(Fields& fields, const char* key) {
    auto it = fields.find(key);
    if (it == fields.end()) throw SetupError(std::string("missing ") + key);
    std::string value = std::move(it->second);
    fields.erase(it);
    return value;
}

std::int32_t TakeInt(Fields& fields, const char* key) {
    std::string text = Take(fields, key);
    std::optional<std::int32_t> value = standin::ReadDecimal(text);
    if (!value) throw SetupError(std::string(key) + " is not a number: " + Quoted(text));
    return *value;
}

}  // namespace

bool SamePortName(std::string_view a, std::string_view b) { return platform::EqualsIgnoringAsciiCase(a, b); }

Fields SplitFields(std::string_view text, char separator) {
    Fields fields;
    for (;;) {
        std::size_t end = text.find(separator);
        std::string_view field = text.substr(0, end);
        std::size_t eq = field.find('=');
        if (eq == std::string_view::npos || eq == 0) throw SetupError("not a key=value field: " + Quoted(field));
        std::string_view key = field.substr(0, eq);
        if (!fields.emplace(std::string(key), std::string(field.substr(eq + 1))).second)
            throw SetupError(Quoted(key) + " given twice");
        if (end == std::string_view::npos) return fields;
        text.remove_prefix(end + 1);
    }
}

PortSettings TakePortSettings(Fields& fields) {
    PortSettings port;
    port.PortName = Take(fields, "PortName");
    if (!IsPortName(port.PortName)) throw SetupError("not a COM port name: " + Quoted(port.PortName));
    std::string emu = Take(fields, "EmuBR");
    if (emu != "yes" && emu != "no") throw SetupError("EmuBR is neither yes nor no: " + Quoted(emu));
    port.EmuBR = emu == "yes";
    port.AddRTTO = TakeInt(fields, "AddRTTO");
    port.AddRITO = TakeInt(fields, "AddRITO");
    return port;
}

}  // namespace setupc
