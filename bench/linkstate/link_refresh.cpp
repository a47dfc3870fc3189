// Times one refresh of the links' states for ten bridges, of which five are connected (servers
// and clients in this process) and five wait for servers nobody connects to: a look of the
// watcher (a read of the system's table and a look for the hub) waited for each time, or with
// "watcher" what a window's timer does (ask the watcher for a look and take the states of its
// last look at once; one round each 10 ms, so that its looks go on meanwhile). Prints "<median ms> <99th percentile ms> <highest
// ms> <connections in the table> <states>" after the given number of rounds.
#include <winsock2.h>

#include "tools/link_watcher.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

SOCKET Listener(int& port) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(s, 1);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return s;
}

SOCKET Client(int port) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<u_short>(port));
    return ::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 ? s : INVALID_SOCKET;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 1000;
    const bool watched = argc > 2 && std::string(argv[2]) == "watcher";
    platform::Handle looked(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    TLinkWatcher watcher([&looked] { ::SetEvent(looked.get()); });
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;

    std::vector<TLinkTarget> targets;
    std::vector<SOCKET> sockets;
    for (int i = 0; i < 10; ++i) {
        int port = 0;
        SOCKET server = Listener(port);
        sockets.push_back(server);
        if (i % 2 == 0) {
            sockets.push_back(Client(port));
            sockets.push_back(::accept(server, nullptr, nullptr));
        }
        targets.push_back({"127.0.0.1", port});
    }

    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::vector<double> ms;
    std::vector<TLinkState> states;
    for (int r = 0; r < rounds; ++r) {
        LARGE_INTEGER t0, t1;
        ::QueryPerformanceCounter(&t0);
        ::ResetEvent(looked.get());
        watcher.Ask();
        if (!watched) ::WaitForSingleObject(looked.get(), INFINITE);
        states = watcher.States(targets, TRun(true));
        ::QueryPerformanceCounter(&t1);
        if (watched) ::Sleep(10);
        ms.push_back(static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
    }
    std::sort(ms.begin(), ms.end());
    std::string words;
    for (TLinkState s : states) words += std::to_string(static_cast<int>(s));
    std::printf("%.3f %.3f %.3f %u %s\n", ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back(),
                static_cast<unsigned>(TcpConnections().size()), words.c_str());
    for (SOCKET s : sockets) ::closesocket(s);
    return 0;
}
