#pragma once
// Creating, changing and removing a bridge's port pair with the setup tool, waiting for it.
#include "config/bridge.h"

bool InstallPortPair(int pair, const TBridge& record);
bool ChangePortPair(const TBridge& record);
bool RemovePortPair(int index);
