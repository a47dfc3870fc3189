#pragma once
// Sockets on the loopback address for tests of the link state: a server, and a client of it.
#include <winsock2.h>

struct Socket {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    ~Socket() { ::closesocket(s); }
};

// A server on the loopback address; gives its port, 0 when it could not listen.
inline int Listen(Socket& server) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (::bind(server.s, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(server.s, 1) != 0 ||
        ::getsockname(server.s, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// Connects a client to a loopback port; true when it is connected.
inline bool Connect(Socket& client, int port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<u_short>(port));
    return ::connect(client.s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
}
