#include "setupc/setup_command.h"

#include "common/decimal.h"
#include "platform/ascii.h"

namespace setupc {

namespace {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::int32_t PairNumber(std::string_view text) {
    std::optional<std::int32_t> n = standin::ReadDecimal(text, 1);
    if (!n) throw SetupError("not a pair number: " + Quoted(text));
    return *n;
}

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

void RefuseUnknown(const Fields& fields) {
    if (!fields.empty()) throw SetupError("unknown parameter " + Quoted(fields.begin()->first));
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

Command ParseCommand(const std::vector<std::string>& args) {
    if (args.empty()) throw SetupError("no command given");
    const std::string& verb = args[0];
    Command command;
    if (verb == "install") command.verb = Verb::Install;
    else if (verb == "change") command.verb = Verb::Change;
    else if (verb == "remove") command.verb = Verb::Remove;
    else throw SetupError("unknown command " + Quoted(verb));
    const std::size_t count = command.verb == Verb::Install ? 4 : command.verb == Verb::Change ? 3 : 2;  // with the verb
    if (args.size() != count)
        throw SetupError(verb + " takes " + std::to_string(count - 1) + " parameters, not " +
                         std::to_string(args.size() - 1));

    if (command.verb == Verb::Change) {
        std::string_view name = args[1];
        if (name.substr(0, 4) != "CNCB") throw SetupError("not a CNCB port: " + Quoted(name));
        command.pair = PairNumber(name.substr(4));
    } else {
        command.pair = PairNumber(args[1]);
    }

    if (command.verb == Verb::Install) {
        Fields hidden = SplitFields(args[2], ',');
        if (Take(hidden, "HiddenMode") != "yes") throw SetupError("install needs HiddenMode=yes");
        RefuseUnknown(hidden);
    }
    if (command.verb != Verb::Remove) {
        Fields fields = SplitFields(args.back(), ',');
        command.port = TakePortSettings(fields);
        RefuseUnknown(fields);
    }
    return command;
}

std::string_view ArgumentsOf(std::string_view commandLine) {
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        i = commandLine.find('"', 1);
        i = i == std::string_view::npos ? commandLine.size() : i + 1;
    } else {
        while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    return commandLine.substr(i);
}

}  // namespace setupc
