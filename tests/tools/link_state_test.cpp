// The links' states from the system's own TCP table, with a server and its client in this process.
#include <winsock2.h>

#include "support/loopback.h"
#include "support/test_host.h"
#include "tools/link_watcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

TEST(LinkStates, AConnectionToTheServerShowsItsBridgeConnected) {
    if (!UnderWine()) GTEST_SKIP() << "elsewhere the connection's owner, this test, is not the hub";
    const LoopbackLinks links;
    ASSERT_TRUE(links.Ready());
    const int port = links.port, idlePort = links.idlePort;

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

// Reads of the test's own: no hub, an empty table, a resolver that finds nothing. A held look
// waits in the hub look until the test lets it go.
struct TestReads {
    platform::Handle entered{::CreateEventA(nullptr, TRUE, FALSE, nullptr)}, go{::CreateEventA(nullptr, TRUE, TRUE, nullptr)};
    std::atomic<int> looks{0}, lookups{0};

    static TLinkReads Of(const std::shared_ptr<TestReads>& self, bool hubAfterFirstLook = false) {
        TLinkReads reads;
        reads.HubRuns = [self, hubAfterFirstLook] {
            ::SetEvent(self->entered.get());
            ::WaitForSingleObject(self->go.get(), 10000);
            return ++self->looks > 1 && hubAfterFirstLook;
        };
        reads.Table = [] { return TTcpTable{}; };
        reads.LookUp = [self](const std::string&) { return ++self->lookups, std::optional<std::uint32_t>(); };
        reads.RetryAfter = std::chrono::milliseconds(500);
        return reads;
    }
    void Hold() {
        ::ResetEvent(go.get());
        ::ResetEvent(entered.get());
    }
};

TEST(LinkWatcher, ALookUnderWayAtARestartIsDroppedAndTheEndWaitsForNoLook) {
    const auto reads = std::make_shared<TestReads>();
    auto watcher = std::make_unique<TLinkWatcher>(nullptr, TestReads::Of(reads, true));
    reads->Hold();
    watcher->Ask();
    ASSERT_EQ(::WaitForSingleObject(reads->entered.get(), 5000), WAIT_OBJECT_0);
    watcher->Restart();  // the bridges started while the look, which sees no hub, was under way
    ::SetEvent(reads->go.get());
    for (int i = 0; i < 250 && !watcher->HubSeen(); ++i) ::Sleep(20);
    EXPECT_EQ(watcher->HubSeen(), std::optional<bool>(true)) << "only the look after the restart counts";

    reads->Hold();
    watcher->Ask();
    ASSERT_EQ(::WaitForSingleObject(reads->entered.get(), 5000), WAIT_OBJECT_0);
    const DWORD closing = ::GetTickCount();
    watcher.reset();  // as the window closes
    EXPECT_LT(::GetTickCount() - closing, 5000u) << "the end waits a few seconds at most";
    ::SetEvent(reads->go.get());
}

TEST(LinkWatcher, ANameTheResolverCouldNotFindIsAskedAgainAfterTheRetryTimeAndNotBefore) {
    const auto reads = std::make_shared<TestReads>();
    TLinkWatcher watcher(nullptr, TestReads::Of(reads));
    const std::vector<TLinkTarget> named = {{"plc.invalid", 502}};
    const auto lookedUp = [&](int atLeast) {
        for (int i = 0; i < 250 && (reads->lookups < atLeast || watcher.Resolving()); ++i) ::Sleep(10);
        return reads->lookups.load();
    };
    watcher.States(named, true);
    EXPECT_EQ(lookedUp(1), 1);
    watcher.States(named, true);
    ::Sleep(100);
    EXPECT_EQ(lookedUp(1), 1) << "not before the retry time";
    ::Sleep(500);
    watcher.States(named, true);
    EXPECT_EQ(lookedUp(2), 2) << "again after it";
}

}  // namespace
