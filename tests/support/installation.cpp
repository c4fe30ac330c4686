#include "support/installation.hpp"

namespace lw::test {

namespace fs = std::filesystem;

Installation::Installation(const fs::path& binDir)
{
    fs::copy(binDir, dir.makeDir("prog"), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    dir.makeDir("mw/Data Files");
    dir.makeDir("ob/Data");
    dir.makeDir("work");
    dir.writeFile("prog/meshshift.ini", "Morrowind=" + source() + "\nArchive=Morrowind.bsa\nOblivion=" + target() +
                                            "\nFolder=conv\n");
}

RunResult Installation::run(const char* program, const std::vector<std::string>& args, RunOptions options) const
{
    options.workingDir = dir / "work";
    return runProgram(programPath(dir / "prog", program), args, options);
}

std::set<std::string> Installation::snapshot() const
{
    const std::vector<std::string> files = dir.listFiles();
    return std::set<std::string>(files.begin(), files.end());
}

std::vector<std::string> Installation::writtenSince(const std::set<std::string>& before, bool outsideTargetOnly,
                                                    const std::set<std::string>& allowed) const
{
    std::vector<std::string> added;
    for (const std::string& f : dir.listFiles())
        if (!before.count(f) && !(outsideTargetOnly && (f.starts_with("ob/Data/") || allowed.count(f))))
            added.push_back(f);
    return added;
}

} // namespace lw::test
