#include "tools/port_pairs.h"

#include "tools/runner.h"
#include "tools/setup_commands.h"
#include "tools/tool_paths.h"

namespace {

DWORD RunSetup(const std::string& arguments) {
    return RunCommand(QuotedToolPath(ToolDir(), SetupExeName), " " + arguments);
}

}  // namespace

bool InstallPortPair(int pair, const TBridge& record) { return InstallSucceeded(RunSetup(InstallArguments(pair, record))); }

bool ChangePortPair(const TBridge& record) { return ChangeSucceeded(RunSetup(ChangeArguments(record))); }

bool RemovePortPair(int index) { return RemoveSucceeded(RunSetup(RemoveArguments(index))); }
