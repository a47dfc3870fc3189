#include "hub/bridge_rules.h"

#include <gtest/gtest.h>

#include <vector>

using namespace hub;

namespace {

TEST(BridgeRules, ReadsWithTheIntervalTimeOutOrAtOnce) {
    const struct {
        std::optional<int> ito;
        std::uint32_t interval;
        bool firstByteAlone;
    } cases[] = {
        {10, 10, false},
        {1, 1, false},
        {0, 0, true},  // no packet forming: each byte goes on as it comes
        {std::nullopt, 0, true},
    };
    for (const auto& c : cases) {
        ReadPlan plan = PlanReads(c.ito);
        EXPECT_EQ(plan.intervalMs, c.interval) << c.ito.value_or(-1);
        EXPECT_EQ(plan.firstByteAlone, c.firstByteAlone) << c.ito.value_or(-1);
    }
}

TEST(BridgeRules, WaitsBetweenTriesAsToldButNeverSpins) {
    EXPECT_EQ(RetryDelay(10000), 10000);
    EXPECT_EQ(RetryDelay(250), 250);
    EXPECT_EQ(RetryDelay(std::nullopt), DefaultRetryMs);
    EXPECT_EQ(RetryDelay(0), MinRetryMs);
    EXPECT_EQ(RetryDelay(MinRetryMs - 1), MinRetryMs);
}

// The gate's answers for a row of (time, signal) samples.
std::vector<bool> Answers(ConnectGate gate, const std::vector<std::pair<std::uint64_t, bool>>& samples) {
    std::vector<bool> answers;
    for (const auto& [t, on] : samples) answers.push_back(gate.Update(on, t));
    return answers;
}

TEST(BridgeRules, WithoutASignalTheBridgeIsAlwaysConnected) {
    ConnectGate gate(std::nullopt, 500);
    EXPECT_FALSE(gate.watchesSignal());
    EXPECT_EQ(Answers(gate, {{0, false}, {1000, false}, {5000, true}}), (std::vector<bool>{true, true, true}));
}

TEST(BridgeRules, ConnectsOnTheSignalAndDisconnectsAfterItWasOffForTheDelay) {
    const struct {
        const char* what;
        int delay;
        std::vector<std::pair<std::uint64_t, bool>> samples;
        std::vector<bool> answers;
    } cases[] = {
        {"off from the start: never connects", 500, {{0, false}, {600, false}, {2000, false}}, {false, false, false}},
        {"connects at once when on", 500, {{0, false}, {50, true}}, {false, true}},
        {"off shorter than the delay changes nothing", 500,
         {{0, true}, {100, false}, {550, false}, {580, true}, {1000, false}, {1499, false}},
         {true, true, true, true, true, true}},
        {"off for the whole delay disconnects", 500, {{0, true}, {100, false}, {599, false}, {600, false}},
         {true, true, true, false}},
        {"and stays off until the signal comes back", 500, {{0, true}, {100, false}, {700, false}, {5000, false}, {5001, true}},
         {true, true, false, false, true}},
        {"a new off period starts the delay again", 500,
         {{0, true}, {100, false}, {500, true}, {600, false}, {1050, false}, {1100, false}},
         {true, true, true, true, true, false}},
        {"no delay: disconnects as soon as it is off", 0, {{0, true}, {10, false}}, {true, false}},
        {"a negative delay counts as none", -5, {{0, true}, {10, false}}, {true, false}},
    };
    for (const auto& c : cases) {
        ConnectGate gate(Signal::Dsr, c.delay);
        EXPECT_TRUE(gate.watchesSignal());
        EXPECT_EQ(Answers(gate, c.samples), c.answers) << c.what;
    }
}

}  // namespace
