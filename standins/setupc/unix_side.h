#pragma once
// What the setup tool says to, and hears from, the Unix side of its port pairs under Wine
// (pty-pairs.sh beside the tool). Pure text work.
#include <string>
#include <string_view>
#include <vector>

namespace setupc {

// One argument as the usual Windows splitting of a command line gives it back: in double
// quotes, a quote escaped with a backslash, and the backslashes before a quote doubled.
std::string QuoteArgument(std::string_view arg);

// The arguments quoted and joined by blanks.
std::string JoinArguments(const std::vector<std::string>& args);

// The name of a port's link in the prefix's dosdevices folder: the port name in lower case
// ("COM3" links as "com3"), as Wine looks device names up.
std::string LinkName(std::string_view portName);

// The script's answer: "0", or "1" and a blank and the reason, ended by a line break. An
// answer of another form counts as a failure whose reason is the text itself.
struct Answer {
    bool ok = false;
    std::string reason;
};
Answer ReadAnswer(std::string_view text);

}  // namespace setupc
