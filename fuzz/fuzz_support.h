#pragma once
// What the fuzz targets share: the check that stops a run on a broken property, Windows' way
// of splitting a command line into arguments, and a reader that turns the fuzzer's bytes into
// values.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// Each target defines it; libFuzzer drives it, or replay_main.cpp with the files of a corpus.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fuzz {

// A broken property is a crash to the fuzzer, and a failed test when a corpus is replayed.
inline void Require(bool holds, const char* property, const std::string& detail = {}) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n%s\n", property, detail.c_str());
    std::abort();
}

// The text with every byte outside printable ASCII written as \xNN, for messages.
inline std::string Shown(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string shown;
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            shown += c;
        } else {
            shown += "\\x";
            shown += hex[b >> 4];
            shown += hex[b & 15];
        }
    }
    return shown;
}

// The arguments of a command line after the program's name, split as the C runtime of a
// Windows program splits them: blanks and tabs separate arguments outside double quotes; 2n
// backslashes before a double quote give n backslashes and the quote opens or closes a quoted
// part, 2n+1 give n backslashes and a literal quote; other backslashes stand as they are.
inline std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    std::string arg;
    bool inArg = false;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size();) {
        char c = line[i];
        if ((c == ' ' || c == '\t') && !quoted) {
            if (inArg) args.push_back(arg);
            arg.clear();
            inArg = false;
            ++i;
            continue;
        }
        inArg = true;
        if (c == '\\') {
            std::size_t n = 0;
            while (i < line.size() && line[i] == '\\') ++n, ++i;
            if (i < line.size() && line[i] == '"') {
                arg.append(n / 2, '\\');
                if (n % 2) arg += '"', ++i;
            } else {
                arg.append(n, '\\');
            }
        } else if (c == '"') {
            quoted = !quoted;
            ++i;
        } else {
            arg += c;
            ++i;
        }
    }
    if (inArg) args.push_back(arg);
    return args;
}

inline std::string Joined(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& a : args) text += "[" + Shown(a) + "]";
    return text;
}

// Values taken from the front of the fuzzer's bytes; zeros once they run out.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return size_ == 0; }
    std::uint8_t Byte() {
        if (size_ == 0) return 0;
        --size_;
        return *data_++;
    }
    std::uint32_t Word() {
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i) w = w << 8 | Byte();
        return w;
    }
    std::int32_t Int() { return static_cast<std::int32_t>(Word()); }
    // A text of up to max bytes, its length taken first.
    std::string Text(std::size_t max) {
        std::string text(Byte() % (max + 1), '\0');
        for (char& c : text) c = static_cast<char>(Byte());
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace fuzz
