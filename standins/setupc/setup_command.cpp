#include "setupc/setup_command.h"

#include "common/decimal.h"

#include <optional>

namespace setupc {

namespace {

std::int32_t PairNumber(std::string_view text) {
    std::optional<std::int32_t> n = standin::ReadDecimal(text, 1);
    if (!n) throw SetupError("not a pair number: " + Quoted(text));
    return *n;
}

void RefuseUnknown(const Fields& fields) {
    if (!fields.empty()) throw SetupError("unknown parameter " + Quoted(fields.begin()->first));
}

}  // namespace

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
        auto mode = hidden.find("HiddenMode");
        if (mode == hidden.end()) throw SetupError("missing HiddenMode");
        if (mode->second != "yes") throw SetupError("install needs HiddenMode=yes");
        hidden.erase(mode);
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
