#include "common/pair_state.h"

#include "common/decimal.h"

#include <algorithm>

namespace setupc {

namespace {

PairList::iterator FindPair(PairList& pairs, std::int32_t number) {
    return std::find_if(pairs.begin(), pairs.end(), [&](const PortPair& p) { return p.Number == number; });
}

// Refuses the port of pair when another pair has its name.
void RefuseTakenName(const PairList& pairs, const PortSettings& port, std::int32_t pair) {
    for (const PortPair& p : pairs)
        if (p.Number != pair && SamePortName(p.Port.PortName, port.PortName))
            throw SetupError(port.PortName + " belongs to pair " + std::to_string(p.Number));
}

PortPair ReadPair(std::string_view line) {
    std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) throw SetupError("no port settings");
    std::optional<std::int32_t> number = standin::ReadDecimal(line.substr(0, blank), 1);
    if (!number) throw SetupError("not a pair number: \"" + std::string(line.substr(0, blank)) + "\"");
    PortPair pair;
    pair.Number = *number;
    Fields fields = SplitFields(line.substr(blank + 1), ' ');
    pair.Port = TakePortSettings(fields);
    if (!fields.empty()) throw SetupError("unknown field \"" + fields.begin()->first + "\"");
    return pair;
}

}  // namespace

PairList ReadState(std::string_view text) {
    PairList pairs;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        try {
            PortPair pair = ReadPair(line);
            if (FindPair(pairs, pair.Number) != pairs.end())
                throw SetupError("pair " + std::to_string(pair.Number) + " given twice");
            RefuseTakenName(pairs, pair.Port, pair.Number);
            pairs.push_back(pair);
        } catch (const SetupError& e) {
            throw SetupError("line " + std::to_string(lineNumber) + ": " + e.what());
        }
    }
    std::sort(pairs.begin(), pairs.end(), [](const PortPair& a, const PortPair& b) { return a.Number < b.Number; });
    return pairs;
}

std::string WriteState(const PairList& pairs) {
    std::string text = "# Port pairs: number, then what the CNCB end carries.\r\n";
    for (const PortPair& p : pairs) {
        text += std::to_string(p.Number) + " PortName=" + p.Port.PortName + " EmuBR=" + (p.Port.EmuBR ? "yes" : "no") +
                " AddRTTO=" + std::to_string(p.Port.AddRTTO) + " AddRITO=" + std::to_string(p.Port.AddRITO) + "\r\n";
    }
    return text;
}

void Apply(const Command& command, PairList& pairs) {
    auto it = FindPair(pairs, command.pair);
    std::string pair = "pair " + std::to_string(command.pair);
    switch (command.verb) {
    case Verb::Install: {
        if (it != pairs.end()) throw SetupError(pair + " exists already");
        RefuseTakenName(pairs, command.port, command.pair);
        auto at = std::find_if(pairs.begin(), pairs.end(), [&](const PortPair& p) { return p.Number > command.pair; });
        pairs.insert(at, PortPair{command.pair, command.port});
        return;
    }
    case Verb::Change:
        if (it == pairs.end()) throw SetupError("there is no " + pair);
        RefuseTakenName(pairs, command.port, command.pair);
        it->Port = command.port;
        return;
    case Verb::Remove:
        if (it == pairs.end()) throw SetupError("there is no " + pair);
        pairs.erase(it);
        return;
    }
}

}  // namespace setupc
