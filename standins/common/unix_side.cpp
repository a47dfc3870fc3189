#include "common/unix_side.h"

#include "platform/ascii.h"

namespace setupc {

std::string QuoteArgument(std::string_view arg) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes stand for themselves unless a quote follows them.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');  // the closing quote follows them
    return quoted + "\"";
}

std::string JoinArguments(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) line += (line.empty() ? "" : " ") + QuoteArgument(arg);
    return line;
}

std::string LinkName(std::string_view portName) {
    std::string name(portName);
    for (char& c : name) c = platform::AsciiLower(c);
    return name;
}

Answer ReadAnswer(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    if (text == "0") return {true, {}};
    if (text.substr(0, 2) == "1 " && text.size() > 2) return {false, std::string(text.substr(2))};
    return {false, text.empty() ? "no answer" : "unexpected answer \"" + std::string(text) + "\""};
}

std::string WhyRefused(Verb verb, Host host) {
    if (verb == Verb::Remove || host == Host::WineWithScript) return {};
    if (host == Host::Windows) return "no port-pair driver on Windows: the real setup tool belongs in this folder";
    return "no port pair can be made: pty-pairs.sh is not beside the tool";
}

}  // namespace setupc
