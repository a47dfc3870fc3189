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
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace setupc {

// A command the tool cannot carry out: a malformed command line, a refused change of the
// pairs, or a state file it cannot read or write. The message says which.
class SetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the CNCB end of a pair carries.
struct PortSettings {
    std::string PortName;  // "COM" and digits, the letters as given
    bool EmuBR = false;
    std::int32_t AddRTTO = 0;
    std::int32_t AddRITO = 0;

    bool operator==(const PortSettings& o) const {
        return PortName == o.PortName && EmuBR == o.EmuBR && AddRTTO == o.AddRTTO && AddRITO == o.AddRITO;
    }
};

enum class Verb { Install, Change, Remove };

struct Command {
    Verb verb = Verb::Remove;
    std::int32_t pair = 0;
    PortSettings port;  // install and change only
};

// The command for the arguments after the program path; throws SetupError when they are not
// exactly one of the three forms.
Command ParseCommand(const std::vector<std::string>& args);

// Port names are device names, which Windows compares without letter case.
bool SamePortName(std::string_view a, std::string_view b);

// The "key=value" fields of text, split at separator. Throws SetupError on an empty field, a
// field without "=", an empty key or a key given twice.
using Fields = std::map<std::string, std::string, std::less<>>;
Fields SplitFields(std::string_view text, char separator);

// Takes PortName, EmuBR, AddRTTO and AddRITO out of fields and checks their values; throws
// SetupError when one is missing or malformed. What the caller does not take is unknown.
PortSettings TakePortSettings(Fields& fields);

// What follows the program path on a command line, as Windows splits off the path: up to the
// closing quote when it starts with one, else up to the first blank; then blanks are skipped.
std::string_view ArgumentsOf(std::string_view commandLine);

}  // namespace setupc
