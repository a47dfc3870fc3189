// The links' states from the system's own TCP table, with a server and its client in this process.
#include <winsock2.h>

#include "support/test_host.h"
#include "tools/link_watcher.h"

#include <gtest/gtest.h>

namespace {

struct Socket {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    ~Socket() { ::closesocket(s); }
};

// A server on the loopback address; gives its port.
int Listen(Socket& server) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (::bind(server.s, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(server.s, 1) != 0 ||
        ::getsockname(server.s, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

TEST(LinkStates, AConnectionToTheServerShowsItsBridgeConnected) {
    if (!UnderWine()) GTEST_SKIP() << "elsewhere the connection's owner, this test, is not the hub";
    WSADATA data;
    ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    Socket server, idle, client;
    const int port = Listen(server), idlePort = Listen(idle);
    ASSERT_NE(port, 0);
    ASSERT_NE(idlePort, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<u_short>(port));
    ASSERT_EQ(::connect(client.s, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    Socket accepted{::accept(server.s, nullptr, nullptr)};

    const std::vector<TLinkTarget> targets = {{"127.0.0.1", port}, {"127.0.0.1", idlePort}, {"localhost", port}};
    using S = TLinkState;
    EXPECT_EQ(LinkStates(targets, false), (std::vector<S>{S::Stopped, S::Stopped, S::Stopped}));
    // The name resolves on a worker thread; until then its bridge waits.
    std::vector<S> states = LinkStates(targets, true);
    for (int i = 0; i < 100 && states[2] != S::Connected; ++i, ::Sleep(50)) states = LinkStates(targets, true);
    EXPECT_EQ(states, (std::vector<S>{S::Connected, S::Waiting, S::Connected}));

    TLinkWatcher watcher;  // the same from reads on a thread of its own
    EXPECT_EQ(watcher.States(targets, false), (std::vector<S>{S::Stopped, S::Stopped, S::Stopped}));
    watcher.Ask();
    std::vector<S> watched = watcher.States(targets, true);
    for (int i = 0; i < 100 && watched != states; ++i, ::Sleep(50)) watched = watcher.States(targets, true);
    EXPECT_EQ(watched, states);
}

}  // namespace
