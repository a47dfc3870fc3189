#pragma once
// The setup tool's three command lines, read into one command. Pure text work.
//
//   install <n> HiddenMode=yes PortName=COM<digits>,EmuBR=yes|no,AddRTTO=<int>,AddRITO=<int>
//   change CNCB<n> PortName=COM<digits>,EmuBR=yes|no,AddRTTO=<int>,AddRITO=<int>
//   remove <n>
//
// A parameter group is a comma-separated list of key=value fields; its keys may come in any
// order but each exactly once. <n> is a pair number: plain decimal from 1 up, no sign, no
// leading zeros. <int> is plain signed decimal within 32 bits. Anything else is refused.
#include "common/pair_settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace setupc {

// The command for the arguments after the program path; throws SetupError when they are not
// exactly one of the three forms.
Command ParseCommand(const std::vector<std::string>& args);

// What follows the program path on a command line, as Windows splits off the path: up to the
// closing quote when it starts with one, else up to the first blank; then blanks are skipped.
std::string_view ArgumentsOf(std::string_view commandLine);

}  // namespace setupc
