#include "tools/liveness.h"

#include <algorithm>

std::vector<std::uint32_t> TLiveness::Due(std::int64_t nowMs, const std::vector<std::uint32_t>& hosts) {
    std::map<std::uint32_t, THost> kept;
    std::vector<std::uint32_t> due;
    for (std::uint32_t host : hosts) {
        if (kept.count(host)) continue;
        const auto found = hosts_.find(host);
        THost& h = kept[host] = found == hosts_.end() ? THost{} : found->second;
        if (h.EverAsked && nowMs - h.Asked < EchoEveryMs) continue;
        h.Asked = nowMs;
        h.EverAsked = true;
        due.push_back(host);
    }
    hosts_ = std::move(kept);
    return due;
}

void TLiveness::Take(const std::vector<TEcho>& echoes) {
    for (const TEcho& echo : echoes) {
        const auto found = hosts_.find(echo.Host);
        if (found == hosts_.end()) continue;  // no longer the host of a connected bridge
        THost& h = found->second;
        h.Answered = h.Answered || echo.Answered;
        h.Misses = echo.Answered ? 0 : h.Misses + 1;
    }
}

bool TLiveness::NotAnswering(std::uint32_t host) const {
    const auto found = hosts_.find(host);
    return found != hosts_.end() && found->second.Answered && found->second.Misses >= MissesToJudge;
}

bool TLiveness::MayRestart(std::int64_t nowMs) {
    if (restarted_ && nowMs - restartedMs_ < RestartEveryMs) return false;
    restarted_ = true;
    restartedMs_ = nowMs;
    return true;
}
