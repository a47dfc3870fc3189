#pragma once
// hub4com.log beside the executable: one record per write, stamped with the time and the
// process id, from any thread. Failing to write never stops the hub. The log keeps within a
// limit: at 1 MiB the file becomes hub4com.log.1 (the one before goes) and a new one starts; and
// a record that its source (a bridge: what comes before the first ": ") writes again, with no
// other record of that source between, within a minute of its writing, is counted, not written.
// The count goes to the log as "<record> (repeated N times)" before the source's next other
// record, or with the first write of any record once the minute is over.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

namespace hub {

class Log {
public:
    static constexpr unsigned long long LimitBytes = 1 << 20;
    static constexpr std::uint64_t RepeatMs = 60000;

    Log();  // the file beside the executable

    // Appends the lines, each stamped; returns 0 or the error of the failed call.
    unsigned long Write(const std::string& lines) const;

    const std::string& path() const { return path_; }

private:
    struct Last {
        std::string record;
        std::uint64_t since;    // when it was written, or its count last was
        unsigned long repeats;  // times it came again since, not written
    };
    unsigned long Append(const std::string& lines) const;

    std::string path_;
    mutable SRWLOCK lock_ = SRWLOCK_INIT;  // guards last_
    mutable std::map<std::string, Last> last_;  // per source, its last record
};

}  // namespace hub
