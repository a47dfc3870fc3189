#pragma once
// Holds the port pairs of one tool folder for one run of the setup tool (or the hub's restore
// of them), so two runs at once cannot lose each other's change. A run that ends without
// releasing leaves the mutex abandoned, which still hands it on.
#include "platform/handles.h"
#include "platform/named_lock.h"
#include "common/pair_settings.h"

#include <windows.h>

#include <string>

namespace setupc {

class StateLock {
public:
    explicit StateLock(const std::string& dir, DWORD timeoutMs = 10000) {
        // Named after the folder, letter case aside.
        mutex_.reset(CreateMutexA(nullptr, FALSE, platform::LockNameFor("setupc", dir).c_str()));
        if (!mutex_) throw SetupError("cannot create the state lock (error " + std::to_string(GetLastError()) + ")");
        DWORD r = WaitForSingleObject(mutex_.get(), timeoutMs);
        if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) throw SetupError("another run holds the port pairs");
    }
    ~StateLock() { ReleaseMutex(mutex_.get()); }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

private:
    platform::Handle mutex_;
};

}  // namespace setupc
