#pragma once
// A complete installation in a temporary folder for runs of the real programs:
//   <root>/prog            copy of the build's program folder (programs, data files)
//   <root>/mw/Data Files   source data folder (archive Morrowind.bsa)
//   <root>/ob/Data         target data folder; asset subfolder "conv"
//   <root>/work            current folder of every run; plugins live here

#include <filesystem>
#include <string>
#include <vector>

#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace lw::test {

class Installation {
public:
    explicit Installation(const std::filesystem::path& binDir = LW_BIN_DIR) // the build's program folder
    {
        namespace fs = std::filesystem;
        fs::copy(binDir, dir.makeDir("prog"), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        dir.makeDir("work");
        dir.writeFile("prog/meshshift.ini", "Morrowind=" + dir.makeDir("mw/Data Files").string() +
                                                "\nArchive=Morrowind.bsa\nOblivion=" + dir.makeDir("ob/Data").string() +
                                                "\nFolder=conv\n");
    }

    TempDir dir{"lw-install"};

    RunResult run(const char* program, const std::vector<std::string>& args, RunOptions options = {}) const
    {
        options.workingDir = dir / "work";
        return runProgram(programPath(dir / "prog", program), args, options);
    }
    RunResult modshift(const std::vector<std::string>& args) const { return run("modshift", args); }

    std::string source() const { return (dir / "mw/Data Files").string(); }
    std::string target() const { return (dir / "ob/Data").string(); }
};

} // namespace lw::test
