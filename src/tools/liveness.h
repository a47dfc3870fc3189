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
    // hosts of connected bridges at once, then at most once per EchoEveryMs. Whether a host ever
    // answered is kept for the program's run; a host no longer given starts its misses anew.
    std::vector<std::uint32_t> Due(std::int64_t nowMs, const std::vector<std::uint32_t>& hosts);
    // The same, but while the system refuses echoes (refused: the last round was refused), a
    // round at most once per RefusedRetryMs.
    std::vector<std::uint32_t> DueUnlessRefused(std::int64_t nowMs, const std::vector<std::uint32_t>& hosts,
                                                bool refused);
    static constexpr std::int64_t RefusedRetryMs = 60000;
    void Take(const std::vector<TEcho>& echoes);

    // A host that answered at least once, then missed MissesToJudge echoes in a row. One that
    // never answered (a firewall that drops echoes) is never judged.
    bool NotAnswering(std::uint32_t host) const;
    // When the host last answered: the time its answered echo was sent, or its bridge connected.
    std::int64_t LastAnswerMs(std::uint32_t host) const;

    // The check switched off: no host is judged; each must miss MissesToJudge echoes again.
    void ClearJudgements();

    // Whether the hub may start anew at nowMs to make a dead link anew (at most once every
    // RestartEveryMs); true counts as the restart.
    bool MayRestart(std::int64_t nowMs);

private:
    std::int64_t restartedMs_ = 0;
    std::int64_t triedMs_ = 0;  // when the last round was due
    bool restarted_ = false;
    struct THost {
        std::int64_t Asked = 0;
        std::int64_t AnsweredMs = 0;
        bool Watched = false;  // the host of a connected bridge since it was last asked
        bool Answered = false;
        int Misses = 0;
    };
    std::map<std::uint32_t, THost> hosts_;
};
