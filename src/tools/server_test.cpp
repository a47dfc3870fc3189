// Winsock before <windows.h>, which the other headers bring in.
#include <winsock2.h>

#include "tools/server_test.h"

#include "platform/handles.h"
#include "platform/module.h"
#include "tools/link_match.h"
#include "tools/link_reads.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <utility>
#include <variant>

namespace {

using Clock = std::chrono::steady_clock;

// The socket calls, loaded from the system folder at the first test, as the resolver's are: most
// starts of the program test nothing.
struct Sockets {
    decltype(&::socket) open = nullptr;
    decltype(&::closesocket) close = nullptr;
    decltype(&::ioctlsocket) control = nullptr;
    decltype(&::connect) connect = nullptr;
    decltype(&::select) select = nullptr;
    decltype(&::getsockopt) option = nullptr;
    decltype(&::recv) receive = nullptr;
    decltype(&::send) send = nullptr;
    decltype(&::WSAGetLastError) lastError = nullptr;
    bool ready = false;
};
const Sockets& TheSockets() {
    static const Sockets sockets = [] {
        Sockets s;
        HMODULE winsock = platform::SystemLibrary("ws2_32.dll");
        if (!winsock) return s;
        const auto startup = platform::ProcAddress<decltype(&::WSAStartup)>(winsock, "WSAStartup");
        s.open = platform::ProcAddress<decltype(s.open)>(winsock, "socket");
        s.close = platform::ProcAddress<decltype(s.close)>(winsock, "closesocket");
        s.control = platform::ProcAddress<decltype(s.control)>(winsock, "ioctlsocket");
        s.connect = platform::ProcAddress<decltype(s.connect)>(winsock, "connect");
        s.select = platform::ProcAddress<decltype(s.select)>(winsock, "select");
        s.option = platform::ProcAddress<decltype(s.option)>(winsock, "getsockopt");
        s.receive = platform::ProcAddress<decltype(s.receive)>(winsock, "recv");
        s.send = platform::ProcAddress<decltype(s.send)>(winsock, "send");
        s.lastError = platform::ProcAddress<decltype(s.lastError)>(winsock, "WSAGetLastError");
        WSADATA data;
        s.ready = startup && s.open && s.close && s.control && s.connect && s.select && s.option && s.receive &&
                  s.send && s.lastError && startup(MAKEWORD(2, 2), &data) == 0;
        return s;
    }();
    return sockets;
}

struct SocketTraits {
    using handle_type = SOCKET;
    static handle_type invalid() noexcept { return INVALID_SOCKET; }
    static void close(handle_type s) noexcept { TheSockets().close(s); }
};
using Socket = platform::UniqueHandle<SocketTraits>;

// The address of a host, or why there is none: NameNotFound, or NoAnswer when the resolver keeps
// silent until the deadline. It is asked on a thread of its own, handed to the caller in lookup:
// the answer is not awaited past the deadline, the thread is, by whoever owns it.
std::variant<std::uint32_t, TServerAnswer> Resolve(const std::string& host, Clock::time_point deadline,
                                                   std::thread& lookup) {
    if (std::optional<std::uint32_t> address = ParseIPv4(host)) return *address;
    struct Found {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<std::optional<std::uint32_t>> address;
    };
    const auto found = std::make_shared<Found>();
    lookup = std::thread([found, host] {
        std::optional<std::uint32_t> address = LookUpHost(host);
        const std::lock_guard<std::mutex> lock(found->mutex);
        found->address = address;
        found->done.notify_one();
    });
    std::unique_lock<std::mutex> lock(found->mutex);
    if (!found->done.wait_until(lock, deadline, [&] { return found->address.has_value(); }))
        return TServerAnswer::NoAnswer;
    if (!*found->address) return TServerAnswer::NameNotFound;
    return **found->address;
}

// Whether the socket became ready to write (connected) or to read, or failed, before the deadline.
bool Ready(SOCKET s, bool toWrite, Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    timeval wait{static_cast<long>(left / 1000000), static_cast<long>(left % 1000000)};
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_SET(s, &ready);
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    return TheSockets().select(0, toWrite ? nullptr : &ready, toWrite ? &ready : nullptr, &failed, &wait) > 0;
}

// Feeds what the server sends to scan until enough says so, the deadline passes or the
// connection ends.
void Listen(SOCKET s, TTelnetScan& scan, Clock::time_point deadline, bool (TTelnetScan::*enough)() const) {
    char buffer[512];
    while (!(scan.*enough)() && Ready(s, false, deadline)) {
        const int n = TheSockets().receive(s, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        scan.Feed({buffer, static_cast<std::size_t>(n)});
    }
}

// Connects within the deadline; nothing when connected, else why not.
std::optional<TServerAnswer> Connect(SOCKET s, std::uint32_t address, std::uint16_t port, Clock::time_point deadline) {
    const Sockets& api = TheSockets();
    u_long nonBlocking = 1;
    if (api.control(s, static_cast<long>(FIONBIO), &nonBlocking) != 0) return TServerAnswer::NoAnswer;
    // In network byte order, byte by byte: htons and its kin would bind the program to ws2_32.
    sockaddr_in to{};
    to.sin_family = AF_INET;
    auto* portBytes = reinterpret_cast<unsigned char*>(&to.sin_port);
    portBytes[0] = static_cast<unsigned char>(port >> 8);
    portBytes[1] = static_cast<unsigned char>(port);
    auto* addressBytes = reinterpret_cast<unsigned char*>(&to.sin_addr);
    for (int i = 0; i < 4; ++i) addressBytes[i] = static_cast<unsigned char>(address >> (24 - 8 * i));

    int error = 0;
    if (api.connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        error = api.lastError();
        if (error == WSAEWOULDBLOCK) {
            if (!Ready(s, true, deadline)) return TServerAnswer::NoAnswer;
            int size = sizeof error;
            if (api.option(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) error = WSAEWOULDBLOCK;
        }
    }
    if (error == 0) return std::nullopt;
    // An unreachable host or network is a server that does not answer, too.
    return error == WSAECONNREFUSED ? TServerAnswer::Refused : TServerAnswer::NoAnswer;
}

// Sends the whole of bytes; false when the connection took less.
bool Send(SOCKET s, const std::string& bytes) {
    return TheSockets().send(s, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
}

// Waits for the whole test: the name's lookup and the connection within times.Connect, then the
// greeting and the signature within their own times; with portControl, a server silent through
// the greeting's time is offered port control and given the signature's time to take it. A name's
// lookup that outlasts its time goes on in lookup, for the caller to wait for.
TServerFinding TestServer(const std::string& host, std::uint16_t port, bool portControl, const TServerTestTimes& times,
                          std::thread& lookup) {
    const Clock::time_point deadline = Clock::now() + times.Connect;
    const std::variant<std::uint32_t, TServerAnswer> address = Resolve(host, deadline, lookup);
    if (const auto* failure = std::get_if<TServerAnswer>(&address)) return {*failure, {}};
    const Sockets& api = TheSockets();
    if (!api.ready) return {TServerAnswer::NoAnswer, {}};
    const Socket s(api.open(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s) return {TServerAnswer::NoAnswer, {}};
    if (const std::optional<TServerAnswer> failure = Connect(s.get(), std::get<std::uint32_t>(address), port, deadline))
        return {*failure, {}};

    TTelnetScan scan;
    Listen(s.get(), scan, Clock::now() + times.Greeting, &TTelnetScan::PortControl);
    // A port-control server may wait for the client's offer, which the bridge would make too.
    const bool offered = portControl && !scan.Heard() && Send(s.get(), PortControlOffer());
    if (offered) {
        scan.Offered();
        Listen(s.get(), scan, Clock::now() + times.Signature, &TTelnetScan::PortControl);
    }
    if (scan.PortControl() && Send(s.get(), SignatureRequest(scan.AskedForPortControl() && !offered)))
        Listen(s.get(), scan, Clock::now() + times.Signature, &TTelnetScan::Signed);
    return {scan.Answer(), scan.Signature()};
}

// The tests' workers, each kept until it has ended; those still at work when the program's
// statics go are waited for (each ends within its test's times, or once its name's lookup ends).
class TWorkers {
public:
    void Add(std::function<void()> work) {
        auto ended = std::make_shared<std::atomic<bool>>(false);
        std::thread worker([work = std::move(work), ended] {
            work();
            *ended = true;
        });
        const std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {  // the ended ones go
            if (*it->second) {
                it->first.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
        workers_.emplace_back(std::move(worker), std::move(ended));
    }
    ~TWorkers() {
        for (auto& worker : workers_) worker.first.join();
    }

private:
    std::mutex mutex_;
    std::list<std::pair<std::thread, std::shared_ptr<std::atomic<bool>>>> workers_;
};

// Made after the sockets' calls, so that it goes before them.
TWorkers& Workers() {
    TheSockets();
    static TWorkers workers;
    return workers;
}

}  // namespace

struct TServerTest::Shared {
    std::mutex mutex;
    std::optional<TServerFinding> finding;
    std::function<void()> onDone;  // empty once the owner went
};

TServerTest::TServerTest(std::string host, std::uint16_t port, bool portControl, std::function<void()> onDone,
                         TServerTestTimes times)
    : shared_(std::make_shared<Shared>()) {
    shared_->onDone = std::move(onDone);
    Workers().Add([shared = shared_, host = std::move(host), port, portControl, times] {
        std::thread lookup;
        TServerFinding finding = TestServer(host, port, portControl, times, lookup);
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            shared->finding = std::move(finding);
            if (shared->onDone) shared->onDone();
        }
        if (lookup.joinable()) lookup.join();  // a lookup past its time ends with its worker
    });
}

TServerTest::~TServerTest() {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->onDone = nullptr;
}

std::optional<TServerFinding> TServerTest::Finding() const {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->finding;
}
