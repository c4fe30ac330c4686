#pragma once
// A complete installation in a temporary folder for runs of the real programs
// over hostile input, and the check that matters most for such input: which
// files a run wrote, and whether any of them lies outside the target data
// folder.
//
//   <root>/prog            copy of the build's program folder (both programs, data files)
//   <root>/mw/Data Files   source data folder (archive Morrowind.bsa)
//   <root>/ob/Data         target data folder; asset subfolder "conv"
//   <root>/work            current folder of every run; plugins live here

#include <set>
#include <string>
#include <vector>

#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace lw::test::hostile {

inline constexpr int kMeshFailed = 255; // meshshift's -1 as an exit status

class HostileEnv {
public:
    HostileEnv();

    TempDir dir{"lw-hostile"};

    // Runs a program from the copied program folder with the current folder
    // "work" and standard input from the null device.
    RunResult modshift(const std::vector<std::string>& args) const;
    RunResult meshshift(const std::vector<std::string>& args) const;

    // Every file below the temporary root, relative with "/" separators.
    std::set<std::string> snapshot() const;
    // The files present now that were not in `before`.
    std::vector<std::string> writtenSince(const std::set<std::string>& before) const;
    // Of those, the ones outside the target data folder, except the names in `allowed`.
    std::vector<std::string> writtenOutsideTarget(const std::set<std::string>& before,
                                                  const std::set<std::string>& allowed = {}) const;

    std::string source() const { return (dir / "mw/Data Files").string(); }
    std::string target() const { return (dir / "ob/Data").string(); }

private:
    RunResult run(const char* program, const std::vector<std::string>& args) const;
};

// The run ended by itself (no signal, no time-out), as a clean exit should.
bool endedCleanly(const RunResult& r);

// A text of `n` characters made of repeated `unit`.
std::string repeated(std::string_view unit, std::size_t n);

} // namespace lw::test::hostile

// The path tests name files with drive letters, rooted paths and names far
// beyond the Windows path limit: on Windows those are real places or
// unrepresentable names, so the tests check the POSIX build, while the
// refusals they rely on are unit-tested on both.
#ifdef _WIN32
#define LW_POSIX_PATHS_ONLY() GTEST_SKIP() << "path semantics of the POSIX build"
#else
#define LW_POSIX_PATHS_ONLY() (void)0
#endif
