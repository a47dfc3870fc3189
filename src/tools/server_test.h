#pragma once
// A test of a bridge's server, as the bridge dialog offers it: connect, listen to what the
// server says of itself, and ask a telnet server that offers port control for its signature.
// Nothing is sent to a server that has not shown telnet (a raw one may be wired to a device),
// except by a test for a bridge with port control: it offers port control (WILL COM-PORT) to a
// server that keeps silent, as the bridge's own connection would.
#include "tools/telnet_scan.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// The test on a worker thread, so that a window stays responsive: the name's lookup and the
// connection within times.Connect, then the greeting and the signature within their own times;
// with portControl, a server silent through the greeting's time is offered port control and given
// the signature's time to take it. onDone runs on the worker once the finding is there, unless the
// object went first. It may go at any time; the worker then ends within the test's times (or once a
// name's lookup that outlasted them ends), and one still at work when the program ends is waited for.
class TServerTest {
public:
    TServerTest(std::string host, std::uint16_t port, bool portControl, std::function<void()> onDone,
                TServerTestTimes times = {});
    ~TServerTest();
    TServerTest(const TServerTest&) = delete;
    TServerTest& operator=(const TServerTest&) = delete;

    std::optional<TServerFinding> Finding() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};
