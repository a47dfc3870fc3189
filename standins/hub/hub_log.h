#pragma once
// hub4com.log beside the executable: one record per write, stamped with the time and the
// process id, from any thread. Failing to write never stops the hub.
#include <string>

namespace hub {

class Log {
public:
    Log();  // the file beside the executable

    // Appends the lines, each stamped; returns 0 or the error of the failed call.
    unsigned long Write(const std::string& lines) const;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace hub
