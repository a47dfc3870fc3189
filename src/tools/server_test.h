#pragma once
// A test of a bridge's server, as the bridge dialog offers it: connect, listen to what the
// server says of itself, and ask a telnet server that offers port control for its signature.
// Nothing is sent to a server that has not shown telnet: a raw one may be wired to a device.
#include "tools/telnet_scan.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// Waits for the whole test: the name's lookup and the connection within times.Connect, then the
// greeting and the signature within their own times.
TServerFinding TestServer(const std::string& host, std::uint16_t port, const TServerTestTimes& times = {});

// The same on a worker thread of its own, so that a window stays responsive: onDone runs on that
// thread once the finding is there, unless the object went first. It may go at any time; the
// worker then ends within the test's times by itself.
class TServerTest {
public:
    TServerTest(std::string host, std::uint16_t port, std::function<void()> onDone, TServerTestTimes times = {});
    ~TServerTest();
    TServerTest(const TServerTest&) = delete;
    TServerTest& operator=(const TServerTest&) = delete;

    std::optional<TServerFinding> Finding() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};
