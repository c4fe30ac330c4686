// The test fixtures themselves: a fault here would hide faults everywhere else.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace lw::test {
namespace {

namespace fs = std::filesystem;

TEST(TempDir, HoldsFilesAndIsRemovedAtTheEnd)
{
    fs::path where;
    {
        TempDir dir("lw-selftest");
        where = dir.path();
        EXPECT_TRUE(fs::is_directory(where));
        EXPECT_TRUE(fs::is_empty(where));
        dir.writeFile("a/b/c.bin", std::vector<std::uint8_t>{0, 1, 0xFF});
        dir.writeFile("top.txt", "line\r\nnext");
        EXPECT_EQ(dir.readBytes("a/b/c.bin"), (std::vector<std::uint8_t>{0, 1, 0xFF}));
        EXPECT_EQ(dir.readText("top.txt"), "line\r\nnext"); // binary: no newline translation
        dir.writeFile("top.txt", "x");
        EXPECT_EQ(dir.readText("top.txt"), "x");
        dir.makeDir("empty/inner");
        EXPECT_TRUE(dir.exists("empty/inner"));
        EXPECT_FALSE(dir.exists("missing"));
        EXPECT_EQ(dir.listFiles(), (std::vector<std::string>{"a/b/c.bin", "top.txt"}));
        EXPECT_THROW(dir.readBytes("missing"), std::runtime_error);
        TempDir other("lw-selftest");
        EXPECT_NE(other.path(), where);
    }
    EXPECT_FALSE(fs::exists(where));
}

#if !defined(_WIN32)
TEST(ProgramRunner, CapturesOutputStatusAndInput)
{
    TempDir dir("lw-selftest");
    RunOptions options;
    options.workingDir = dir.path();
    RunResult r = runProgram("/bin/sh", {"-c", "pwd; echo oops >&2; exit 3"}, options);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_TRUE(r.exitedWith(3)) << r.describe();
    EXPECT_EQ(fs::path(r.out.substr(0, r.out.size() - 1)), dir.path());
    EXPECT_EQ(r.err, "oops\n");
    r = runProgram("/bin/sh", {"-c", "exit 255"});
    EXPECT_TRUE(r.exitedWith(-1)); // a program's -1, as POSIX reports it
    EXPECT_FALSE(r.exitedWith(0));

    // Standard input is the null device unless a text is given.
    r = runProgram("/bin/sh", {"-c", "cat; echo end"});
    EXPECT_TRUE(r.exitedWith(0)) << r.describe();
    EXPECT_EQ(r.out, "end\n");
    options.input = "typed\n";
    r = runProgram("/bin/sh", {"-c", "read line; echo \"got $line\""}, options);
    EXPECT_EQ(r.out, "got typed\n");

    // Arguments arrive unchanged, blanks and quotes included.
    r = runProgram("/bin/sh", {"-c", "printf '[%s]' \"$@\"", "sh", "a b", "\"q\"", ""});
    EXPECT_EQ(r.out, "[a b][\"q\"][]");
}

TEST(ProgramRunner, ReportsFailuresToStartSignalsAndHangs)
{
    RunResult r = runProgram("/nonexistent/program", {});
    EXPECT_FALSE(r.started);
    EXPECT_NE(r.error.find("/nonexistent/program"), std::string::npos);

    r = runProgram("/bin/sh", {"-c", "kill -9 $$"});
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.exited);
    EXPECT_EQ(r.signal, 9);

    // A hung program and the program it started are both ended at the limit.
    RunOptions options;
    options.timeout = std::chrono::milliseconds(300);
    const auto start = std::chrono::steady_clock::now();
    r = runProgram("/bin/sh", {"-c", "sleep 30 & sleep 30; echo never"}, options);
    EXPECT_TRUE(r.timedOut);
    EXPECT_FALSE(r.exitedWith(0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}
#else
TEST(ProgramRunner, CapturesOutputStatusAndInput)
{
    TempDir dir("lw-selftest");
    RunOptions options;
    options.workingDir = dir.path();
    options.input = "typed\r\n";
    RunResult r = runProgram("C:\\windows\\system32\\cmd.exe", {"/c", "cd & set /p line= & echo got %line% & echo oops 1>&2 & exit 3"}, options);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_TRUE(r.exitedWith(3)) << r.describe();
    EXPECT_NE(r.out.find("got typed"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("oops"), std::string::npos) << r.err;

    r = runProgram("Z:\\nonexistent\\program.exe", {});
    EXPECT_FALSE(r.started);

    options.input.reset();
    options.timeout = std::chrono::milliseconds(300);
    r = runProgram("C:\\windows\\system32\\cmd.exe", {"/c", "ping -n 30 127.0.0.1 >NUL"}, options);
    EXPECT_TRUE(r.timedOut);
}
#endif

} // namespace
} // namespace lw::test
