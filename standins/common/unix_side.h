#pragma once
// What the setup tool says to, and hears from, the Unix side of its port pairs under Wine
// (pty-pairs.sh beside the tool), and where it can make them at all. Pure text work.
#include "common/pair_settings.h"

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

// A pair the command needs that cannot be made, or ended, for real; the tool logs why.
class PairNotMade : public SetupError {
public:
    using SetupError::SetupError;
};

// Where the tool runs, as far as making its pairs real goes.
enum class Host {
    Windows,        // no port-pair driver of its own: the real tool belongs here
    Wine,           // under Wine, but pty-pairs.sh is not beside the tool
    WineWithScript  // under Wine with pty-pairs.sh: each pair becomes real
};

// Why the command must be refused on this host, or the empty text when it can be carried out.
// Install and change promise a port that opens, so they are refused wherever no pair can be
// made; a remove only forgets a pair that was never real.
std::string WhyRefused(Verb verb, Host host);

}  // namespace setupc
