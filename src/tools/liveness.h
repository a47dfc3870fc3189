#pragma once
// Whether the servers of connected bridges still answer: an echo to each one's host every few
// seconds, and the hosts judged from the answers. A connection whose server vanished without
// closing it stays in the system's table for ever; only the host's silence tells. Pure logic.
#include <cstdint>
#include <map>
#include <vector>

// One echo's outcome: the host (IPv4, the first number in the highest byte) and whether it answered.
struct TEcho {
    std::uint32_t Host = 0;
    bool Answered = false;
};

class TLiveness {
public:
    static constexpr std::int64_t EchoEveryMs = 5000;
    static constexpr int MissesToJudge = 3;
    static constexpr std::int64_t RestartEveryMs = 60000;

    // The hosts due for an echo at nowMs (any steady clock in milliseconds): each of these
    // hosts of connected bridges at most once per EchoEveryMs. Hosts no longer given are forgotten.
    std::vector<std::uint32_t> Due(std::int64_t nowMs, const std::vector<std::uint32_t>& hosts);
    void Take(const std::vector<TEcho>& echoes);

    // A host that answered at least once, then missed MissesToJudge echoes in a row. One that
    // never answered (a firewall that drops echoes) is never judged.
    bool NotAnswering(std::uint32_t host) const;

    // The bridges started or stopped: no host has answered since.
    void Forget() { hosts_.clear(); }

    // Whether the hub may start anew at nowMs to make a dead link anew (at most once every
    // RestartEveryMs); true counts as the restart.
    bool MayRestart(std::int64_t nowMs);

private:
    std::int64_t restartedMs_ = 0;
    bool restarted_ = false;
    struct THost {
        std::int64_t Asked = 0;
        bool EverAsked = false;
        bool Answered = false;
        int Misses = 0;
    };
    std::map<std::uint32_t, THost> hosts_;
};
