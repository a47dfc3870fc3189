// The stand-in hub's command line: any text, split as Windows splits it, is either refused
// with a reason or read into a model that its own rebuilt arguments and rebuilt line give back
// unchanged.
#include "fuzz_support.h"
#include "hub/hub_cmdline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> args = fuzz::SplitCommandLine(line);
    const hub::ParseResult parsed = hub::ParseArguments(args);
    if (!parsed.model) {
        fuzz::Require(!parsed.error.empty(), "a refused line says why", fuzz::Joined(args));
        return 0;
    }
    const hub::Model& model = *parsed.model;

    const std::vector<std::string> rebuilt = hub::BuildArguments(model);
    const hub::ParseResult again = hub::ParseArguments(rebuilt);
    fuzz::Require(again.model.has_value(), "rebuilt arguments are accepted",
                  fuzz::Joined(args) + "\nrebuilt " + fuzz::Joined(rebuilt) + "\n" + again.error);
    fuzz::Require(*again.model == model, "rebuilt arguments give the same model",
                  fuzz::Joined(args) + "\nrebuilt " + fuzz::Joined(rebuilt));

    const std::string rebuiltLine = hub::BuildLine(model);
    const std::vector<std::string> split = fuzz::SplitCommandLine(rebuiltLine);
    fuzz::Require(split == rebuilt, "the rebuilt line splits into the rebuilt arguments",
                  fuzz::Shown(rebuiltLine) + "\n" + fuzz::Joined(split));

    // What the hub logs about the bridges it serves.
    for (const hub::Bridge& bridge : hub::Bridges(model))
        fuzz::Require(!hub::Describe(bridge).empty(), "every bridge is described");
    return 0;
}
