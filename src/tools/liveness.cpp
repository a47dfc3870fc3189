#include "tools/liveness.h"

#include <algorithm>

std::vector<std::uint32_t> TLiveness::Due(std::int64_t nowMs, const std::vector<std::uint32_t>& hosts) {
    for (auto& [address, h] : hosts_)
        if (std::find(hosts.begin(), hosts.end(), address) == hosts.end()) {
            h.Watched = false;
            h.Misses = 0;
        }
    std::vector<std::uint32_t> due;
    for (std::uint32_t host : hosts) {
        THost& h = hosts_[host];
        if (h.Watched && nowMs - h.Asked < EchoEveryMs) continue;  // also a host that two bridges share
        if (!h.Watched) h.AnsweredMs = nowMs;  // its bridge just connected: it answered that
        h.Asked = nowMs;
        h.Watched = true;
        due.push_back(host);
    }
    return due;
}

void TLiveness::Take(const std::vector<TEcho>& echoes) {
    for (const TEcho& echo : echoes) {
        const auto found = hosts_.find(echo.Host);
        if (found == hosts_.end() || !found->second.Watched) continue;  // no longer the host of a connected bridge
        THost& h = found->second;
        h.Answered = h.Answered || echo.Answered;
        if (echo.Answered) h.AnsweredMs = h.Asked;
        h.Misses = echo.Answered ? 0 : h.Misses + 1;
    }
}

bool TLiveness::NotAnswering(std::uint32_t host) const {
    const auto found = hosts_.find(host);
    return found != hosts_.end() && found->second.Answered && found->second.Misses >= MissesToJudge;
}

std::int64_t TLiveness::LastAnswerMs(std::uint32_t host) const {
    const auto found = hosts_.find(host);
    return found == hosts_.end() ? 0 : found->second.AnsweredMs;
}

std::vector<std::uint32_t> TLiveness::DueUnlessRefused(std::int64_t nowMs, const std::vector<std::uint32_t>& hosts,
                                                       bool refused) {
    if (refused && nowMs - triedMs_ < RefusedRetryMs) return {};
    std::vector<std::uint32_t> due = Due(nowMs, hosts);
    if (!due.empty()) triedMs_ = nowMs;
    return due;
}

void TLiveness::ClearJudgements() {
    for (auto& entry : hosts_) entry.second.Misses = 0;
}

bool TLiveness::MayRestart(std::int64_t nowMs) {
    if (restarted_ && nowMs - restartedMs_ < RestartEveryMs) return false;
    restarted_ = true;
    restartedMs_ = nowMs;
    return true;
}
