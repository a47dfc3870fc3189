#pragma once
// The setup tool's port pairs as both stand-ins see them: what a pair's CNCB end carries, the
// three commands on the pairs, and the key=value fields that give a port's settings on the
// tool's command line and in its state file. Pure text work.
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

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

// One of the three commands on the pairs.
struct Command {
    Verb verb = Verb::Remove;
    std::int32_t pair = 0;
    PortSettings port;  // install and change only
};

// Text in double quotes, as the error messages show what they refuse.
std::string Quoted(std::string_view text);

// Port names are device names, which Windows compares without letter case.
bool SamePortName(std::string_view a, std::string_view b);

// The "key=value" fields of text, split at separator. Throws SetupError on an empty field, a
// field without "=", an empty key or a key given twice.
using Fields = std::map<std::string, std::string, std::less<>>;
Fields SplitFields(std::string_view text, char separator);

// Takes PortName, EmuBR, AddRTTO and AddRITO out of fields and checks their values; throws
// SetupError when one is missing or malformed. What the caller does not take is unknown.
PortSettings TakePortSettings(Fields& fields);

}  // namespace setupc
