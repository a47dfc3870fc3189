#pragma once
// The rules a bridge follows while it moves data, apart from the ports themselves. Pure logic.
#include "hub/hub_cmdline.h"

#include <cstdint>
#include <optional>

namespace hub {

// How the serial port is read. With an interval time-out a read returns once that long has
// passed after the last byte (packet forming), so its time-outs say so and the read asks for a
// whole buffer. Without one (0 or none given) the bytes go on as soon as they come: the read
// blocks for the first byte alone, then takes whatever else has arrived.
struct ReadPlan {
    std::uint32_t intervalMs = 0;  // ReadIntervalTimeout
    bool firstByteAlone = false;
};
ReadPlan PlanReads(const std::optional<int>& ito);

// The wait before the next connection attempt after a refusal or a loss: --reconnect ms, a
// second when none was given, and never less than MinRetryMs, so a server that refuses at once
// cannot make the bridge spin.
constexpr int DefaultRetryMs = 1000;
constexpr int MinRetryMs = 10;
int RetryDelay(const std::optional<int>& reconnect);

// Whether the TCP side should be connected, from the connect signal over time (pin2con). With
// no signal the answer is always yes. With one, the bridge connects as soon as the signal is
// on, and disconnects only after it has been off for the whole delay; a signal that comes back
// within the delay changes nothing.
class ConnectGate {
public:
    ConnectGate(std::optional<Signal> signal, int delayDisconnectMs)
        : signal_(signal), delayMs_(delayDisconnectMs < 0 ? 0 : delayDisconnectMs) {}

    bool watchesSignal() const { return signal_.has_value(); }

    // The answer at time nowMs (any steady clock) when the signal is on or off.
    bool Update(bool signalOn, std::uint64_t nowMs);

private:
    std::optional<Signal> signal_;
    std::uint64_t delayMs_;
    bool wanted_ = false;
    std::optional<std::uint64_t> offSince_;
};

}  // namespace hub
