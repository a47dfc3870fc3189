// The plainest relay a Windows program can be: a serial port to a TCP server, one process per
// port and one thread per direction, blocking 64 KB reads that wait for their first byte as long
// as it takes and end after 1 ms of quiet. What it moves under Wine is what Wine lets any
// Windows program move between a port and a socket. Connects first, then opens the port and
// prints "connected"; runs until it is ended or either side fails.
// Usage: relay <port path> <host> <tcp port>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

constexpr DWORD BufferSize = 65536;

void PortToSocket(HANDLE port, SOCKET s) {
    std::string buffer(BufferSize, '\0');
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(port, &buffer[0], BufferSize, &n, nullptr)) break;
        for (DWORD at = 0; at < n;) {
            int sent = send(s, buffer.data() + at, static_cast<int>(n - at), 0);
            if (sent <= 0) return;
            at += static_cast<DWORD>(sent);
        }
    }
}

void SocketToPort(SOCKET s, HANDLE port) {
    std::string buffer(BufferSize, '\0');
    for (;;) {
        int n = recv(s, &buffer[0], static_cast<int>(BufferSize), 0);
        if (n <= 0) return;
        for (DWORD at = 0; at < static_cast<DWORD>(n);) {
            DWORD done = 0;
            if (!WriteFile(port, buffer.data() + at, static_cast<DWORD>(n) - at, &done, nullptr)) return;
            at += done;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: relay <port path> <host> <tcp port>\n");
        return 2;
    }
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 2;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* server = nullptr;
    if (getaddrinfo(argv[2], argv[3], &hints, &server) != 0) return 2;
    SOCKET s = socket(server->ai_family, server->ai_socktype, server->ai_protocol);
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    if (s == INVALID_SOCKET || connect(s, server->ai_addr, static_cast<int>(server->ai_addrlen)) != 0) {
        std::fprintf(stderr, "cannot connect (error %d)\n", WSAGetLastError());
        return 2;
    }
    HANDLE port = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{1, 0, 0, 0, 0};
    if (port == INVALID_HANDLE_VALUE || !GetCommState(port, &dcb)) return 2;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
    if (!SetCommState(port, &dcb) || !SetCommTimeouts(port, &timeouts)) return 2;
    std::printf("connected\n");
    std::fflush(stdout);
    std::thread toPort(SocketToPort, s, port);
    PortToSocket(port, s);
    std::_Exit(0);
}
