#pragma once
// The bridges' home in the current user's registry: the only place that knows the key and
// value names.
#include "config/bridge.h"
#include "platform/handles.h"

#include <functional>
#include <optional>
#include <string>

extern const char ProgramKey[];  // "Software\Quillon\Pontis Manager" below HKEY_CURRENT_USER

// Fills slots 1 to 10 from the registry (expects them cleared) and hands each loaded bridge to
// addRow. A slot without a Port is free. One whose Port does not read as a number of 1 or more,
// or whose COM text is empty, is loaded with what could be read and marked unreadable. A registry
// error ends the load: slots loaded before it stay, the failing slot and every later one whose
// section exists are held back, and the error is raised.
// A value stored as no text (a REG_DWORD Baud) makes its slot unreadable, like a Port that is no
// number: "Baud is stored as a number, not as text".
void LoadBridges(const std::function<void(const TBridge&)>& addRow);

// Writes slot n, and no other: a freed slot has its section dropped; a bridge has the values
// written that differ from before (all of them without before, or when the stored bridge is no
// longer before: deleted or changed by another program). Held-back and unreadable slots are
// left as they are in the registry.
void SaveBridge(int n, const TBridge* before = nullptr);

// The bridge stored in slot n now, read as a load reads it (a value that does not read takes
// its default), without touching the table; nothing when the slot has no Port. A registry
// error is raised.
std::optional<TBridge> ReadStoredBridge(int n);

// Tells, without waiting, whether anything under the program's key changed since the last look:
// the system signals an event, which each look takes and arms again. Where the key can be
// neither opened nor made, it tells nothing.
class TStoredChanges {
public:
    TStoredChanges();
    bool Changed();

private:
    void Arm();

    platform::RegKey key_;
    platform::Handle event_;
};

// Start at log-on: the value "Pontis Manager" of the current user's Run key
// (Software\Microsoft\Windows\CurrentVersion\Run), which holds the command started at log-on.
// Reading gives nothing when the value is missing, is no text or cannot be read; writing and
// deleting raise ERegistryException when the registry refuses. Deleting a missing value is no error.
// The command is UTF-8 text, stored and read in the wide form.
std::optional<std::string> ReadLogOnValue();
void WriteLogOnValue(const std::string& command);
void DeleteLogOnValue();

// Whether a note shows when a link drops: the text value "Notify" ("1" or "0") under the
// program's key; on when it is missing. Writing raises ERegistryException when the registry refuses.
bool ReadNotifySetting();
void WriteNotifySetting(bool on);

// Whether the servers of connected bridges are sent echoes to tell a dead link: the text value
// "CheckServers" ("1" or "0"), on when it is missing; written as "Notify" is.
bool ReadCheckServersSetting();
void WriteCheckServersSetting(bool on);
