#include "hub/bridge.h"

#include "platform/handles.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>

namespace hub {

namespace {

constexpr DWORD BufferSize = 16384;
constexpr DWORD ReopenMs = 1000;       // between tries to open a serial port that failed
constexpr DWORD SignalPollMs = 50;     // how often a watched modem signal is read

struct SocketTraits {
    using handle_type = SOCKET;
    static handle_type invalid() noexcept { return INVALID_SOCKET; }
    static void close(handle_type s) noexcept { ::closesocket(s); }
};
using Socket = platform::UniqueHandle<SocketTraits>;

std::uint64_t NowMs() { return ::GetTickCount64(); }

std::string ErrorText(DWORD error) { return "error " + std::to_string(error); }

// The serial port of a bridge, read and written with blocking calls from two threads. Every
// call returns within TurnMs, so the threads see in time when the connection has ended (on
// Windows it also bounds how long the writer can wait behind the reader on the one handle).
class SerialPort {
public:
    static constexpr DWORD TurnMs = 50;

    // Opens and sets up the port; returns 0 or the error of the failed call.
    DWORD Open(const Bridge& b) {
        platform::FileHandle port(
            ::CreateFileA(b.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
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

        plan_ = PlanReads(b.ito);
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = plan_.intervalMs;
        timeouts.ReadTotalTimeoutConstant = TurnMs;
        timeouts.WriteTotalTimeoutConstant = TurnMs;
        if (!::SetCommTimeouts(port.get(), &timeouts)) return ::GetLastError();
        port_ = std::move(port);
        return 0;
    }

    void Close() { port_.reset(); }
    bool IsOpen() const { return port_.valid(); }
    HANDLE get() const { return port_.get(); }
    const ReadPlan& plan() const { return plan_; }

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

private:
    platform::FileHandle port_;
    ReadPlan plan_;
};

// Writes all of data, or gives up when the connection has ended; returns 0 or the error.
DWORD WriteAll(HANDLE port, const char* data, DWORD size, const std::atomic<bool>& ended) {
    while (size > 0) {
        DWORD done = 0;
        if (!::WriteFile(port, data, size, &done, nullptr)) return ::GetLastError();
        data += done;
        size -= done;
        if (size > 0 && ended) return ERROR_OPERATION_ABORTED;
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
        if (::connect(candidate.get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0)
            s = std::move(candidate);
        else
            error = ::WSAGetLastError();
    }
    ::freeaddrinfo(found);
    return s;
}

enum class End { Lost, SerialFailed, SignalOff };

// One bridge's work; lives on the bridge's thread.
class Worker {
public:
    Worker(const Bridge& b, const Log& log)
        : b_(b), log_(log), gate_(b.connect, b.delayDisconnect), retryMs_(RetryDelay(b.reconnect)),
          name_(b.path + " <-> " + b.host + ":" + std::to_string(b.port)) {}

    void Run() {
        std::uint64_t nextTry = 0;
        bool refused = false;  // logged once per run of failed tries
        for (;;) {
            if (!OpenPort()) {
                ::Sleep(ReopenMs);
                continue;
            }
            if (!GateOpen()) {
                ::Sleep(SignalPollMs);
                continue;
            }
            std::uint64_t now = NowMs();
            if (now < nextTry) {
                ::Sleep(static_cast<DWORD>(nextTry - now < SignalPollMs ? nextTry - now : SignalPollMs));
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
            End end = Serve(s.get());
            Note(end == End::SignalOff ? std::string("disconnected: ") + SignalName(*b_.connect) + " off for " +
                                             std::to_string(b_.delayDisconnect) + " ms"
                 : end == End::Lost    ? "connection lost; trying again in " + std::to_string(retryMs_) + " ms"
                                       : "serial port failed; connection closed");
            if (end == End::SerialFailed) port_.Close();
            nextTry = end == End::SignalOff ? 0 : NowMs() + static_cast<std::uint64_t>(retryMs_);
        }
    }

private:
    void Note(const std::string& what) const { log_.Write(name_ + ": " + what); }

    bool OpenPort() {
        if (port_.IsOpen()) return true;
        DWORD error = port_.Open(b_);
        if (error != 0) {
            if (!std::exchange(openFailed_, true))
                Note("cannot open the serial port (" + ErrorText(error) + "); trying again every " +
                     std::to_string(ReopenMs) + " ms");
            return false;
        }
        openFailed_ = false;
        return true;
    }

    // Whether the connect signal lets the bridge be connected now. A signal that cannot be read
    // (a pseudo-terminal has no modem lines) counts as on, which is said once.
    bool GateOpen() {
        bool on = true;
        if (gate_.watchesSignal()) {
            DWORD error = 0;
            if (!port_.SignalOn(*b_.connect, on, error)) {
                on = true;
                if (!std::exchange(signalUnreadable_, true))
                    Note(std::string("modem signals cannot be read (") + ErrorText(error) + "): " +
                         SignalName(*b_.connect) + " taken as on");
            }
        }
        return gate_.Update(on, NowMs());
    }

    void SetDtr(bool on) {
        if (!b_.dtrOnConnect) return;
        if (!::EscapeCommFunction(port_.get(), on ? SETDTR : CLRDTR) && !std::exchange(dtrFailed_, true))
            Note("DTR cannot be set (" + ErrorText(::GetLastError()) + "); left as it is");
    }

    // Copies both ways until the connection ends; TCP to serial on a thread of its own.
    End Serve(SOCKET s) {
        std::atomic<bool> ended{false};
        std::atomic<bool> serialFailed{false};
        SetDtr(true);
        std::thread toSerial([&] {
            std::string buffer(BufferSize, '\0');
            for (;;) {
                int n = ::recv(s, &buffer[0], static_cast<int>(buffer.size()), 0);
                if (n <= 0) break;
                DWORD error = WriteAll(port_.get(), buffer.data(), static_cast<DWORD>(n), ended);
                if (error != 0) {
                    if (error != ERROR_OPERATION_ABORTED) serialFailed = true;
                    break;
                }
            }
            ended = true;
        });
        End end = CopySerialToTcp(s, ended);
        ended = true;
        ::shutdown(s, SD_BOTH);  // ends the other thread's recv
        toSerial.join();
        SetDtr(false);
        return serialFailed ? End::SerialFailed : end;
    }

    End CopySerialToTcp(SOCKET s, const std::atomic<bool>& ended) {
        std::string buffer(BufferSize, '\0');
        const ReadPlan& plan = port_.plan();
        for (;;) {
            DWORD n = 0;
            if (plan.firstByteAlone) {
                DWORD queued = Queued();
                if (queued == 0) {
                    if (!::ReadFile(port_.get(), &buffer[0], 1, &n, nullptr)) return End::SerialFailed;
                    if (n > 0) queued = Queued();
                }
                // Whatever keeps coming meanwhile joins the same send, up to a full buffer.
                while (queued > 0 && n < BufferSize) {
                    DWORD more = 0;
                    DWORD want = queued < BufferSize - n ? queued : BufferSize - n;
                    if (!::ReadFile(port_.get(), &buffer[n], want, &more, nullptr)) return End::SerialFailed;
                    n += more;
                    queued = more > 0 && n < BufferSize ? Queued() : 0;
                }
            } else if (!::ReadFile(port_.get(), &buffer[0], BufferSize, &n, nullptr)) {
                return End::SerialFailed;
            }
            if (n > 0 && !SendAll(s, buffer.data(), n)) return End::Lost;
            if (ended) return End::Lost;
            if (gate_.watchesSignal() && !GateOpen()) return End::SignalOff;
        }
    }

    DWORD Queued() const {
        COMSTAT stat{};
        DWORD errors = 0;
        return ::ClearCommError(port_.get(), &errors, &stat) ? stat.cbInQue : 0;
    }

    const Bridge& b_;
    const Log& log_;
    ConnectGate gate_;
    const int retryMs_;
    const std::string name_;
    SerialPort port_;
    bool openFailed_ = false;
    bool signalUnreadable_ = false;
    bool dtrFailed_ = false;
};

}  // namespace

void StartBridge(Bridge settings, const Log& log) {
    std::thread([settings = std::move(settings), &log] {
        // Whatever goes wrong stays with this bridge: it starts over after a pause.
        for (;;) {
            try {
                Worker(settings, log).Run();
            } catch (const std::exception& e) {
                log.Write(settings.path + ": " + e.what() + "; starting over");
                ::Sleep(ReopenMs);
            }
        }
    }).detach();
}

}  // namespace hub
