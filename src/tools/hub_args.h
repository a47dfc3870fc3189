#pragma once
// The hub's argument string, built from the list rows in displayed order: the slots of the
// bridge table that the rows show.
#include "config/bridge_fields.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Why the rows cannot be started (a row whose bridge could not be read: "Bridge slot 2 cannot
// be read: Port '4710 2'", a free slot: "Bridge slot 4 is not defined", or a value the
// bridge dialog would refuse: "Bridge 'COM9' has an invalid server address", "... an invalid
// server port", "... an invalid RX delay"), a COM text listed twice ("Bridge 'COM9' is defined
// twice"), two bridges of one pair ("Bridges 'COM5' and 'COM6' use the same port pair"), or
// nothing when they can.
std::optional<std::string> CheckHubRows(const std::vector<int>& slots);

// The rows a start takes: those whose bridges could be read, in the same order.
std::vector<int> Readable(const std::vector<int>& slots);

// The slots a start leaves out, listed or not: the stored bridges that could not be read.
std::vector<int> LeftOut();

// The slots of the bridges that are switched on, in the same order.
std::vector<int> SwitchedOn(const std::vector<int>& slots);

// Whether every one of the listed bridges that could be read, of which there is at least one, is
// switched off: a start then ends the running hub as a stop does, and says so.
bool AllSwitchedOff(const std::vector<int>& slots);

// The port of pair n as the hub's line names it: "\\.\CNCA3".
std::string HubPortName(int index);

// The argument string, beginning with one space, for rows that CheckHubRows accepted; the
// bridges that are switched off are left out.
std::string BuildHubArguments(const std::vector<int>& slots);
