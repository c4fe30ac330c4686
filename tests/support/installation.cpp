#include "support/installation.hpp"

namespace lw::test {

namespace fs = std::filesystem;

Installation::Installation(const fs::path& binDir)
{
    fs::copy(binDir, dir.makeDir("prog"), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    dir.makeDir("work");
    dir.writeFile("prog/meshshift.ini", "Morrowind=" + dir.makeDir("mw/Data Files").string() +
                                            "\nArchive=Morrowind.bsa\nOblivion=" + dir.makeDir("ob/Data").string() +
                                            "\nFolder=conv\n");
}

RunResult Installation::run(const char* program, const std::vector<std::string>& args, RunOptions options) const
{
    options.workingDir = dir / "work";
    return runProgram(programPath(dir / "prog", program), args, options);
}

} // namespace lw::test
