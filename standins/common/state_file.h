#pragma once
// The state file of the setup tool on disk, beside the tool; read by the tool and by the hub
// that makes the pairs again. Paths are UTF-8.
#include "common/pair_settings.h"

#include <string>

namespace setupc {

constexpr char StateName[] = "setupc.state";

// The error of the last failed system call, after what was being done.
SetupError SystemError(const std::string& what);

// The state file's text; the empty text when there is no file yet. Throws SetupError when the
// file cannot be read or is too large to be a state file.
std::string ReadStateFile(const std::string& path);

// Replaces the file in one step: the new text goes to a file beside it, which then takes its
// name, so a failed run leaves the old state whole. Throws SetupError.
void WriteStateFile(const std::string& path, const std::string& text);

}  // namespace setupc
