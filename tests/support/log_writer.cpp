// Appends lines to a log, for the tests of many writers at once:  log_writer <tag> <count> [<file>]
// Line i is "<tag> <i>\t-\t" and dots; with a file through the stand-ins' log, else as an event
// of the connection log. Ends with 1 when a write reported a failure.
#include "common/log_file.h"
#include "tools/connection_log.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string dots(200, '.');
    int failed = 0;
    for (int i = 0, count = std::atoi(argv[2]); i < count; ++i) {
        const std::string id = std::string(argv[1]) + " " + std::to_string(i);
        failed |= argc > 3 ? standin::AppendToLog(argv[3], id + "\t-\t" + dots + "\r\n") != 0
                           : !AppendToConnectionLog({{id, "-", dots}});
    }
    return failed;
}
