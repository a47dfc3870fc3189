#pragma once
// The port pairs made real under Wine: pseudo-terminal pairs linked into the prefix's
// dosdevices folder by pty-pairs.sh, which lies beside the tool. On Windows proper, or without
// the script, there is nothing to make them with and Find answers with none.
#include <windows.h>

#include <optional>
#include <string>

namespace setupc {

// Paths are UTF-8.
class WinePairs {
public:
    // For the tool folder dir (with its trailing separator) and the state file in it; none on
    // Windows proper, and none when the script is not beside the tool. Throws PairNotMade when
    // the prefix or the folder cannot be reached from the Unix side.
    static std::optional<WinePairs> Find(const std::string& dir, const std::string& statePath);

    // Each waits for the script's answer and throws PairNotMade with its reason on a failure.
    void Make(int pair, const std::string& portName) const { Start("make", pair, portName).Wait(); }
    void Relink(int pair, const std::string& portName) const { Start("relink", pair, portName).Wait(); }
    void End(int pair) const { Start("end", pair, {}).Wait(); }

    // A run of the script that has been started; Wait gives its answer.
    class Pending {
    public:
        void Wait() const;  // throws PairNotMade

    private:
        friend class WinePairs;
        std::string statusPath_;
        std::string what_;
    };
    Pending Start(const char* verb, int pair, const std::string& portName) const;

private:
    std::string bash_;        // Windows path of /bin/bash
    std::string script_;      // Unix paths
    std::string dosdevices_;
    std::string state_;
    std::string tempDir_;     // Windows path, for the answers
};

}  // namespace setupc
