#pragma once
// Splits a command line into its arguments the way the Windows runtime does: blanks outside
// double quotes separate, quotes are dropped, and backslashes count only before a quote.
#include <string>
#include <vector>

inline std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i == line.size()) break;
        std::string arg;
        bool quoted = false;
        for (; i < line.size() && (quoted || line[i] != ' '); ++i) {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') ++backslashes, ++i;
            if (i < line.size() && line[i] == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
            } else {
                arg.append(backslashes, '\\');
                if (i < line.size()) arg += line[i]; else break;
            }
        }
        args.push_back(arg);
    }
    return args;
}
