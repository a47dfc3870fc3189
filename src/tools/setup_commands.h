#pragma once
// The port-pair setup tool's three command lines (after the program path) and their verdicts.
#include "config/bridge.h"

#include <cstdint>
#include <string>

std::string InstallArguments(int pair, const TBridge& record);
std::string ChangeArguments(const TBridge& record);
std::string RemoveArguments(int index);

bool InstallSucceeded(std::uint32_t exitCode);  // 0
bool ChangeSucceeded(std::uint32_t exitCode);   // 0
bool RemoveSucceeded(std::uint32_t exitCode);   // below 10
