#pragma once
// A mutex named for this user session, held while the object lives: the one way to keep the
// processes that append to one file from mixing their records, since Wine does not make an
// append whole between processes. A holder that was killed leaves the mutex abandoned, which
// hands it on all the same.
#include "platform/ascii.h"
#include "platform/handles.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

class NamedLock {
public:
    // Waits at most timeoutMs; Held() tells whether the lock was had, and Error() why not.
    NamedLock(const std::string& name, DWORD timeoutMs) : mutex_(::CreateMutexA(nullptr, FALSE, name.c_str())) {
        if (!mutex_) {
            error_ = ::GetLastError();
            return;
        }
        const DWORD r = ::WaitForSingleObject(mutex_.get(), timeoutMs);
        held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
        if (!held_) error_ = r == WAIT_TIMEOUT ? ERROR_TIMEOUT : ::GetLastError();
    }
    ~NamedLock() {
        if (held_) ::ReleaseMutex(mutex_.get());
    }
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    bool Held() const { return held_; }
    // 0 when held; ERROR_TIMEOUT when another holder kept it past the wait; else the system's
    // error for a mutex of that name that could not be opened (another program's that refuses
    // us) or waited for.
    DWORD Error() const { return error_; }

private:
    Handle mutex_;
    bool held_ = false;
    DWORD error_ = 0;
};

// "Local\<prefix>-<hash of the path>", letter case aside: a path may be longer than a name can be.
inline std::string LockNameFor(const char* prefix, std::string_view path) {
    unsigned long long hash = 14695981039346656037ull;
    for (char c : path) {
        hash ^= static_cast<unsigned char>(AsciiLower(c));
        hash *= 1099511628211ull;
    }
    char name[96];
    std::snprintf(name, sizeof name, "Local\\%s-%016llx", prefix, hash);
    return name;
}

}  // namespace platform
