#pragma once
// The connection log: %LOCALAPPDATA%\Pontis Manager\connections.log, one line per event, kept
// below about 1 MB by turning it into connections.1.log. Whichever copy of the program acts
// writes it; a log that cannot be written stops nothing, the caller only learns of it.
#include "tools/link_log.h"

#include <string>
#include <vector>

// The log's full path (UTF-8); empty when the system names no local application data folder.
std::string ConnectionLogPath();

// Appends one line per event, stamped with the local time, each with one write and no read of
// the file, holding the lock every writing process takes; makes the folder, each missing level
// of it, when it is missing. True for no events. False when a line could not be written, or the
// lock not had within a few seconds; *why then says which, with the system's reason.
bool AppendToConnectionLog(const std::vector<TLogEvent>& events, std::string* why = nullptr);

// The name of the lock every process that writes the log holds while it writes.
std::string ConnectionLogLockName();
