// The stand-in setup tool's two readers, fed the same bytes: as a command line, split as
// Windows splits it, and as its state file. What either accepts, written out again, reads back
// the same; a command applied to the pairs leaves them either changed and well-formed, or, when
// it is refused, as they were.
#include "fuzz_support.h"
#include "common/pair_state.h"
#include "setupc/setup_command.h"

namespace {

using namespace setupc;
using fuzz::Require;

bool Same(const Command& a, const Command& b) { return a.verb == b.verb && a.pair == b.pair && a.port == b.port; }

// The command's arguments in the tool's own form.
std::vector<std::string> Written(const Command& c) {
    const std::string pair = std::to_string(c.pair);
    const std::string port = "PortName=" + c.port.PortName + ",EmuBR=" + (c.port.EmuBR ? "yes" : "no") +
                             ",AddRTTO=" + std::to_string(c.port.AddRTTO) + ",AddRITO=" + std::to_string(c.port.AddRITO);
    switch (c.verb) {
    case Verb::Install: return {"install", pair, "HiddenMode=yes", port};
    case Verb::Change: return {"change", "CNCB" + pair, port};
    case Verb::Remove: break;
    }
    return {"remove", pair};
}

template <class Read>
bool Accepted(Read read) {
    try {
        read();
        return true;
    } catch (const SetupError& e) {
        Require(*e.what() != '\0', "a refusal says why");
        return false;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string_view tail = ArgumentsOf(text);
    Require(tail.data() >= text.data() && tail.data() + tail.size() == text.data() + text.size(),
            "the arguments are the end of the line", fuzz::Shown(text));

    const std::vector<std::string> args = fuzz::SplitCommandLine(text);
    Command command;
    const bool isCommand = Accepted([&] { command = ParseCommand(args); });
    if (isCommand) {
        const std::vector<std::string> written = Written(command);
        Command again;
        Require(Accepted([&] { again = ParseCommand(written); }), "a written command is accepted", fuzz::Joined(written));
        Require(Same(again, command), "a written command reads back the same", fuzz::Joined(args));
    }

    PairList pairs;
    if (!Accepted([&] { pairs = ReadState(text); })) return 0;
    const std::string state = WriteState(pairs);
    PairList reread;
    Require(Accepted([&] { reread = ReadState(state); }), "a written state is accepted", fuzz::Shown(state));
    Require(reread == pairs, "a written state reads back the same", fuzz::Shown(state));

    if (!isCommand) return 0;
    const PairList before = pairs;
    if (!Accepted([&] { Apply(command, pairs); })) {
        Require(pairs == before, "a refused command leaves the pairs as they were", fuzz::Joined(args));
        return 0;
    }
    Require(Accepted([&] { reread = ReadState(WriteState(pairs)); }) && reread == pairs,
            "the pairs after a command are a well-formed state", fuzz::Shown(WriteState(pairs)));
    return 0;
}
