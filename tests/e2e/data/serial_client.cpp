// A serial program of the tests' own, as a user's program would use a bridge's COM port.
//
//   serial_client echo <port> <seed> <bytes> [<chunk>]
//                                              writes a pattern drawn from the seed and reads
//                                              it back, chunk bytes at a time (1024 unless
//                                              given); "ok <bytes>" and exit code 0, else
//                                              what went wrong and exit code 1
//   serial_client rtt <port> <count> <size>    that many echoes of size bytes, one at a time;
//                                              prints "<median us> <p99 us>"
//   serial_client send <port> <bytes>          writes that many bytes and waits for one byte in
//                                              answer (the server's receipt); prints
//                                              "<bytes> <microseconds>"
//   serial_client gaps <port> <gap ms> <count> writes that many bytes one at a time, that far
//                                              apart, to an echo; prints how many had come back
//                                              before the last was written and the ms from that
//                                              write until all were back: "<bytes> <ms>"
//   serial_client set <port> <baud> <1|2> <rtscts 0|1> [<hold s>]
//                                              sets the speed, the stop bits and RTS/CTS flow
//                                              control; prints the Unix time in ms at which
//                                              SetCommState returned; keeps the port that long
//
// <port> is a name like COM3 (opened as \\.\COM3) or a full device path. Exit code 2: the port
// cannot be opened or set up.
#include "platform/handles.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using platform::FileHandle;

constexpr DWORD ReadTimeoutMs = 10000;
constexpr DWORD Chunk = 1024;  // written, then read back, at a time: no buffer on the way fills

// The pattern of a seed: no two seeds give the same bytes, so data that crosses into another
// bridge is noticed; every byte value comes, and runs of 0xFF.
char PatternByte(unsigned seed, std::size_t i) {
    if (i % 1024 >= 1000) return '\xFF';  // a run of 24 in each 1 KiB: an escape byte of telnet
    return static_cast<char>((seed * 131u + i * 7u + (i >> 8) * 13u + (i >> 16)) & 0xFF);
}

FileHandle OpenPort(const std::string& name) {
    std::string path = name.compare(0, 4, "\\\\.\\") == 0 ? name : "\\\\.\\" + name;
    FileHandle port(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!port) {
        std::printf("cannot open %s (error %lu)\n", path.c_str(), GetLastError());
        return port;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{0, 0, ReadTimeoutMs, 0, 0};  // a read waits for all it asks, up to the time
    if (!GetCommState(port.get(), &dcb)) return FileHandle();
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(port.get(), &dcb) || !SetCommTimeouts(port.get(), &timeouts)) {
        std::printf("cannot set up %s (error %lu)\n", path.c_str(), GetLastError());
        return FileHandle();
    }
    PurgeComm(port.get(), PURGE_RXCLEAR | PURGE_TXCLEAR);
    return port;
}

bool WriteAll(HANDLE port, const char* data, DWORD size) {
    DWORD done = 0;
    return WriteFile(port, data, size, &done, nullptr) && done == size;
}

// Reads exactly size bytes; returns how many came before the time-out.
DWORD ReadAll(HANDLE port, char* data, DWORD size) {
    DWORD total = 0;
    while (total < size) {
        DWORD n = 0;
        if (!ReadFile(port, data + total, size - total, &n, nullptr) || n == 0) break;
        total += n;
    }
    return total;
}

double Microseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

int Echo(HANDLE port, unsigned seed, std::size_t bytes, DWORD chunk) {
    std::string sent(chunk, '\0'), got(chunk, '\0');
    for (std::size_t at = 0; at < bytes; at += chunk) {
        DWORD size = static_cast<DWORD>(std::min<std::size_t>(chunk, bytes - at));
        for (DWORD i = 0; i < size; ++i) sent[i] = PatternByte(seed, at + i);
        if (!WriteAll(port, sent.data(), size)) {
            std::printf("write failed at byte %zu (error %lu)\n", at, GetLastError());
            return 1;
        }
        DWORD n = ReadAll(port, &got[0], size);
        for (DWORD i = 0; i < n; ++i) {
            if (got[i] != sent[i]) {
                std::printf("byte %zu differs: sent %d, got %d\n", at + i, sent[i] & 0xFF, got[i] & 0xFF);
                return 1;
            }
        }
        if (n < size) {
            std::printf("only %zu of %zu bytes came back\n", at + n, bytes);
            return 1;
        }
    }
    std::printf("ok %zu\n", bytes);
    return 0;
}

int RoundTrips(HANDLE port, int count, DWORD size) {
    std::vector<double> times;
    std::string sent(size, '\0'), got(size, '\0');
    for (int k = 0; k < count; ++k) {
        for (DWORD i = 0; i < size; ++i) sent[i] = PatternByte(static_cast<unsigned>(k), i);
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        if (!WriteAll(port, sent.data(), size) || ReadAll(port, &got[0], size) != size || got != sent) {
            std::printf("echo %d failed\n", k);
            return 1;
        }
        QueryPerformanceCounter(&t1);
        times.push_back(Microseconds(t0, t1));
    }
    std::sort(times.begin(), times.end());
    auto at = [&](double q) { return times[std::min(times.size() - 1, static_cast<std::size_t>(q * times.size()))]; };
    std::printf("%.0f %.0f\n", at(0.5), at(0.99));
    return 0;
}

int Send(HANDLE port, std::size_t bytes) {
    std::string block(65536, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = PatternByte(1, i);
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    for (std::size_t at = 0; at < bytes; at += block.size()) {
        DWORD size = static_cast<DWORD>(std::min<std::size_t>(block.size(), bytes - at));
        if (!WriteAll(port, block.data(), size)) {
            std::printf("write failed at byte %zu (error %lu)\n", at, GetLastError());
            return 1;
        }
    }
    char receipt = 0;
    if (ReadAll(port, &receipt, 1) != 1) {
        std::printf("no receipt from the server\n");
        return 1;
    }
    QueryPerformanceCounter(&t1);
    std::printf("%zu %.0f\n", bytes, Microseconds(t0, t1));
    return 0;
}

int Gaps(HANDLE port, DWORD gapMs, DWORD count) {
    std::string sent(count, '\0'), got(count, '\0');
    DWORD back = 0;
    LARGE_INTEGER last{}, done;
    for (DWORD i = 0; i < count; ++i) {
        if (i > 0) {
            Sleep(gapMs);
            COMSTAT stat{};
            DWORD errors = 0;
            if (ClearCommError(port, &errors, &stat) && stat.cbInQue > 0)
                back += ReadAll(port, &got[back], std::min(stat.cbInQue, count - back));
        }
        sent[i] = PatternByte(9, i);
        QueryPerformanceCounter(&last);
        if (!WriteAll(port, &sent[i], 1)) {
            std::printf("write failed at byte %lu (error %lu)\n", i, GetLastError());
            return 1;
        }
    }
    DWORD before = back;
    back += ReadAll(port, &got[back], count - back);
    QueryPerformanceCounter(&done);
    if (back < count || got != sent) {
        std::printf(back < count ? "only %lu of %lu bytes came back\n" : "%lu of %lu bytes came back changed\n", back, count);
        return 1;
    }
    std::printf("%lu %.0f\n", before, Microseconds(last, done) / 1000);
    return 0;
}

int Set(HANDLE port, DWORD baud, int stopBits, bool rtsCts, DWORD holdMs) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return 1;
    dcb.BaudRate = baud;
    dcb.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fOutxCtsFlow = rtsCts;
    dcb.fRtsControl = rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    if (!SetCommState(port, &dcb)) {
        std::printf("cannot set the port (error %lu)\n", GetLastError());
        return 1;
    }
    FILETIME now;  // 100 ns steps since 1601
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    std::printf("%llu\n", (t.QuadPart - 116444736000000000ULL) / 10000);
    std::fflush(stdout);
    Sleep(holdMs);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool known = (args.size() == 4 && (args[0] == "echo" || args[0] == "rtt" || args[0] == "gaps")) ||
                 (args.size() == 5 && args[0] == "echo" && std::atoi(args[4].c_str()) > 0) ||
                 ((args.size() == 5 || args.size() == 6) && args[0] == "set") ||
                 (args.size() == 3 && args[0] == "send");
    if (!known) {
        std::printf("usage: serial_client echo <port> <seed> <bytes> [<chunk>] | rtt <port> <count> <size> | send <port> <bytes> | "
                    "gaps <port> <gap ms> <count> | set <port> <baud> <1|2> <rtscts 0|1> [<hold s>]\n");
        return 2;
    }
    FileHandle port = OpenPort(args[1]);
    if (!port) return 2;
    int code = 1;
    if (args[0] == "echo")
        code = Echo(port.get(), static_cast<unsigned>(std::strtoul(args[2].c_str(), nullptr, 10)),
                    std::strtoull(args[3].c_str(), nullptr, 10),
                    args.size() == 5 ? static_cast<DWORD>(std::atoi(args[4].c_str())) : Chunk);
    else if (args[0] == "rtt")
        code = RoundTrips(port.get(), std::atoi(args[2].c_str()), static_cast<DWORD>(std::atoi(args[3].c_str())));
    else if (args[0] == "set")
        code = Set(port.get(), static_cast<DWORD>(std::atoi(args[2].c_str())), std::atoi(args[3].c_str()), args[4] == "1",
                   args.size() == 6 ? static_cast<DWORD>(std::atoi(args[5].c_str())) * 1000 : 0);
    else if (args[0] == "gaps")
        code = Gaps(port.get(), static_cast<DWORD>(std::atoi(args[2].c_str())),
                    static_cast<DWORD>(std::atoi(args[3].c_str())));
    else
        code = Send(port.get(), std::strtoull(args[2].c_str(), nullptr, 10));
    std::fflush(stdout);
    return code;
}
