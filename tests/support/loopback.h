#pragma once
// Sockets on the loopback address for tests of the link state: a server with a client connected
// to it, and a second server nobody connects to, the two states a bridge's link can show.
#include <winsock2.h>

struct Socket {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    ~Socket() { ::closesocket(s); }
};

inline bool StartWinsock() {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

// Listens on the loopback address; gives the port, 0 when it could not listen.
inline int Listen(const Socket& server) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (::bind(server.s, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(server.s, 1) != 0 ||
        ::getsockname(server.s, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// Connects to a loopback port and gives the server's end, or INVALID_SOCKET.
inline SOCKET ConnectAndAccept(const Socket& client, const Socket& server, int port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<u_short>(port));
    if (port == 0 || ::connect(client.s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return INVALID_SOCKET;
    return ::accept(server.s, nullptr, nullptr);
}

struct LoopbackLinks {
    const bool started = StartWinsock();
    Socket server, idle, client;
    const int port = Listen(server), idlePort = Listen(idle);  // connected, and not
    Socket accepted{ConnectAndAccept(client, server, port)};

    bool Ready() const { return started && idlePort != 0 && accepted.s != INVALID_SOCKET; }
};
