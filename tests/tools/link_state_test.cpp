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
    const std::vector<S> connected = {S::Connected, S::Waiting, S::Connected};
    TLinkWatcher watcher;
    EXPECT_EQ(watcher.States(targets, TRun()), (std::vector<S>{S::Stopped, S::Stopped, S::Stopped}));
    // The name resolves on the watcher's thread; until a look after that, its bridge waits.
    watcher.States(targets, TRun(true));
    std::vector<S> states;
    for (int i = 0; i < 100 && states != connected; ++i, ::Sleep(50)) {
        watcher.Ask();
        states = watcher.States(targets, TRun(true));
    }
    EXPECT_EQ(states, connected);
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
    std::unique_ptr<TLinkWatcher> watcher;
    std::atomic<int> firstRead{-1};  // what the first look reported saw of the hub
    watcher = std::make_unique<TLinkWatcher>([&] { int none = -1; firstRead.compare_exchange_strong(none, *watcher->HubSeen()); },
                                             TestReads::Of(reads, true));
    reads->Hold();
    watcher->Ask();
    ASSERT_EQ(::WaitForSingleObject(reads->entered.get(), 5000), WAIT_OBJECT_0);
    watcher->Restart();  // the bridges started while the look, which sees no hub, was under way
    ::SetEvent(reads->go.get());
    for (int i = 0; i < 250 && !watcher->HubSeen(); ++i) ::Sleep(20);
    EXPECT_EQ(watcher->HubSeen(), std::optional<bool>(true)) << "only the look after the restart counts";
    EXPECT_EQ(firstRead, 1) << "the look under way at the restart was reported";

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
    watcher.States(named, TRun(true));
    EXPECT_EQ(lookedUp(1), 1);
    watcher.States(named, TRun(true));
    ::Sleep(100);
    EXPECT_EQ(lookedUp(1), 1) << "not before the retry time";
    ::Sleep(500);
    watcher.States(named, TRun(true));
    EXPECT_EQ(lookedUp(2), 2) << "again after it";
}

TEST(LinkWatcher, NamesAreLookedUpApartAndAFoundOneOutlivesAResolverThatFalters) {
    struct Resolver {
        platform::Handle letGo{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
        std::atomic<int> plcLookups{0}, looks{0};
    };
    const auto resolver = std::make_shared<Resolver>();
    TLinkReads reads;
    reads.HubRuns = [] { return true; };
    reads.Table = [] {
        TTcpTable table;
        table.Connections = {{0x7F000001, 502, 0}};  // 127.0.0.1:502
        return table;
    };
    reads.LookUp = [resolver](const std::string& host) -> std::optional<std::uint32_t> {
        if (host == "hang.invalid") ::WaitForSingleObject(resolver->letGo.get(), 10000);
        if (host == "plc.example" && resolver->plcLookups++ == 0) return 0x7F000001u;  // found once, then not
        return std::nullopt;
    };
    reads.RetryAfter = reads.RenewAfter = std::chrono::milliseconds(100);
    TLinkWatcher watcher([resolver] { ++resolver->looks; }, reads);
    std::vector<TLinkTarget> targets = {{"127.0.0.1", 502}, {"plc.example", 502}, {"nosuchhost.invalid", 502}};
    using S = TLinkState;
    const auto settled = [&] {
        for (int i = 0, looks = resolver->looks; i < 250 && (watcher.Resolving() || resolver->looks == looks); ++i)
            ::Sleep(10), watcher.Ask();
        return watcher.States(targets, TRun(true));
    };
    watcher.States(targets, TRun(true));
    EXPECT_EQ(settled(), (std::vector<S>{S::Connected, S::Connected, S::Waiting}));
    EXPECT_TRUE(watcher.Looks(targets, TRun(true))[2].NameNotFound);
    ::Sleep(150);  // past the renewal, which finds nothing
    watcher.States(targets, TRun(true));
    EXPECT_EQ(settled(), (std::vector<S>{S::Connected, S::Connected, S::Waiting}));
    EXPECT_EQ(resolver->plcLookups, 2);

    targets.push_back({"hang.invalid", 502});  // a resolver that does not answer for it
    watcher.States(targets, TRun(true));
    const int looks = resolver->looks;
    const DWORD asked = ::GetTickCount();
    for (int i = 0; i < 100 && resolver->looks < looks + 3; ++i) ::Sleep(10), watcher.Ask();
    EXPECT_LT(::GetTickCount() - asked, 1000u) << "the looks went on";
    EXPECT_EQ(watcher.States(targets, TRun(true)), (std::vector<S>{S::Connected, S::Connected, S::Waiting, S::Waiting}));
    ::SetEvent(resolver->letGo.get());
}

}  // namespace
