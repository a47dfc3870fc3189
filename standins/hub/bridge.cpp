#include "hub/bridge.h"

#include "common/pair_state.h"
#include "common/state_file.h"
#include "hub/telnet.h"
#include "platform/ascii.h"
#include "platform/handles.h"
#include "platform/module.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string_view>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace hub {

namespace {

constexpr DWORD BufferSize = 16384;   // a formed packet at most, and a receive from the server
constexpr DWORD StreamBytes = 65536;  // a packet at most without packet forming
constexpr DWORD ReopenMs = 1000;       // between tries to open a serial port that failed or was lost
constexpr DWORD SignalPollMs = 50;     // how often a watched modem signal that can be read is read
// How often a bridge with port control looks at its port's settings while connected: a change
// the application makes reaches the server within this and a round trip.
constexpr DWORD SettingsLookMs = 250;
// Without packet forming, a packet this large is part of a stream: the port's reader hands it to
// the sender and reads on, rather than sending it itself. Smaller ones go out at once from the
// reader, unless the sender still holds bytes that must go first.
constexpr DWORD HandOverBytes = 2048;
constexpr std::size_t OutboxLimit = 262144;  // bytes the sender may hold before the reader waits

struct SocketTraits {
    using handle_type = SOCKET;
    static handle_type invalid() noexcept { return INVALID_SOCKET; }
    static void close(handle_type s) noexcept { ::closesocket(s); }
};
using Socket = platform::UniqueHandle<SocketTraits>;

std::uint64_t NowMs() { return ::GetTickCount64(); }

std::string ErrorText(DWORD error) { return "error " + std::to_string(error); }

// Holds a slim lock (see Outbox for why slim ones).
class SrwLocked {
public:
    explicit SrwLocked(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~SrwLocked() { ::ReleaseSRWLockExclusive(&lock_); }
    SrwLocked(const SrwLocked&) = delete;
    SrwLocked& operator=(const SrwLocked&) = delete;

private:
    SRWLOCK& lock_;
};

// The serial port of a bridge. A read waits for its first byte as long as it takes, then at most
// the interval time-out between bytes; a write gives up after WriteTurnMs, so the thread that
// writes sees in time when the connection has ended. Under Wine the port is opened for
// synchronous calls, which wait in the process itself; elsewhere for overlapped ones, since
// Windows lets synchronous calls on one handle run only one at a time, and the read that waits
// for the first byte would hold up every write.
class SerialPort {
public:
    static constexpr DWORD WriteTurnMs = 50;

    // Opens and sets up the port; returns 0 or the error of the failed call.
    DWORD Open(const Bridge& b) {
        overlapped_ = !platform::UnderWine();
        platform::FileHandle port(::CreateFileA(b.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, overlapped_ ? FILE_FLAG_OVERLAPPED : 0, nullptr));
        if (!port) return ::GetLastError();
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!::GetCommState(port.get(), &dcb)) return ::GetLastError();
        if (b.baud) dcb.BaudRate = static_cast<DWORD>(*b.baud);
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;  // raised while connected, when asked to
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        if (!::SetCommState(port.get(), &dcb)) return ::GetLastError();
        DCB held = dcb;
        readBack_ = b.baud && ::GetCommState(port.get(), &held) ? telnet::ReadBackNote(dcb.BaudRate, held.BaudRate) : "";

        plan_ = PlanReads(b.ito);
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = plan_.intervalMs;  // no total time-out: the first byte is awaited
        timeouts.WriteTotalTimeoutConstant = WriteTurnMs;
        if (!::SetCommTimeouts(port.get(), &timeouts)) return ::GetLastError();
        HANDLE reader = nullptr;
        if (!overlapped_ && !::DuplicateHandle(::GetCurrentProcess(), port.get(), ::GetCurrentProcess(), &reader, 0,
                                               FALSE, DUPLICATE_SAME_ACCESS))
            return ::GetLastError();
        reader_.reset(reader);
        port_ = std::move(port);
        return 0;
    }

    void Close() {
        reader_.reset();
        port_.reset();
    }
    HANDLE get() const { return port_.get(); }
    // Under Wine the reader reads through a handle of its own, which the port's watch may close to
    // end a read (see Worker::WatchPort); elsewhere through the port's.
    HANDLE reader() const { return reader_ ? reader_.get() : port_.get(); }
    void CloseReader() { reader_.reset(); }
    bool overlapped() const { return overlapped_; }
    const ReadPlan& plan() const { return plan_; }
    const std::string& readBack() const { return readBack_; }  // the note when the rate set did not hold

    // Whether the modem signal is on; false when it cannot be read, with the error.
    bool SignalOn(Signal signal, bool& on, DWORD& error) const {
        DWORD status = 0;
        if (!::GetCommModemStatus(port_.get(), &status)) {
            error = ::GetLastError();
            return false;
        }
        DWORD bit = signal == Signal::Dsr ? MS_DSR_ON : signal == Signal::Cts ? MS_CTS_ON
                  : signal == Signal::Dcd ? MS_RLSD_ON : MS_RING_ON;
        on = (status & bit) != 0;
        return true;
    }

    // The port's settings as the server's port should take them; false when they cannot be
    // read, with the error.
    bool Settings(telnet::LineSettings& settings, DWORD& error) const {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!::GetCommState(port_.get(), &dcb)) {
            error = ::GetLastError();
            return false;
        }
        using telnet::FlowControl;
        using telnet::StopBits;
        settings.baud = dcb.BaudRate;
        settings.stopBits = dcb.StopBits == TWOSTOPBITS    ? StopBits::Two
                            : dcb.StopBits == ONE5STOPBITS ? StopBits::OneAndHalf
                                                           : StopBits::One;
        settings.flow = dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE ? FlowControl::Hardware
                        : dcb.fOutX || dcb.fInX                                      ? FlowControl::XonXoff
                                                                                     : FlowControl::None;
        return true;
    }

private:
    platform::FileHandle port_;
    platform::Handle reader_;
    bool overlapped_ = false;
    ReadPlan plan_;
    std::string readBack_;
};

// The folder where the pairs' ends are linked under Wine (the prefix's dosdevices), where the
// pairs' keeper makes a pair anew; empty elsewhere.
std::wstring PairLinks() {
    wchar_t dir[MAX_PATH];
    DWORD n = ::GetEnvironmentVariableW(L"WINECONFIGDIR", dir, MAX_PATH);
    std::wstring prefix(dir, n > 0 && n < MAX_PATH ? n : 0);
    if (prefix.rfind(L"\\??\\", 0) == 0) prefix.erase(0, 4);
    return prefix.empty() || !platform::UnderWine() ? std::wstring() : prefix + L"\\dosdevices";
}

struct ChangeWatchTraits {
    using handle_type = HANDLE;
    static handle_type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(handle_type h) noexcept { ::FindCloseChangeNotification(h); }
};

// The port the serial program opens at the other end of the setup tool's pair whose hub end is
// path ("\\.\CNCA3" gives "COM5"), from the tool's state file beside the hub; path itself when
// the file names no such pair.
std::string ProgramPort(const std::string& path) {
    constexpr std::string_view HubEnd = "\\\\.\\CNCA";
    if (path.size() <= HubEnd.size() || !platform::EqualsIgnoringAsciiCase(path.substr(0, HubEnd.size()), HubEnd))
        return path;
    try {
        const std::string state = platform::ExeDirectory(CP_UTF8) + setupc::StateName;
        for (const setupc::PortPair& p : setupc::ReadState(setupc::ReadStateFile(state)))
            if (std::to_string(p.Number) == path.substr(HubEnd.size())) return p.Port.PortName;
    } catch (const setupc::SetupError&) {
    }
    return path;
}

// One thread's reads or writes on the port, each returning once it is done, however the port
// was opened.
class PortCalls {
public:
    explicit PortCalls(const SerialPort& port, bool reader = false)
        : port_(port), handle_(reader ? port.reader() : port.get()) {
        if (port.overlapped()) event_.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    }

    bool Read(char* data, DWORD size, DWORD& done) {
        done = 0;
        if (!port_.overlapped()) return ::ReadFile(handle_, data, size, &done, nullptr) != FALSE;
        OVERLAPPED o = Pending();
        return Finish(::ReadFile(handle_, data, size, nullptr, &o), o, done);
    }

    bool Write(const char* data, DWORD size, DWORD& done) {
        done = 0;
        if (!port_.overlapped()) return ::WriteFile(handle_, data, size, &done, nullptr) != FALSE;
        OVERLAPPED o = Pending();
        return Finish(::WriteFile(handle_, data, size, nullptr, &o), o, done);
    }

private:
    OVERLAPPED Pending() const {
        OVERLAPPED o{};
        o.hEvent = event_.get();
        return o;
    }
    bool Finish(BOOL started, OVERLAPPED& o, DWORD& done) const {
        if (!event_ || (!started && ::GetLastError() != ERROR_IO_PENDING)) return false;
        return ::GetOverlappedResult(handle_, &o, &done, TRUE) != FALSE;
    }

    const SerialPort& port_;
    const HANDLE handle_;
    platform::Handle event_;
};

// Writes all of data, or gives up when the connection is ending; returns 0 or the error.
DWORD WriteAll(PortCalls& port, const char* data, DWORD size, const std::atomic<bool>& ending) {
    while (size > 0) {
        DWORD done = 0;
        if (!port.Write(data, size, done)) return ::GetLastError();
        data += done;
        size -= done;
        if (size > 0 && ending) return ERROR_OPERATION_ABORTED;
    }
    return 0;
}

bool SendAll(SOCKET s, const char* data, DWORD size) {
    while (size > 0) {
        int n = ::send(s, data, static_cast<int>(size), 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<DWORD>(n);
    }
    return true;
}

// A server that vanished without closing the connection (its power or its network gone) is
// found by keep-alive probes: after 10 s without traffic, three probes 2 s apart, then the system
// gives the connection up and the bridge connects anew. PONTIS_HUB_KEEPALIVE=0 turns them off,
// as a hub without them behaves.
void KeepAlive(SOCKET s) {
    char value[8] = "";
    if (::GetEnvironmentVariableA("PONTIS_HUB_KEEPALIVE", value, sizeof value) && std::string(value) == "0") return;
    tcp_keepalive probes{1, 10000, 2000};
    DWORD returned = 0;
    ::WSAIoctl(s, SIO_KEEPALIVE_VALS, &probes, sizeof probes, nullptr, 0, &returned, nullptr, nullptr);
    constexpr int KeepAliveCount = 16;  // TCP_KEEPCNT, which the headers here lack
    DWORD count = 3;
    ::setsockopt(s, IPPROTO_TCP, KeepAliveCount, reinterpret_cast<const char*>(&count), sizeof count);
}

// A TCP client connection to host:port (IPv4; names are resolved each time); returns the
// socket, or none and the error.
Socket Connect(const std::string& host, int port, int& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (error != 0) return Socket();
    Socket s;
    for (addrinfo* a = found; a && !s; a = a->ai_next) {
        Socket candidate(::socket(a->ai_family, a->ai_socktype, a->ai_protocol));
        if (!candidate) {
            error = ::WSAGetLastError();
            continue;
        }
        BOOL noDelay = TRUE;  // small writes of a serial device go out at once
        ::setsockopt(candidate.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        if (::connect(candidate.get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) {
            KeepAlive(candidate.get());
            s = std::move(candidate);
        }
        else
            error = ::WSAGetLastError();
    }
    ::freeaddrinfo(found);
    return s;
}

// A connected socket's link as the record keeps it: its local port and its server.
platform::HubLink LinkOf(SOCKET s) {
    platform::HubLink link;
    link.State = platform::HubLinkState::Connected;
    sockaddr_in local{}, server{};
    int size = sizeof local;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&local), &size) == 0) link.LocalPort = ntohs(local.sin_port);
    size = sizeof server;
    if (::getpeername(s, reinterpret_cast<sockaddr*>(&server), &size) == 0) {
        link.ServerAddress = ntohl(server.sin_addr.s_addr);
        link.ServerPort = ntohs(server.sin_port);
    }
    return link;
}

// What the port's reader hands to its sender, in order. Its lock and wake-ups are Windows' slim
// ones: under Wine they wait and wake within the process, where those of std::mutex and
// std::condition_variable go through the Wine server, and a stream would pay for that twice a
// packet.
class Outbox {
public:
    Outbox() {
        ::InitializeSRWLock(&lock_);
        ::InitializeConditionVariable(&changed_);
    }
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // Takes the packet when the sender still holds bytes, which must go first, or when it is
    // large enough to be part of a stream; false when the reader is to send it itself. Waits
    // while the sender holds OutboxLimit bytes.
    bool Add(const char* data, DWORD n) {
        Locked locked(lock_);
        if (!sending_ && n < HandOverBytes) return false;
        while (bytes_.size() >= OutboxLimit && !stopped_) Wait(readerWaits_);
        bytes_.append(data, n);
        sending_ = true;
        if (senderWaits_) ::WakeAllConditionVariable(&changed_);
        return true;
    }

    // Waits until there are bytes for the sender; false once stopped. A sender that waits for
    // bytes has sent the last.
    bool AwaitBytes() {
        Locked locked(lock_);
        if (bytes_.empty()) sending_ = false;
        while (bytes_.empty() && !stopped_) Wait(senderWaits_);
        return !stopped_;
    }

    // The sender's next batch: all that was added since the last; false once stopped.
    bool Take(std::string& batch) {
        Locked locked(lock_);
        if (stopped_) return false;
        batch.swap(bytes_);
        bytes_.clear();
        if (readerWaits_) ::WakeAllConditionVariable(&changed_);
        return true;
    }

    void Stop() {
        Locked locked(lock_);
        stopped_ = true;
        ::WakeAllConditionVariable(&changed_);
    }

    void Reset() {
        Locked locked(lock_);
        bytes_.clear();
        sending_ = stopped_ = false;
    }

private:
    using Locked = SrwLocked;
    void Wait(bool& waits) {
        waits = true;
        ::SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
        waits = false;
    }

    SRWLOCK lock_;
    CONDITION_VARIABLE changed_;
    std::string bytes_;         // added and not yet taken by the sender
    bool sending_ = false;      // the sender holds bytes: in bytes_ or in a send on its way
    bool senderWaits_ = false;  // ... for bytes
    bool readerWaits_ = false;  // ... for room in bytes_
    bool stopped_ = false;
};

enum class End { Lost, SerialFailed, SignalOff };

// One bridge's work. Its own thread opens the port, connects and watches the connection; while the
// port is open, a second thread reads it and sends what comes over the connection of the moment,
// and while connected, a third receives from the server and writes to the port (with port
// control, a fourth looks at the port's settings, see LookAtSettings; under Wine, one more
// watches the pairs' links, see WatchPort). Without packet
// forming the reader has a sender beside it: a stream's packets go to it, and while it sends, or
// lets the other threads run before a send, the reader reads on, so that what comes meanwhile
// leaves in one send (under Wine every send is two calls to the Wine server whatever its size, and
// a pseudo-terminal gives at most 4 KB a read). Each thread waits on its own port or socket, or for
// a change that another one tells it, never on a clock, as long as no byte moves; a clock runs only
// for the gap that ends a packet, a write that the port does not take, a port that cannot be
// opened, the wait before the next try to connect, a modem signal that decides the connection
// and can be read (a pseudo-terminal's cannot), and the looker. With port control the connection
// speaks telnet: the bytes are coded both ways, and the server's port is set as the serial port
// is set, at once and on every change.
class Worker {
public:
    Worker(const Bridge& b, const Log& log, platform::HubLinksWriter& links, std::size_t index)
        : b_(b), log_(log), links_(links), index_(index), gate_(b.connect, b.delayDisconnect),
          retryMs_(RetryDelay(b.reconnect)),
          name_(b.path + " <-> " + b.host + ":" + std::to_string(b.port)) {}

    // Runs until the process ends; after an exception it may be run again, with the port and its
    // reader as they were.
    void Run() {
        std::uint64_t nextTry = 0;
        bool refused = false;  // logged once per run of failed tries
        for (;;) {
            if (!PortReady()) {
                ::Sleep(ReopenMs);
                continue;
            }
            if (std::exchange(portBack_, false)) nextTry = 0;  // a port lost and back: connect at once
            if (!GateOpen()) {
                WaitUntil(NowMs() + SignalPollMs);
                continue;
            }
            if (NowMs() < nextTry) {
                WaitUntil(nextTry);
                continue;
            }
            int error = 0;
            Socket s = Connect(b_.host, b_.port, error);
            nextTry = NowMs() + static_cast<std::uint64_t>(retryMs_);
            if (!s) {
                if (!std::exchange(refused, true))
                    Note("cannot connect (" + ErrorText(error) + "); trying again every " + std::to_string(retryMs_) +
                         " ms");
                continue;
            }
            refused = false;
            Note("connected");
            record_ = LinkOf(s.get());
            record_.PortControl = b_.portControl;
            links_.Set(index_, record_);
            End end = Serve(std::move(s));
            links_.Set(index_, Idle());
            Note(end == End::SignalOff ? std::string("disconnected: ") + SignalName(*b_.connect) + " off for " +
                                             std::to_string(b_.delayDisconnect) + " ms"
                 : end == End::Lost    ? "connection lost; trying again in " + std::to_string(retryMs_) + " ms"
                                       : "serial port failed; connection closed");
            nextTry = end == End::SignalOff ? 0 : NowMs() + static_cast<std::uint64_t>(retryMs_);
        }
    }

private:
    void Note(const std::string& what) const { log_.Write(name_ + ": " + what); }

    // Changes what the threads share, and wakes whoever waits for a change.
    template <class Change>
    void Tell(Change change) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            change();
        }
        changed_.notify_all();
    }

    // Waits until the time, or until the port's reader has ended.
    void WaitUntil(std::uint64_t ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        std::uint64_t now = NowMs();
        changed_.wait_for(lock, std::chrono::milliseconds(ms > now ? ms - now : 0), [&] { return readerEnded_; });
    }

    // Whether the port is open with its reader at work. A port whose reader has ended is lost (its
    // read failed, or came back empty: the pair's other end is gone, under Wine its relay made
    // anew): it is closed and opened again, every ReopenMs until it can be, and the record says
    // so meanwhile. What the program wrote before it is back is stale and dropped.
    bool PortReady() {
        if (reader_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!readerEnded_) return true;
                readerEnded_ = false;
            }
            reader_.join();
            StopSender();
            StopWatch();
            port_.Close();
            portLost_ = openFailed_ = true;
            platform::HubLink lost = Idle();
            lost.State = platform::HubLinkState::PortLost;
            links_.Set(index_, lost);
            Note("port lost (" + ProgramPort(b_.path) + "); opening it again every " + std::to_string(ReopenMs) + " ms");
        }
        DWORD error = port_.Open(b_);
        if (error != 0) {
            if (!std::exchange(openFailed_, true))
                Note("cannot open the serial port (" + ErrorText(error) + "); trying again every " +
                     std::to_string(ReopenMs) + " ms");
            return false;
        }
        openFailed_ = false;
        if (!port_.readBack().empty()) Note(port_.readBack());
        portGone_ = false;
        if (std::exchange(portLost_, false)) {
            ::PurgeComm(port_.get(), PURGE_RXCLEAR | PURGE_TXCLEAR);
            links_.Set(index_, Idle());
            Note("port back (" + ProgramPort(b_.path) + ")");
            portBack_ = true;
        }
        try {
            if (port_.plan().firstByteAlone) sender_ = std::thread([this] { SendOutbox(); });
            reader_ = std::thread([this] { CopySerialToTcp(); });
            if (!PairLinks().empty()) watch_ = std::thread([this] { WatchPort(); });
        } catch (...) {
            StopSender();
            port_.Close();
            throw;
        }
        return true;
    }

    // Whether the connect signal lets the bridge be connected now. A signal that cannot be read
    // (a pseudo-terminal has no modem lines) counts as on, which is said once.
    bool GateOpen() {
        bool on = true;
        if (gate_.watchesSignal() && !signalUnreadable_) {
            DWORD error = 0;
            if (!port_.SignalOn(*b_.connect, on, error)) {
                on = true;
                signalUnreadable_ = true;
                Note(std::string("modem signals cannot be read (") + ErrorText(error) + "): " +
                     SignalName(*b_.connect) + " taken as on");
            }
        }
        return gate_.Update(on, NowMs());
    }
    bool ReadsSignal() const { return gate_.watchesSignal() && !signalUnreadable_; }

    void SetDtr(bool on) {
        if (!b_.dtrOnConnect) return;
        if (!::EscapeCommFunction(port_.get(), on ? SETDTR : CLRDTR) && !std::exchange(dtrFailed_, true))
            Note("DTR cannot be set (" + ErrorText(::GetLastError()) + "); left as it is");
    }

    // Carries the connection both ways until it ends: the port's reader sends over it, a thread
    // of its own writes what it receives to the port.
    End Serve(Socket s) {
        auto link = std::make_shared<Socket>(std::move(s));
        Tell([&] { lost_ = tcpEnded_ = writeFailed_ = false; });
        if (b_.portControl) StartPortControl(link->get());
        std::thread toSerial([this, link] { CopyTcpToSerial(link->get()); });
        std::thread looker;
        SetDtr(true);
        Tell([&] { link_ = link; });
        End end = End::Lost;
        try {
            if (b_.portControl) looker = std::thread([this, link] { LookAtSettings(link->get()); });
            end = WaitForEnd();
        } catch (...) {
            EndLink(*link, toSerial, looker);
            throw;
        }
        EndLink(*link, toSerial, looker);
        SetDtr(false);
        return end;
    }

    // Sleeps until a thread tells that the connection or the port has failed, or, when the
    // connect signal can be read, until the signal has been off for its delay.
    End WaitForEnd() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (writeFailed_ || readerEnded_) return End::SerialFailed;
            if (lost_ || tcpEnded_) return End::Lost;
            if (!ReadsSignal()) {
                changed_.wait(lock);
                continue;
            }
            changed_.wait_for(lock, std::chrono::milliseconds(SignalPollMs));
            lock.unlock();
            bool open = GateOpen();
            lock.lock();
            if (!open) return End::SignalOff;
        }
    }

    // The looker of a connection with port control, a thread of its own: it follows the port's
    // settings, and judges the server's answers, until the connection ends. Its clock is a slim condition variable's, which under
    // Wine runs within the process; a timed wait on the std::condition_variable of the others
    // would go through the Wine server four times a second.
    void LookAtSettings(SOCKET s) {
        SrwLocked locked(lookLock_);
        while (!lookStops_) {
            ::SleepConditionVariableSRW(&lookWake_, &lookLock_, SettingsLookMs, 0);
            if (lookStops_) break;
            FollowSettings(s);
            JudgeAnswers();
        }
    }

    // The port's settings, or when they cannot be read (said once), those last asked.
    telnet::LineSettings PortSettings() {
        telnet::LineSettings settings;
        DWORD error = 0;
        if (port_.Settings(settings, error)) return settings;
        if (!std::exchange(settingsFailed_, true))
            Note("the port's settings cannot be read (" + ErrorText(error) + "); the server keeps those asked");
        return sent_;
    }

    // Opens the telnet session: the offer and the port's settings go before any data.
    // The server's port counts as set once the server has acknowledged it as asked.
    void StartPortControl(SOCKET s) {
        const std::uint32_t baud = b_.baud ? static_cast<std::uint32_t>(*b_.baud) : 0;
        sent_ = telnet::LineSettings();  // the line's baud rate, should the port's not be read
        sent_.baud = baud;
        sent_ = PortSettings();
        verdict_ = telnet::Verdict();
        setNoted_ = nvtNoted_ = false;
        std::string start;
        {
            SrwLocked locked(telnetLock_);
            start = telnet_.Start(sent_, baud, NowMs());
        }
        SendShared(s, start.data(), start.size());
    }

    // Sets the server's port anew when the port's settings have changed since they were sent.
    void FollowSettings(SOCKET s) {
        const telnet::LineSettings now = PortSettings();
        if (now == sent_) return;
        std::string commands;
        {
            SrwLocked locked(telnetLock_);
            commands = telnet_.Set(now, NowMs());
        }
        sent_ = now;
        setNoted_ = false;
        if (!SendShared(s, commands.data(), commands.size())) Tell([&] { lost_ = true; });
    }

    // Holds the server's answers so far against what was asked: a state that changes goes to the
    // record and the log, once.
    void JudgeAnswers() {
        using Kind = telnet::Verdict::Kind;
        telnet::Verdict verdict;
        telnet::LineSettings asked;
        {
            SrwLocked locked(telnetLock_);
            verdict = telnet_.Judge(NowMs());
            asked = telnet_.Asked();
        }
        const std::string text = telnet::VerdictText(verdict);
        const bool wrong = !text.empty(), wasWrong = !telnet::VerdictText(verdict_).empty();
        if (verdict.kind == Kind::NoTelnet && verdict_.kind != Kind::NoTelnet) {
            Mark(platform::HubLinkState::NoTelnet, verdict);
            Note("mismatched: " + text);
        } else if (wrong && verdict.kind != Kind::NoTelnet && !SameProblem(verdict, verdict_)) {
            Mark(platform::HubLinkState::Refused, verdict);
            Note("port control refused: " + text);
        } else if (!wrong && wasWrong) {
            Mark(platform::HubLinkState::Connected, verdict);
            Note("the server's answers are right again");
        }
        verdict_ = verdict;
        if (verdict.settled && !std::exchange(setNoted_, true)) Note("server's port set: " + Text(asked));
        ShowDeviceEnd();
    }
    static bool SameProblem(const telnet::Verdict& a, const telnet::Verdict& b) {
        return a.kind == b.kind && a.command == b.command && a.asked == b.asked && a.kept == b.kept;
    }

    // The record's entry while the bridge is not connected.
    platform::HubLink Idle() const {
        platform::HubLink idle;
        idle.PortControl = b_.portControl;
        return idle;
    }

    // What the record tells of the server's port: the settings asked and acknowledged, its
    // signature and modem lines; written when any of it changed.
    void ShowDeviceEnd() {
        platform::HubLink now = record_;
        {
            SrwLocked locked(telnetLock_);
            const telnet::LineSettings& asked = telnet_.Asked();
            now.AskedSettings = {asked.baud, 8, 'N', static_cast<std::uint8_t>(asked.stopBits),
                                 static_cast<std::uint8_t>(asked.flow == telnet::FlowControl::Hardware  ? 1
                                                           : asked.flow == telnet::FlowControl::XonXoff ? 2
                                                                                                        : 0)};
            const std::optional<platform::HubSettings> acked = telnet_.AcknowledgedSettings();
            now.Acknowledged = acked.has_value();
            now.AckedSettings = acked ? *acked : platform::HubSettings{};
            now.Signature = telnet_.Signature();
            const std::optional<std::uint8_t> modem = telnet_.ModemState();
            now.ModemReported = modem.has_value();
            now.Modem = !modem ? 0
                               : static_cast<std::uint8_t>((*modem & 0x10 ? platform::HubModemCts : 0) |
                                                           (*modem & 0x20 ? platform::HubModemDsr : 0) |
                                                           (*modem & 0x40 ? platform::HubModemRi : 0) |
                                                           (*modem & 0x80 ? platform::HubModemCd : 0));
        }
        if (now.AskedSettings == record_.AskedSettings && now.AckedSettings == record_.AckedSettings &&
            now.Acknowledged == record_.Acknowledged && now.Signature == record_.Signature &&
            now.ModemReported == record_.ModemReported && now.Modem == record_.Modem)
            return;
        record_ = now;
        links_.Set(index_, record_);
    }

    // The record's entry of the connection of the moment, in the state given.
    void Mark(platform::HubLinkState state, const telnet::Verdict& verdict = {}) {
        using Kind = telnet::Verdict::Kind;
        record_.State = state;
        record_.Refusal = state != platform::HubLinkState::Refused  ? platform::HubRefusal::None
                          : verdict.kind == Kind::NotAcknowledged ? platform::HubRefusal::NotAcknowledged
                          : verdict.kind == Kind::Kept            ? platform::HubRefusal::Kept
                                                                  : platform::HubRefusal::NoPortControl;
        record_.Command = state == platform::HubLinkState::Refused ? verdict.command : 0;
        record_.Asked = state == platform::HubLinkState::Refused ? verdict.asked : 0;
        record_.Kept = state == platform::HubLinkState::Refused ? verdict.kept : 0;
        links_.Set(index_, record_);
    }

    static std::string Text(const telnet::LineSettings& settings) {
        using telnet::FlowControl;
        using telnet::StopBits;
        return std::to_string(settings.baud) + " baud, stop bits " +
               (settings.stopBits == StopBits::One ? "1" : settings.stopBits == StopBits::Two ? "2" : "1.5") +
               ", flow control " +
               (settings.flow == FlowControl::None ? "none" : settings.flow == FlowControl::XonXoff ? "xon/xoff" : "rts/cts");
    }

    // Sends over the connection, one sender at a time: with port control the data, the
    // commands and the answers to the server share it, and none may cut into another.
    bool SendShared(SOCKET s, const char* data, std::size_t size) {
        SrwLocked locked(sendLock_);
        return SendAll(s, data, static_cast<DWORD>(size));
    }

    // Ends the connection: the receiving thread's recv and any send return, the reader holds
    // on to its next packet until the next connection. The socket closes with its last user.
    void EndLink(const Socket& s, std::thread& toSerial, std::thread& looker) {
        ending_ = true;
        ::shutdown(s.get(), SD_BOTH);
        toSerial.join();
        if (looker.joinable()) {
            {
                SrwLocked locked(lookLock_);
                lookStops_ = true;
            }
            ::WakeAllConditionVariable(&lookWake_);
            looker.join();
            lookStops_ = false;
        }
        ending_ = false;
        Tell([&] { link_.reset(); });
    }

    void CopyTcpToSerial(SOCKET s) {
        PortCalls port(port_);
        std::string buffer(BufferSize, '\0');
        std::string data, reply;  // with port control: what the telnet client read
        std::string head;  // without: the server's first bytes, until they tell whether it speaks telnet
        bool failed = false;
        for (;;) {
            int n = ::recv(s, &buffer[0], static_cast<int>(buffer.size()), 0);
            if (n <= 0) break;
            const char* out = buffer.data();
            DWORD size = static_cast<DWORD>(n);
            if (!b_.portControl && head.size() < 2) {
                head.append(buffer.data(), std::min<std::size_t>(size, 2 - head.size()));
                if (head.size() == 2 && telnet::OpensWithNegotiation(head)) {
                    Mark(platform::HubLinkState::SpeaksTelnet);
                    Note("mismatched: the server opens with telnet negotiation: turn Port control on");
                }
            }
            if (b_.portControl) {
                data.clear();
                reply.clear();
                bool coded = false;
                {
                    SrwLocked locked(telnetLock_);
                    telnet_.Read(std::string_view(buffer.data(), size), data, reply);
                    coded = telnet_.LineEndsCoded();
                }
                if (!reply.empty()) SendShared(s, reply.data(), reply.size());
                if (coded && !std::exchange(nvtNoted_, true))
                    Note("the server refuses binary data: line ends go as NVT's (CR NUL)");
                out = data.data();
                size = static_cast<DWORD>(data.size());
            }
            DWORD error = WriteAll(port, out, size, ending_);
            if (error != 0) {
                failed = error != ERROR_OPERATION_ABORTED;
                break;
            }
            links_.Count(index_, 0, size);
        }
        Tell([&] {
            tcpEnded_ = true;
            writeFailed_ = failed;
        });
    }

    // The reader: one packet at a time from the port, as the read plan forms it, sent over the
    // connection of the moment; while there is none, the packet waits for one (and the port's
    // further bytes wait in the port). Ends when a read fails, or returns nothing: every read
    // waits for its first byte, so an empty one is a port whose other end is gone.
    void CopySerialToTcp() {
        PortCalls port(port_, true);
        std::string buffer(StreamBytes, '\0');
        DWORD n = 0;
        while (ReadPacket(port, buffer, n) && n > 0) {
            if (sender_.joinable() && outbox_.Add(buffer.data(), n)) continue;
            std::shared_ptr<Socket> link;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return link_ != nullptr; });
                link = link_;
            }
            Send(link, buffer.data(), n);
        }
        Tell([&] { readerEnded_ = true; });
    }

    void Send(const std::shared_ptr<Socket>& link, const char* data, std::size_t size) {
        bool sent = false;
        if (b_.portControl) {
            std::string coded;
            {
                SrwLocked locked(telnetLock_);
                telnet_.Code(std::string_view(data, size), coded);
            }
            sent = SendShared(link->get(), coded.data(), coded.size());
        } else {
            sent = SendAll(link->get(), data, static_cast<DWORD>(size));
        }
        if (sent) links_.Count(index_, size, 0);
        else Tell([&] { lost_ = lost_ || link == link_; });
    }

    // The sender: all that the reader has handed over since its last send goes in one send over
    // the connection of the moment (while there is none, it waits for one). Before it takes the
    // bytes, it gives the processor away once: when other threads are ready to run, the reader
    // and whatever feeds the port add what is already on its way, and one send carries it all.
    // On an idle machine nothing else is ready and the bytes go at once. Runs until stopped.
    void SendOutbox() {
        std::string batch;
        while (outbox_.AwaitBytes()) {
            ::SwitchToThread();
            if (!outbox_.Take(batch)) return;
            std::shared_ptr<Socket> link;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return link_ != nullptr || senderStops_; });
                if (senderStops_) return;
                link = link_;
            }
            Send(link, batch.data(), batch.size());
        }
    }

    // Ends the sender, once the reader has ended; what it held is dropped with the port.
    void StopSender() {
        if (!sender_.joinable()) return;
        senderStops_ = true;
        outbox_.Stop();
        Tell([] {});
        sender_.join();
        senderStops_ = false;
        outbox_.Reset();
    }

    // Under Wine a read of a pair's end whose other side is gone never returns: Wine takes the
    // hang-up for no data yet and reads again at once, spinning. The pairs' keeper makes such a pair
    // anew, changing its links; on each change of the links the watch looks whether the port
    // still works and, once it does not, ends the reader: its read, by closing the handle it reads
    // through, or the next it would start.
    void WatchPort() {
        platform::UniqueHandle<ChangeWatchTraits> change(
            ::FindFirstChangeNotificationW(PairLinks().c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
        const HANDLE waits[2] = {watchStop_.get(), change.get()};
        while (change && ::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            COMSTAT stat{};
            DWORD errors = 0;
            if (::ClearCommError(port_.get(), &errors, &stat)) {
                ::FindNextChangeNotification(change.get());
                continue;
            }
            SrwLocked locked(readLock_);
            portGone_ = true;
            if (reading_) port_.CloseReader();
            return;
        }
    }

    void StopWatch() {
        if (!watch_.joinable()) return;
        ::SetEvent(watchStop_.get());
        watch_.join();
        ::ResetEvent(watchStop_.get());
    }

    // One read of the reader's; false when it failed or the watch ended it.
    bool Read(PortCalls& port, char* data, DWORD size, DWORD& n) {
        {
            SrwLocked locked(readLock_);
            if (portGone_) return false;
            reading_ = true;
        }
        const bool read = port.Read(data, size, n);
        SrwLocked locked(readLock_);
        reading_ = false;
        return read && !portGone_;
    }

    bool ReadPacket(PortCalls& port, std::string& buffer, DWORD& n) {
        if (!port_.plan().firstByteAlone) return Read(port, &buffer[0], BufferSize, n);
        // The first byte alone, then whatever else has come meanwhile, up to a full buffer. A
        // stream reaches the port in portions of a few KB, and between two the port is empty:
        // once the packet is a stream's, the reader gives the processor away once before it
        // takes the port as empty, so that what feeds the port can add the next portion to it.
        if (!Read(port, &buffer[0], 1, n)) return false;
        DWORD queued = n > 0 ? Queued() : 0;
        while (queued > 0) {  // n < StreamBytes: a full buffer ends the loop below
            DWORD more = 0;
            DWORD want = queued < StreamBytes - n ? queued : StreamBytes - n;
            if (!Read(port, &buffer[n], want, more)) return false;
            n += more;
            if (more == 0 || n == StreamBytes) break;
            queued = Queued();
            if (queued == 0 && n >= HandOverBytes) {
                ::SwitchToThread();
                queued = Queued();
            }
        }
        return true;
    }

    DWORD Queued() const {
        COMSTAT stat{};
        DWORD errors = 0;
        return ::ClearCommError(port_.get(), &errors, &stat) ? stat.cbInQue : 0;
    }

    const Bridge& b_;
    const Log& log_;
    platform::HubLinksWriter& links_;
    const std::size_t index_;
    ConnectGate gate_;
    const int retryMs_;
    const std::string name_;
    SerialPort port_;
    std::thread reader_;
    std::thread sender_;  // beside the reader, without packet forming
    Outbox outbox_;
    std::atomic<bool> senderStops_{false};
    bool openFailed_ = false;
    bool portLost_ = false;  // the reader ended; the port is being opened again
    bool portBack_ = false;  // ... and has been opened again
    std::thread watch_;      // under Wine, beside the reader: see WatchPort
    platform::Handle watchStop_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    SRWLOCK readLock_ = SRWLOCK_INIT;  // guards what follows
    bool reading_ = false;             // the reader is in a read
    bool portGone_ = false;            // the watch found the port no longer works
    bool signalUnreadable_ = false;
    bool dtrFailed_ = false;
    std::atomic<bool> ending_{false};  // the connection is being ended: a write that waits gives up

    // Port control: the telnet client of the connection, its sends, the looker's stop, and what
    // the server's port was last asked to be (set at the start, then the looker's).
    SRWLOCK telnetLock_ = SRWLOCK_INIT;
    telnet::Client telnet_;
    SRWLOCK sendLock_ = SRWLOCK_INIT;
    SRWLOCK lookLock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE lookWake_ = CONDITION_VARIABLE_INIT;
    bool lookStops_ = false;
    telnet::LineSettings sent_;
    bool settingsFailed_ = false;
    telnet::Verdict verdict_;  // the server's answers as last judged (the looker's)
    bool setNoted_ = false;    // "server's port set" logged for what was last asked
    bool nvtNoted_ = false;    // the connection's NVT line ends logged (its receiving thread's)

    platform::HubLink record_;  // the record's entry of the connection of the moment

    std::mutex mutex_;  // guards what follows; changed_ tells of every change
    std::condition_variable changed_;
    std::shared_ptr<Socket> link_;  // the connection of the moment
    bool lost_ = false;             // a send over it failed
    bool tcpEnded_ = false;         // its receiving thread has ended
    bool writeFailed_ = false;      // ... because the port failed a write
    bool readerEnded_ = false;      // the port's reader has ended: its read failed
};

}  // namespace

// Detached: the hub ends only by being terminated (main never returns), so a bridge's thread
// lives as long as the process and there is no end at which to join it.
void StartBridge(Bridge settings, const Log& log, platform::HubLinksWriter& links, std::size_t index) {
    std::thread([settings = std::move(settings), &log, &links, index] {
        Worker worker(settings, log, links, index);
        // Whatever goes wrong stays with this bridge: it starts over after a pause.
        for (;;) {
            try {
                worker.Run();
            } catch (const std::exception& e) {
                log.Write(settings.path + ": " + e.what() + "; starting over");
                ::Sleep(ReopenMs);
            }
        }
    }).detach();
}

}  // namespace hub
