// pty-relay: one port pair of the setup tool's under Wine, a Linux program (pty-pairs.sh starts
// it and starts it again should it die).
//
//   pty-relay <hub end link> <application end link>
//
// Makes two pseudo-terminals, links their slaves under the two names and relays the bytes
// between their masters both ways. The application's line settings go to the hub's end too:
// the speed, the stop bits and RTS/CTS and XON/XOFF flow control the application sets on its
// port are set on the hub's, so that the hub reads them from its own port, as it would through
// a null-modem cable's driver. Only that way: until the application first sets its port, what
// the hub sets on its end stays; from then on the application's settings are the pair's, and
// whatever the hub sets on its end (as it opens the port again, after a restart) is put back to
// them at once. Data bits and parity are not carried: the kernel keeps a pseudo-terminal at 8
// data bits and no parity.
//
// Ends on SIGTERM or SIGINT, and on a failure with a message and exit code 1; either way it
// removes the links that are still its own.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// A pseudo-terminal keeps a few KB on its way; a read never brings more than this, and a write
// that the other side cannot take whole waits in it.
constexpr std::size_t BufferSize = 65536;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what + ": " + std::strerror(errno)); }

// A symbolic link that is removed with its owner, unless someone has pointed it elsewhere since.
class Link {
public:
    Link(std::string path, std::string target) : path_(std::move(path)), target_(std::move(target)) {
        // Made under another name and renamed over: a link a dead relay left is replaced in one step.
        std::string fresh = path_ + ".new";
        ::unlink(fresh.c_str());
        if (::symlink(target_.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), path_.c_str()) != 0)
            Fail("cannot link " + path_);
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link() {
        std::array<char, 256> now{};
        ssize_t n = ::readlink(path_.c_str(), now.data(), now.size() - 1);
        if (n > 0 && target_ == std::string(now.data(), static_cast<std::size_t>(n))) ::unlink(path_.c_str());
    }

private:
    std::string path_, target_;
};

// One end of the pair: the master, and the slave held open as well, so that the master never
// reads a hang-up while no program has the port open.
class End {
public:
    // Each end reports each change of its settings: EXTPROC makes the kernel raise
    // TIOCPKT_IOCTL in packet mode for every tcsetattr on the slave, so no polling is needed.
    End() {
        master_ = Fd(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
        const char* name = master_.get() < 0 || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0
                               ? nullptr
                               : ::ptsname(master_.get());
        if (!name) Fail("cannot make a pseudo-terminal");
        slaveName_ = name;
        slave_ = Fd(::open(name, O_RDWR | O_NOCTTY));
        termios t{};
        if (slave_.get() < 0 || ::tcgetattr(master_.get(), &t) != 0) Fail("cannot open " + slaveName_);
        ::cfmakeraw(&t);
        t.c_lflag |= EXTPROC;
        int on = 1;
        if (::tcsetattr(master_.get(), TCSANOW, &t) != 0 || ::ioctl(master_.get(), TIOCPKT, &on) != 0)
            Fail("cannot set up " + slaveName_);
    }
    int master() const { return master_.get(); }
    const std::string& slaveName() const { return slaveName_; }

private:
    Fd master_, slave_;
    std::string slaveName_;
};

// The application's speed, stop bits and flow control onto the hub's end. Setting the hub's
// end raises a notice there, not on the application's; this then finds them alike and sets
// nothing, so it cannot feed itself.
void CarrySettings(const End& app, const End& hub) {
    termios from{}, to{};
    if (::tcgetattr(app.master(), &from) != 0 || ::tcgetattr(hub.master(), &to) != 0) Fail("cannot read the settings");
    constexpr tcflag_t CFlags = CSTOPB | CRTSCTS;
    constexpr tcflag_t IFlags = IXON | IXOFF;
    termios want = to;
    want.c_cflag = (to.c_cflag & ~CFlags) | (from.c_cflag & CFlags);
    want.c_iflag = (to.c_iflag & ~IFlags) | (from.c_iflag & IFlags);
    if (::cfsetispeed(&want, ::cfgetispeed(&from)) != 0 || ::cfsetospeed(&want, ::cfgetospeed(&from)) != 0)
        Fail("cannot take the speed");
    bool same = want.c_cflag == to.c_cflag && want.c_iflag == to.c_iflag &&
                ::cfgetispeed(&want) == ::cfgetispeed(&to) && ::cfgetospeed(&want) == ::cfgetospeed(&to);
    if (!same && ::tcsetattr(hub.master(), TCSANOW, &want) != 0) Fail("cannot set the hub's end");
}

// Bytes on their way from one master to the other. While a read waits here for the other side
// to take it, its source is not read again.
class Flow {
public:
    Flow(const End& from, const End& to) : from_(from), to_(to), buffer_(BufferSize) {}

    bool holding() const { return at_ < end_; }
    short fromEvents() const { return static_cast<short>((holding() ? 0 : POLLIN) | POLLPRI); }
    short toEvents() const { return holding() ? POLLOUT : 0; }

    // Reads and passes on what it can; true when the source's settings were changed. Reads
    // begin with packet mode's control byte: TIOCPKT_DATA before data, or alone, the
    // notices. While bytes wait here, a read of one byte takes a notice and no data.
    bool Read() {
        char* into = holding() ? &control_ : buffer_.data();
        ssize_t n = ::read(from_.master(), into, holding() ? 1 : buffer_.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return false;
        if (n <= 0) Fail("cannot read " + from_.slaveName() + "'s master");
        if (into[0] != TIOCPKT_DATA) return (into[0] & TIOCPKT_IOCTL) != 0;
        if (!holding()) {
            at_ = 1;
            end_ = static_cast<std::size_t>(n);
            Write();
        }
        return false;
    }

    void Write() {
        ssize_t n = ::write(to_.master(), buffer_.data() + at_, end_ - at_);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (n < 0) Fail("cannot write " + to_.slaveName() + "'s master");
        at_ += static_cast<std::size_t>(n);
        if (!holding()) at_ = end_ = 0;
    }

private:
    const End& from_;
    const End& to_;
    std::vector<char> buffer_;
    std::size_t at_ = 0, end_ = 0;
    char control_ = 0;
};

volatile sig_atomic_t stopping = 0;
void Stop(int) { stopping = 1; }

int Relay(const char* hubLink, const char* appLink) {
    // The signals that end the relay reach it only inside ppoll, so none is missed between a
    // look at the flag and the wait.
    sigset_t ending, waiting;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    sigprocmask(SIG_BLOCK, &ending, &waiting);
    struct sigaction action {};
    action.sa_handler = Stop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    End hub, app;
    bool appSet = false;  // the application has set its port: its settings are the pair's
    Link hubEnd(hubLink, hub.slaveName()), appEnd(appLink, app.slaveName());
    Flow toHub(app, hub), toApp(hub, app);
    while (!stopping) {
        std::array<pollfd, 2> fds{{{app.master(), static_cast<short>(toHub.fromEvents() | toApp.toEvents()), 0},
                                   {hub.master(), static_cast<short>(toApp.fromEvents() | toHub.toEvents()), 0}}};
        if (::ppoll(fds.data(), fds.size(), nullptr, &waiting) < 0) {
            if (errno == EINTR) continue;
            Fail("cannot wait for the pair");
        }
        // Both slaves are held open here, so a hang-up or an error is no passing state.
        for (const pollfd& fd : fds)
            if (fd.revents & (POLLERR | POLLHUP | POLLNVAL)) throw std::runtime_error("the pair hung up");
        const short appGot = fds[0].revents, hubGot = fds[1].revents;
        if (toHub.holding() && (hubGot & POLLOUT)) toHub.Write();
        if (toApp.holding() && (appGot & POLLOUT)) toApp.Write();
        if (((appGot & POLLPRI) || (!toHub.holding() && (appGot & POLLIN))) && toHub.Read()) {
            appSet = true;
            CarrySettings(app, hub);
        }
        if (((hubGot & POLLPRI) || (!toApp.holding() && (hubGot & POLLIN))) && toApp.Read() && appSet)
            CarrySettings(app, hub);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pty-relay <hub end link> <application end link>\n");
        return 2;
    }
    try {
        return Relay(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pty-relay: %s\n", e.what());
        return 1;
    }
}
