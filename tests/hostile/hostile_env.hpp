#pragma once
// Runs of the real programs over hostile input in a whole installation.

#include <string>
#include <string_view>

#include "support/installation.hpp"

namespace lw::test::hostile {

using HostileEnv = Installation;

inline constexpr int kMeshFailed = 255; // meshshift's -1 as an exit status

inline bool endedCleanly(const RunResult& r) { return r.started && r.exited && !r.timedOut; }

inline std::string repeated(std::string_view unit, std::size_t n)
{
    std::string s;
    while (s.size() < n)
        s += unit;
    s.resize(n);
    return s;
}

} // namespace lw::test::hostile

// Drive letters, rooted paths and names past the Windows path limit are real
// places or unrepresentable names on Windows: path tests check the POSIX build.
#ifdef _WIN32
#define LW_POSIX_PATHS_ONLY() GTEST_SKIP() << "path semantics of the POSIX build"
#else
#define LW_POSIX_PATHS_ONLY() (void)0
#endif
