#pragma once
// The run of the bridges: whether they run, as this copy of the program takes it; the hub's
// process; the order the list and the hub give the bridges; and the record that every copy of
// the program for this user shares, which publishes what the starts and stops did. The window,
// its icon, the link watcher and the switches read the run from here.
#include "platform/handles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr char BusyText[] = "Another start or stop of the bridges did not finish. Please try again";
constexpr char LockHeldText[] = "Another program holds the bridges' start lock";  // and, when it is a copy of ours, which
constexpr char LockUnusableText[] = "The bridges' start lock cannot be opened: ";  // and the system's reason
constexpr char RecordUnusableText[] = "The record of the bridges' starts and stops cannot be opened: ";  // and the reason

// How long a start or stop waits for one under way in another copy: 30 seconds (tests shorten it).
extern unsigned long StartStopWaitMs;

class TRun {
public:
    explicit TRun(bool running = false) : running_(running) {}

    // Whether the bridges run; a start, a stop, or a look that finds the hub ended or
    // appeared changes it.
    bool Running() const { return running_; }
    void Take(bool running) { running_ = running; }

    // Whether a hub of this program runs now.
    static bool HubFound();
    // The argument string of the hub last started, kept in the program's key (the value
    // "command"); empty when there is none or it cannot be read.
    static std::string HubLine();
    static void RecordHubLine(const std::string& arguments);

private:
    bool running_;
};

// A start or stop of any copy of this program for this user runs alone: the next one waits for
// it. What they did is kept for every copy to read: how many there have been, and whether the
// last one left the bridges running.
struct TStartsAndStops {
    std::uint32_t Count = 0;
    bool Running = false;
    // False when the lock or the record cannot be opened: another copy's start or stop then
    // cannot be told from a hub that ended.
    bool Known = true;
};
// The record, or nothing while a start or stop is under way, here or in another copy.
std::optional<TStartsAndStops> StartsAndStops();

// Holds the lock for one start or stop. Not had when another copy keeps it past the wait, when a
// start or stop of this process is under way (a box it shows runs the message loop), or when the
// lock or the record cannot be opened; Fault() then tells which.
class TStartStopLock {
public:
    explicit TStartStopLock(DWORD waitMs);
    ~TStartStopLock();
    TStartStopLock(const TStartStopLock&) = delete;
    TStartStopLock& operator=(const TStartStopLock&) = delete;
    explicit operator bool() const { return held_; }
    const std::string& Fault() const { return fault_; }
    bool Unusable() const { return unusable_; }  // the lock or the record cannot be opened

    std::uint32_t Count() const;  // of starts and stops so far
    // A start or stop that changed whether the hub runs tells the other copies.
    void Changed() const;

private:
    platform::Handle mutex_;
    bool held_ = false;
    bool unusable_ = false;
    std::string fault_;
};

// The bridges whose servers the watching copy finds not answering, a bit per slot, for the
// others to show (-status); every start and stop clears them.
void PublishNotAnswering(std::uint32_t slots);
std::uint32_t NotAnsweringSlots();

// The list's order of two slots of Bridges by their captions (the COM texts): the platform's
// locale-aware text comparison, negative when a stands before b. The hub takes the bridges in
// this order.
int CompareSlots(int a, int b);

// Clears the bridge table, loads the stored bridges into it as the window does, and gives
// their slots in list order. A registry error is raised as from the window's load.
std::vector<int> LoadStoredBridges();
