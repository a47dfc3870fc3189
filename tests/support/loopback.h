#pragma once
// Sockets on the loopback address for tests of the link state: a server with a client connected
// to it, and a second server nobody connects to, the two states a bridge's link can show.
#include <winsock2.h>

struct Socket {
    explicit Socket(SOCKET given = ::socket(AF_INET, SOCK_STREAM, 0)) : s(given) {}
    ~Socket() {
        if (s != INVALID_SOCKET) ::closesocket(s);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET s;
};

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
    struct Session {
        Session() {
            WSADATA data;
            started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
        }
        ~Session() {
            if (started) ::WSACleanup();
        }
        bool started = false;
    } session;
    Socket server, idle, client;
    const int port = Listen(server), idlePort = Listen(idle);  // connected, and not
    Socket accepted{ConnectAndAccept(client, server, port)};

    bool Ready() const { return session.started && idlePort != 0 && accepted.s != INVALID_SOCKET; }
};
