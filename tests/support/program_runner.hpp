#pragma once
// Runs a built program as from a console, output captured; a run past the time
// limit is killed with what it started, so a hang fails a test, not the suite.

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lw::test {

struct RunOptions {
    std::filesystem::path workingDir;   // empty: the current folder
    bool openInput = false;             // standard input a pipe that stays open, empty, like an idle console
    std::chrono::milliseconds timeout{std::chrono::minutes(5)};
};

struct RunResult {
    bool started = false;   // false: the program could not be started (see error)
    bool timedOut = false;  // killed after the time limit
    bool exited = false;    // ended by itself through exit/return
    int exitCode = -1;      // its exit status when exited
    int signal = 0;         // POSIX: the signal that ended it, when not exited
    std::string out, err;   // standard output and error, CR LF given back as "\n"
    std::string error;      // why it could not be started

    // Compared by the low 8 bits POSIX keeps (-1 is 255).
    bool exitedWith(int code) const
    {
        return started && exited && !timedOut && (exitCode & 0xFF) == (code & 0xFF);
    }
    std::string describe() const; // for failure messages
};

RunResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const RunOptions& options = {});

// `name` in binDir with the platform's executable suffix.
std::filesystem::path programPath(const std::filesystem::path& binDir, std::string_view name);

} // namespace lw::test
