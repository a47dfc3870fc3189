// Every field of the bridge table reaches the tool that uses it: set to a valid value other
// than its default, it comes back from the stand-in hub's or the stand-in setup tool's own
// reading of the command lines the manager builds, and every other value stays as it was.
#include "config/bridge_fields.h"
#include "config/number.h"
#include "setupc/setup_command.h"
#include "support/command_line.h"
#include "support/hub_bridge.h"
#include "tools/hub_args.h"
#include "tools/setup_commands.h"

#include <gtest/gtest.h>

#include <set>
#include <type_traits>

namespace {

// Where each field goes. A new field belongs in at least one list, and its tool's stand-in
// must read it.
const std::set<std::string> kToHub = {"Index", "Baud", "Connect", "IP", "Port", "Delay", "RXDelay"};
const std::set<std::string> kToSetup = {"Index", "COM", "Emulate", "TXDelay"};
const std::set<std::string> kToNoTool = {"Name", "Enabled"};  // the user's own label; whether the bridge is on the line

// The next value after the field's: a flag turned over, a number plus one, a text's last
// digit counted on (else a "1" added).
void Next(TBridge& bridge, const TBridgeField& field) {
    std::visit(
        [&bridge](auto member) {
            auto& value = bridge.*member;
            using T = std::remove_reference_t<decltype(value)>;
            if constexpr (std::is_same_v<T, bool>) {
                value = !value;
            } else if constexpr (std::is_integral_v<T>) {
                value = static_cast<T>(value + 1);
            } else {
                std::string text = value.str();
                if (!text.empty() && text.back() >= '0' && text.back() <= '9')
                    text.back() = static_cast<char>('0' + (text.back() - '0' + 1) % 10);
                else
                    text += '1';
                value = text;
            }
        },
        field.Member);
}

// The defaults, each value its field's rule refuses moved on until the rule takes it.
TBridge Valid() {
    TBridge b;
    for (const TBridgeField& field : BridgeFields) {
        SetFieldText(b, field, field.Default, ParseDecimal);
        for (int i = 0; i < 10 && field.Valid && !field.Valid(b); ++i) Next(b, field);
    }
    return b;
}

// The line the start builds for the bridge in slot 1 alone, as the hub reads it.
std::string HubSees() {
    const std::vector<int> rows{1};
    if (const std::optional<std::string> fault = CheckHubRows(rows)) return "the start refuses: " + *fault;
    const std::string line = BuildHubArguments(rows);
    const hub::ParseResult parsed = hub::ParseArguments(SplitCommandLine(line));
    if (!parsed.model) return "the hub refuses: " + parsed.error + " in" + line;
    const std::vector<hub::Bridge> bridges = hub::Bridges(*parsed.model);
    return bridges.size() == 1 ? hub::Describe(bridges[0]) : "not one bridge in" + line;
}

std::string HubWants(const TBridge& b) {
    hub::Bridge want = HubBridgeOf(b);
    want.tcpPort = 1;
    return hub::Describe(want);
}

std::string Describe(const setupc::Command& c) {
    return Decimal(static_cast<int>(c.verb)) + " pair " + Decimal(c.pair) + " " + c.port.PortName + " EmuBR " +
           (c.port.EmuBR ? "yes" : "no") + " AddRTTO " + Decimal(c.port.AddRTTO) + " AddRITO " + Decimal(c.port.AddRITO);
}

// The install and change lines for the bridge's pair, as the setup tool reads them.
std::string SetupSees(const TBridge& b) {
    std::string seen;
    for (const std::string& line : {InstallArguments(b.Index, b), ChangeArguments(b)}) {
        try {
            seen += Describe(setupc::ParseCommand(SplitCommandLine(line))) + "; ";
        } catch (const setupc::SetupError& e) {
            seen += std::string("the setup tool refuses: ") + e.what() + " in " + line + "; ";
        }
    }
    return seen;
}

std::string SetupWants(const TBridge& b) {
    setupc::Command want;
    want.pair = b.Index;
    want.port = {"COM" + b.COM.str().substr(3, 2), b.Emulate, 0, b.TXDelay};
    std::string text;
    for (setupc::Verb verb : {setupc::Verb::Install, setupc::Verb::Change}) {
        want.verb = verb;
        text += Describe(want) + "; ";
    }
    return text;
}

TEST(BridgeFieldTools, EveryFieldReachesItsToolAndComesBack) {
    const TBridge valid = Valid();
    ASSERT_EQ(InvalidField(valid), nullptr);
    ClearBridges();
    Bridges[1] = valid;
    const std::string hubBefore = HubSees(), setupBefore = SetupSees(valid);
    ASSERT_EQ(hubBefore, HubWants(valid));
    ASSERT_EQ(setupBefore, SetupWants(valid));

    for (const TBridgeField& field : BridgeFields) {
        SCOPED_TRACE(std::string("field ") + field.Name);
        ASSERT_TRUE(kToHub.count(field.Name) + kToSetup.count(field.Name) + kToNoTool.count(field.Name) > 0)
            << "field '" << field.Name << "' goes to no tool: teach the hub or the setup tool (and its stand-in)";
        Bridges[1] = valid;
        Next(Bridges[1], field);
        const TBridge& changed = Bridges[1];
        ASSERT_NE(FieldText(changed, field), field.Default);
        ASSERT_EQ(InvalidField(changed), nullptr) << "the value " << FieldText(changed, field);

        const std::string hub = HubSees(), setup = SetupSees(changed);
        if (field.Name == std::string("Enabled")) {  // off: left out of the hub's line, its pair kept as it is
            EXPECT_EQ(BuildHubArguments({1}).find(" --use-driver=tcp "), std::string::npos);
            EXPECT_EQ(setup, setupBefore);
            continue;
        }
        EXPECT_EQ(hub, HubWants(changed));
        EXPECT_EQ(setup, SetupWants(changed));
        EXPECT_EQ(hub != hubBefore, kToHub.count(field.Name) > 0) << "the hub's line changes with the field";
        EXPECT_EQ(setup != setupBefore, kToSetup.count(field.Name) > 0) << "the setup tool's lines change with the field";
    }
    ClearBridges();
}

}  // namespace
