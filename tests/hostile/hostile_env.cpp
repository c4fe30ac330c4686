#include "hostile_env.hpp"

#include <chrono>
#include <filesystem>

namespace lw::test::hostile {

namespace fs = std::filesystem;

HostileEnv::HostileEnv()
{
    const fs::path prog = dir.makeDir("prog");
    fs::copy(LW_BIN_DIR, prog, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    dir.makeDir("mw/Data Files");
    dir.makeDir("ob/Data");
    dir.makeDir("work");
    dir.writeFile("prog/meshshift.ini", "Morrowind=" + source() + "\nArchive=Morrowind.bsa\nOblivion=" + target() +
                                            "\nFolder=conv\n");
}

RunResult HostileEnv::run(const char* program, const std::vector<std::string>& args) const
{
    RunOptions options;
    options.workingDir = dir / "work";
    options.timeout = std::chrono::seconds(180);
    return runProgram(programPath(dir / "prog", program), args, options);
}

RunResult HostileEnv::modshift(const std::vector<std::string>& args) const { return run("modshift", args); }
RunResult HostileEnv::meshshift(const std::vector<std::string>& args) const { return run("meshshift", args); }

std::set<std::string> HostileEnv::snapshot() const
{
    const std::vector<std::string> files = dir.listFiles();
    return std::set<std::string>(files.begin(), files.end());
}

std::vector<std::string> HostileEnv::writtenSince(const std::set<std::string>& before) const
{
    std::vector<std::string> added;
    for (const std::string& f : dir.listFiles())
        if (!before.count(f))
            added.push_back(f);
    return added;
}

std::vector<std::string> HostileEnv::writtenOutsideTarget(const std::set<std::string>& before,
                                                          const std::set<std::string>& allowed) const
{
    std::vector<std::string> outside;
    for (const std::string& f : writtenSince(before))
        if (!f.starts_with("ob/Data/") && !allowed.count(f))
            outside.push_back(f);
    // Anything that climbed above the temporary root is found by the parent's
    // listing only if it landed right beside it; the runs below give every
    // escaping name few enough ".." to stay inside the root, so it shows here.
    return outside;
}

bool endedCleanly(const RunResult& r)
{
    return r.started && r.exited && !r.timedOut;
}

std::string repeated(std::string_view unit, std::size_t n)
{
    std::string s;
    while (s.size() < n)
        s += unit;
    s.resize(n);
    return s;
}

} // namespace lw::test::hostile
