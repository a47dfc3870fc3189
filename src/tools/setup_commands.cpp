#include "tools/setup_commands.h"

#include "config/number.h"

namespace {

// The parameter group that install and change give the pair's COM end. The port's number is
// the COM text from its fourth character on, at most two characters.
std::string PortParameters(const TBridge& record) {
    std::string_view com = record.COM.view();
    std::string_view number = com.size() > 3 ? com.substr(3, 2) : std::string_view();
    std::string group = "PortName=COM";
    group += number;
    group += ",EmuBR=";
    group += record.Emulate ? "yes" : "no";
    group += ",AddRTTO=0,AddRITO=" + Decimal(record.TXDelay);
    return group;
}

}  // namespace

std::string InstallArguments(int pair, const TBridge& record) {
    return "install " + Decimal(pair) + " HiddenMode=yes " + PortParameters(record);
}

std::string ChangeArguments(const TBridge& record) {
    return "change CNCB" + Decimal(record.Index) + " " + PortParameters(record);
}

std::string RemoveArguments(int index) { return "remove " + Decimal(index); }

bool InstallSucceeded(std::uint32_t exitCode) { return exitCode == 0; }
bool ChangeSucceeded(std::uint32_t exitCode) { return exitCode == 0; }
bool RemoveSucceeded(std::uint32_t exitCode) { return exitCode < 10; }
