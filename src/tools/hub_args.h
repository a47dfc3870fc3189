#pragma once
// The hub's argument string, built from the list rows in displayed order and the bridge table.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// True for a server address that can stand unquoted in a command line: not empty, no blank,
// double quote or control character, and no leading "-", which the hub would read as an option.
bool IsValidServerAddress(std::string_view address);

// Why the rows cannot be started ("Bridge 'COM9' is not defined", "Bridge 'COM9' has an
// invalid server address", "... an invalid server port" outside 1 to 65535, "... an invalid RX
// delay" below 0), or nothing when they can.
std::optional<std::string> CheckHubRows(const std::vector<std::string>& captions);

// The argument string, beginning with one space, for rows that CheckHubRows accepted.
std::string BuildHubArguments(const std::vector<std::string>& captions);
