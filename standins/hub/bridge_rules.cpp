#include "hub/bridge_rules.h"

namespace hub {

ReadPlan PlanReads(const std::optional<int>& ito) {
    ReadPlan plan;
    if (ito && *ito > 0)
        plan.intervalMs = static_cast<std::uint32_t>(*ito);
    else
        plan.firstByteAlone = true;
    return plan;
}

int RetryDelay(const std::optional<int>& reconnect) {
    int ms = reconnect.value_or(DefaultRetryMs);
    return ms < MinRetryMs ? MinRetryMs : ms;
}

bool ConnectGate::Update(bool signalOn, std::uint64_t nowMs) {
    if (!signal_ || signalOn) {
        offSince_.reset();
        return wanted_ = true;
    }
    if (!wanted_) return false;
    if (!offSince_) offSince_ = nowMs;
    if (nowMs - *offSince_ >= delayMs_) {
        wanted_ = false;
        offSince_.reset();
    }
    return wanted_;
}

}  // namespace hub
