#pragma once
// The port pairs the setup tool keeps, their text form in the state file, and the three
// commands' effect on them. Pure logic.
//
// The state file holds comment lines starting with "#" and one line per pair: its number, a
// blank, then what its CNCB end carries as blank-separated key=value fields:
//
//   1 PortName=COM3 EmuBR=yes AddRTTO=0 AddRITO=10
//
// A pair is known by its number and by its port name; neither may repeat.
#include "common/pair_settings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace setupc {

struct PortPair {
    std::int32_t Number = 0;
    PortSettings Port;  // the CNCB end

    bool operator==(const PortPair& o) const { return Number == o.Number && Port == o.Port; }
};

using PairList = std::vector<PortPair>;  // ordered by number

// The pairs of a state file's text; the empty text holds none. Throws SetupError, naming the
// line, on anything that is not a well-formed pair, on an unknown field, and on a number or
// a port name that repeats, so that a damaged file is refused rather than overwritten.
PairList ReadState(std::string_view text);

// The text ReadState reads back to the same pairs.
std::string WriteState(const PairList& pairs);

// Carries out a command on the pairs, or throws SetupError and leaves them as they were:
// install of a number that exists or of a port name another pair has, change of a pair that
// does not exist or to a port name another pair has, remove of a pair that does not exist.
void Apply(const Command& command, PairList& pairs);

}  // namespace setupc
