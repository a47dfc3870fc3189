// Every field of the bridge table reaches the tool that uses it: set to a valid value other
// than its default, it comes back from the stand-in hub's or the stand-in setup tool's own
// reading of the command lines the manager builds, and every other value stays as it was.
#include "config/bridge_fields.h"
#include "config/number.h"
#include "setupc/setup_command.h"
#include "support/command_line.h"
#include "support/every_field.h"
#include "support/hub_bridge.h"
#include "tools/hub_args.h"
#include "tools/setup_commands.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// Where each field goes. A new field belongs in at least one list: its tool's stand-in must
// read it, and a field no tool reads must be shown, in the dialog or in the list.
const std::set<std::string> kToHub = {"Index", "Baud", "Connect", "IP", "Port", "Delay", "RXDelay", "RFC2217"};
const std::set<std::string> kToSetup = {"Index", "COM", "Emulate", "TXDelay"};
const std::set<std::string> kToNoTool = {"Name", "Enabled"};  // the user's own label; whether the bridge is on the line

// The defaults, each value its field's rule refuses moved on until the rule takes it.
TBridge Valid() {
    TBridge b;
    for (const TBridgeField& field : BridgeFields) {
        SetFieldText(b, field, field.Default, ParseDecimal);
        for (int i = 0; i < 10 && field.Valid && !field.Valid(b); ++i) MoveOn(b, field);
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
            << "field '" << field.Name << "' is in no list: add it to its tool's, or to kToNoTool";
        if (kToNoTool.count(field.Name)) {
            EXPECT_TRUE(field.View.Control != TFieldControl::None || field.Column.Position >= 0) << "it is shown";
        }
        Bridges[1] = valid;
        MoveOn(Bridges[1], field);
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
