// Round trips of <size> bytes between two threads over a loopback TCP connection, blocking
// calls as the hub makes them: prints "<median us> <p99 us>".
// Usage: winsock_rtt <count> <size>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

bool Exchange(SOCKET s, std::string& data, bool sendFirst) {
    auto sendAll = [&] {
        for (std::size_t at = 0; at < data.size();) {
            int n = send(s, data.data() + at, static_cast<int>(data.size() - at), 0);
            if (n <= 0) return false;
            at += static_cast<std::size_t>(n);
        }
        return true;
    };
    auto recvAll = [&] {
        for (std::size_t at = 0; at < data.size();) {
            int n = recv(s, &data[at], static_cast<int>(data.size() - at), 0);
            if (n <= 0) return false;
            at += static_cast<std::size_t>(n);
        }
        return true;
    };
    return sendFirst ? sendAll() && recvAll() : recvAll() && sendAll();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: winsock_rtt <count> <size>\n");
        return 2;
    }
    int count = std::atoi(argv[1]);
    std::size_t size = static_cast<std::size_t>(std::atoi(argv[2]));
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0 || count < 1 || size < 1) return 2;

    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 2;

    std::thread echo([&] {
        SOCKET peer = accept(listener, nullptr, nullptr);
        std::string data(size, '\0');
        while (Exchange(peer, data, false)) {
        }
        closesocket(peer);
    });

    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 2;

    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    std::string data(size, 'x');
    for (int i = 0; i < count; ++i) {
        QueryPerformanceCounter(&t0);
        if (!Exchange(s, data, true)) return 1;
        QueryPerformanceCounter(&t1);
        times.push_back(static_cast<double>(t1.QuadPart - t0.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart));
    }
    closesocket(s);
    echo.join();
    closesocket(listener);
    std::sort(times.begin(), times.end());
    std::printf("%.0f %.0f\n", times[times.size() / 2], times[std::min(times.size() - 1, times.size() * 99 / 100)]);
    return 0;
}
